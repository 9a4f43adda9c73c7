#include <gtest/gtest.h>

#include "app/DisplayFormat.h"

namespace {

std::string ValueName(uint32_t value)
{
    return "Value" + std::to_string(value);
}

struct SValueText {
    uint32_t value;
    const char* text;
};

void PrintTo(const SValueText& c, std::ostream* out)
{
    *out << c.value;
}

class ByteSizeText : public ::testing::TestWithParam<SValueText> {};
TEST_P(ByteSizeText, Matches)
{
    EXPECT_EQ(FormatByteSize(GetParam().value), GetParam().text);
}
INSTANTIATE_TEST_SUITE_P(
    DisplayFormat, ByteSizeText,
    ::testing::Values(SValueText{0, "0 Bytes"}, SValueText{1, "1 Byte"}, SValueText{2, "2 Bytes"},
                      SValueText{1023, "1023 Bytes"}, SValueText{1024, "1 kByte"}, SValueText{1025, "1.00 kBytes"},
                      SValueText{1536, "1.50 kBytes"}, SValueText{1048575, "1024.00 kBytes"},
                      SValueText{1048576, "1 MByte"}, SValueText{1048577, "1.00 MBytes"},
                      SValueText{5000000, "4.77 MBytes"}, SValueText{1073741823, "1024.00 MBytes"},
                      SValueText{1073741824, "1 GByte"}, SValueText{1073741825, "1.00 GBytes"},
                      SValueText{4294967295u, "4.00 GBytes"}),
    [](const auto& info) { return ValueName(info.param.value); });

class FrequencyText : public ::testing::TestWithParam<SValueText> {};
TEST_P(FrequencyText, Matches)
{
    EXPECT_EQ(FormatFrequency(GetParam().value), GetParam().text);
}
INSTANTIATE_TEST_SUITE_P(
    DisplayFormat, FrequencyText,
    ::testing::Values(SValueText{0, "0 Hz"}, SValueText{1, "1 Hz"}, SValueText{999, "999 Hz"},
                      SValueText{1000, "1 kHz"}, SValueText{1001, "1.00 kHz"}, SValueText{8000, "8.00 kHz"},
                      SValueText{11025, "11.03 kHz"}, SValueText{22050, "22.05 kHz"}, SValueText{44100, "44.10 kHz"},
                      SValueText{999999, "1000.00 kHz"}, SValueText{1000000, "1 MHz"},
                      SValueText{1500000, "1.50 MHz"}, SValueText{1000000000, "1 GHz"},
                      SValueText{4294967295u, "4.29 GHz"}),
    [](const auto& info) { return ValueName(info.param.value); });

struct SDurationCase {
    uint32_t milliseconds;
    const char* shortForm;
    const char* shortWithMilliseconds;
    const char* longForm;
    const char* longWithMilliseconds;
};

void PrintTo(const SDurationCase& c, std::ostream* out)
{
    *out << c.milliseconds << " ms";
}

class DurationText : public ::testing::TestWithParam<SDurationCase> {};
TEST_P(DurationText, AllFourForms)
{
    const SDurationCase& c = GetParam();
    EXPECT_EQ(FormatDuration(c.milliseconds, false, false), c.shortForm);
    EXPECT_EQ(FormatDuration(c.milliseconds, false, true), c.shortWithMilliseconds);
    EXPECT_EQ(FormatDuration(c.milliseconds, true, false), c.longForm);
    EXPECT_EQ(FormatDuration(c.milliseconds, true, true), c.longWithMilliseconds);
}
INSTANTIATE_TEST_SUITE_P(
    DisplayFormat, DurationText,
    ::testing::Values(SDurationCase{0, "00:00", "00:00.000", "0s", "0.000s"},
                      SDurationCase{5500, "00:05", "00:05.500", "5s", "5.500s"},
                      SDurationCase{59999, "00:59", "00:59.999", "59s", "59.999s"},
                      SDurationCase{60000, "01:00", "01:00.000", "1m 00s", "1m 00.000s"},
                      SDurationCase{125250, "02:05", "02:05.250", "2m 05s", "2m 05.250s"},
                      SDurationCase{3599999, "59:59", "59:59.999", "59m 59s", "59m 59.999s"},
                      SDurationCase{3600000, "01:00:00", "01:00:00.000", "1h 00m 00s", "1h 00m 00.000s"},
                      SDurationCase{3723004, "01:02:03", "01:02:03.004", "1h 02m 03s", "1h 02m 03.004s"},
                      SDurationCase{90061001, "25:01:01", "25:01:01.001", "25h 01m 01s", "25h 01m 01.001s"},
                      SDurationCase{4294967295u, "1193:02:47", "1193:02:47.295", "1193h 02m 47s",
                                    "1193h 02m 47.295s"}),
    [](const auto& info) { return ValueName(info.param.milliseconds); });

class GroupedNumberText : public ::testing::TestWithParam<SValueText> {};
TEST_P(GroupedNumberText, Matches)
{
    EXPECT_EQ(FormatGroupedNumber(GetParam().value), GetParam().text);
}
INSTANTIATE_TEST_SUITE_P(DisplayFormat, GroupedNumberText,
                         ::testing::Values(SValueText{0, "0"}, SValueText{7, "7"}, SValueText{123, "123"},
                                           SValueText{999, "999"}, SValueText{1000, "1.000"},
                                           SValueText{1234, "1.234"}, SValueText{123456, "123.456"},
                                           SValueText{1234567, "1.234.567"},
                                           SValueText{4294967295u, "4.294.967.295"}),
    [](const auto& info) { return ValueName(info.param.value); });

TEST(PlainNumberText, UnsignedAndLowSixteenBits)
{
    EXPECT_EQ(FormatUnsigned(0), "0");
    EXPECT_EQ(FormatUnsigned(4294967295u), "4294967295");
    EXPECT_EQ(FormatUnsignedShort(65535), "65535");
    EXPECT_EQ(FormatUnsignedShort(65536), "0");
    EXPECT_EQ(FormatUnsignedShort(0x12345678), "22136");
}

} // namespace
