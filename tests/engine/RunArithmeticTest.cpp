#include <gtest/gtest.h>

#include "app/StringIds.h"
#include "app/StringTable.h"
#include "engine/RunArithmetic.h"
#include "engine/ThreadPriority.h"

namespace {

TEST(BufferSharing, WorkedExampleOfTwoFormats)
{
    SBufferShares shares;
    ASSERT_TRUE(ShareBuffers({176400, 16000}, 262144, 10, shares));
    EXPECT_EQ(shares.shareSum, 194000u);
    EXPECT_EQ(shares.sizes, (std::vector<uint32_t>{238361, 23782}));
}

TEST(BufferSharing, EachLaterStageGetsTheOverheadOnItsRate)
{
    struct SCase {
        std::vector<uint32_t> rates;
        uint32_t overhead;
        uint32_t shareSum;
        std::vector<uint32_t> sizes;
    };
    const SCase cases[] = {
        // 44.1 kHz 16-bit stereo -> 16-bit mono -> 8-bit mono 22.05 kHz
        {{176400, 88200, 22050}, 10, 300100, {154089, 84749, 23306}},
        // no overhead: plain proportion
        {{100, 300}, 0, 400, {65536, 196608}},
        // four formats, overhead 100 %: factors 1, 2, 4, 8
        {{1000, 1000, 1000, 1000}, 100, 15000, {17476, 34952, 69905, 139810}},
    };
    for (const SCase& c : cases) {
        SBufferShares shares;
        ASSERT_TRUE(ShareBuffers(c.rates, 262144, c.overhead, shares));
        EXPECT_EQ(shares.shareSum, c.shareSum);
        EXPECT_EQ(shares.sizes, c.sizes);
        uint64_t total = 0;
        for (const uint32_t size : shares.sizes) {
            total += size;
        }
        EXPECT_LE(total, 262144u);
        EXPECT_GE(total, 262144u - c.rates.size());
    }
}

TEST(BufferSharing, RefusesChainsWithoutRate)
{
    SBufferShares shares;
    EXPECT_FALSE(ShareBuffers({0, 0}, 262144, 10, shares));
    EXPECT_FALSE(ShareBuffers({4000000000u, 4000000000u}, 262144, 10, shares));
}

TEST(RunFigures, ZeroDivisorsGiveNoValueInsteadOfDividing)
{
    EXPECT_FALSE(RatePerSecond(1000, 0).has_value());
    EXPECT_EQ(RatePerSecond(1000, 500), 2000u);
    EXPECT_EQ(RatePerSecond(uint64_t{1} << 40, 1), 4294967295u);

    EXPECT_EQ(Percentage(5, 0), 0.0);
    EXPECT_DOUBLE_EQ(Percentage(1, 4), 25.0);

    EXPECT_FALSE(DurationAtRate(1000, std::nullopt).has_value());
    EXPECT_FALSE(DurationAtRate(1000, 0u).has_value());
    EXPECT_EQ(DurationAtRate(1000, 500u), 2000u);

    SStepCounters counters;
    counters.consumed[0] = 1000;
    counters.produced[0] = 250;
    EXPECT_FALSE(CompressionPercentage(counters, 2).has_value()) << "step 2 has consumed nothing yet";
    counters.consumed[1] = 250;
    counters.produced[1] = 500;
    EXPECT_DOUBLE_EQ(*CompressionPercentage(counters, 2), 50.0);

    EXPECT_EQ(RateText(std::nullopt), "-----");
    EXPECT_EQ(RateText(2048u), "2.00 kBytes/sec.");
    EXPECT_EQ(CompressionText(std::nullopt), "-----");
    EXPECT_EQ(CompressionText(12.345), "12.35 %");
}

TEST(RunFigures, FillsTheRunTextsOfTheStringTable)
{
    EXPECT_EQ(FormatRunText(ResourceStringOr(IDS_CONV_PROCESSING_ITEM, ""), {2u, 7u}), "Processing Item 2 of 7");
    EXPECT_EQ(FormatRunText(ResourceStringOr(IDS_CONV_ITEM_STATISTICS_LINE, ""),
                            {std::string("1 kByte"), std::string("4 kBytes"), 25.0, std::string("2 kBytes/sec.")}),
              "1 kByte of 4 kBytes converted (25.00 %) at 2 kBytes/sec.");
    EXPECT_EQ(FormatRunText("%s and %s", {std::string("one")}), "one and ");
    EXPECT_EQ(FormatRunText("100%% %x", {}), "100% %x");
}

TEST(RunPriority, SettingsMapToNiceValues)
{
    struct SCase {
        int32_t priorityClass;
        int32_t priority;
        int nice;
    };
    const SCase cases[] = {
        {32, 0, 0}, {32, -2, 10}, {32, -1, 5}, {32, 1, -5}, {32, 2, -10},
        {64, 0, 19}, {64, -2, 19}, {64, 2, 9}, {128, 0, -10}, {256, 0, -20}, {256, 2, -20},
    };
    for (const SCase& c : cases) {
        EXPECT_EQ(WorkerNiceValue(c.priorityClass, c.priority), c.nice) << c.priorityClass << "/" << c.priority;
    }
}

} // namespace
