#include "stats/ConversionEstimate.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "app/ErrorReport.h"
#include "app/StringIds.h"
#include "libhost/FileFormatLibrary.h"
#include "project/ProjectItem.h"
#include "stats/PerformanceStatistics.h"
#include "support/AudioFormats.h"
#include "support/FileBytes.h"
#include "support/ScratchFolder.h"

using namespace testsupport;

namespace {

// Items come from the fake library of the project tests: PCM 44100 Hz 16 bit
// stereo sources whose data length is written into their names.
class ConversionEstimate : public testing::Test {
protected:
    void SetUp() override
    {
        auto library = std::make_unique<CFileFormatLibrary>();
        ASSERT_TRUE(library->Load(std::string(ORVANO_FAKE_LIBRARY_DIR) + "/fake_library.so", "English"));
        m_library = m_libraries.Append(std::move(library));
    }

    const CProjectItem* Item(uint32_t dataLength, const CAudioFormat* destination, uint32_t quality)
    {
        const std::string path = m_folder.File("item" + std::to_string(m_items.size()) + "-len" +
                                               std::to_string(dataLength) + ".fak");
        WriteBytes(path, {0});
        auto item = std::make_unique<CProjectItem>();
        EXPECT_TRUE(item->CreateFromSource(path, false, m_libraries));
        if (destination != nullptr) {
            EXPECT_TRUE(item->SetDestinationFormat(m_library, quality, *destination));
        }
        m_items.push_back(std::move(item));
        return m_items.back().get();
    }

    void Record(const CAudioFormat& destination, uint32_t quality, uint32_t rate)
    {
        CPerformanceStatistics store = Store();
        store.SetRate(rate);
        ASSERT_TRUE(store.RecordPerformance(m_cd, destination, quality));
    }

    CPerformanceStatistics Store() const { return CPerformanceStatistics(m_folder.Path(), m_folder.Path()); }

    ScratchFolder m_folder;
    CLibraryList m_libraries;
    const CFileFormatLibrary* m_library = nullptr;
    std::vector<std::unique_ptr<CProjectItem>> m_items;
    const CAudioFormat m_cd = PcmAudioFormat(44100, 16, 2);
    const CAudioFormat m_mono = PcmAudioFormat(22050, 16, 1);
    const CAudioFormat m_eight = PcmAudioFormat(8000, 8, 1);
};

TEST_F(ConversionEstimate, SumsTimePerItemAndDividesTheTotalLengthByIt)
{
    Record(m_mono, 1, 88200);
    Record(m_mono, 0, 44100);
    const std::vector<const CProjectItem*> items = {Item(176400, &m_mono, 1), Item(88200, &m_mono, 0)};
    CPerformanceStatistics store = Store();
    const SConversionEstimate estimate = EstimateConversion(items, store);
    EXPECT_TRUE(estimate.lengthAvailable);
    EXPECT_EQ(estimate.totalLength, 264600u);
    EXPECT_TRUE(estimate.HasTime());
    EXPECT_DOUBLE_EQ(estimate.seconds, 4.0);
    EXPECT_DOUBLE_EQ(estimate.BytesPerSecond(), 66150.0);
}

TEST_F(ConversionEstimate, AnyItemWithoutAUsableRecordMakesItUnavailable)
{
    Record(m_mono, 1, 88200);
    Record(m_eight, 1, 0);
    const CProjectItem* known = Item(176400, &m_mono, 1);

    struct UnavailableCase {
        const char* name;
        const CProjectItem* other;
    };
    const UnavailableCase cases[] = {
        {"no destination", Item(1000, nullptr, 0)},
        {"no record for the key", Item(1000, &m_mono, 0)},
        {"a recorded rate of 0", Item(1000, &m_eight, 1)},
    };
    for (const UnavailableCase& c : cases) {
        SCOPED_TRACE(c.name);
        CPerformanceStatistics store = Store();
        const SConversionEstimate estimate = EstimateConversion({known, c.other}, store);
        EXPECT_FALSE(estimate.estimateAvailable);
        EXPECT_FALSE(estimate.HasTime());
        EXPECT_EQ(estimate.BytesPerSecond(), 0.0);
        EXPECT_TRUE(estimate.lengthAvailable);
        EXPECT_EQ(estimate.totalLength, 177400u);
    }

    CPerformanceStatistics nowhere((std::filesystem::path(m_folder.Path()) / "missing").string(), m_folder.Path());
    EXPECT_FALSE(EstimateConversion({known}, nowhere).estimateAvailable) << "a store that cannot be read";
}

TEST_F(ConversionEstimate, ItemsWithoutDataAreSkippedButMakeTheLengthUnavailable)
{
    Record(m_mono, 1, 88200);
    const std::vector<const CProjectItem*> items = {Item(0, nullptr, 0), Item(176400, &m_mono, 1)};
    CPerformanceStatistics store = Store();
    const SConversionEstimate estimate = EstimateConversion(items, store);
    EXPECT_FALSE(estimate.lengthAvailable);
    EXPECT_TRUE(estimate.HasTime()) << "the empty item has no conversion, yet it does not spoil the estimate";
    EXPECT_DOUBLE_EQ(estimate.seconds, 2.0);
}

class AnsweringPresenter final : public IMessagePresenter {
public:
    explicit AnsweringPresenter(int answer) : m_answer(answer) { SetMessagePresenter(this); }
    ~AnsweringPresenter() override { SetMessagePresenter(nullptr); }
    void PresentError(const SErrorReport& report, void*) override { errors.push_back(report.messageId); }
    int PresentMessageBox(const std::string& text, const std::string&, uint32_t type, void*) override
    {
        questions.push_back(text);
        types.push_back(type);
        return m_answer;
    }
    std::vector<uint32_t> errors;
    std::vector<std::string> questions;
    std::vector<uint32_t> types;

private:
    int m_answer;
};

TEST(ResetStatistics, AsksAndRemovesTheFileOnlyOnYes)
{
    ScratchFolder folder;
    CPerformanceStatistics store(folder.Path(), folder.Path());
    store.SetRate(1000);
    ASSERT_TRUE(store.RecordPerformance(PcmAudioFormat(44100, 16, 2), PcmAudioFormat(8000, 8, 1), 0));
    const std::string path = store.GetPath();

    {
        AnsweringPresenter no(IDNO);
        EXPECT_FALSE(ResetPerformanceStatistics(nullptr, store));
        EXPECT_TRUE(std::filesystem::exists(path));
        ASSERT_EQ(no.questions.size(), 1u);
        EXPECT_NE(no.questions[0].find("reset the statistics"), std::string::npos) << no.questions[0];
        EXPECT_EQ(no.types[0], kQuestionBox);
    }
    {
        AnsweringPresenter yes(IDYES);
        EXPECT_TRUE(ResetPerformanceStatistics(nullptr, store));
        EXPECT_FALSE(std::filesystem::exists(path));
        // Again, with no file left: still no message besides the question.
        EXPECT_TRUE(ResetPerformanceStatistics(nullptr, store));
        EXPECT_EQ(yes.questions.size(), 2u);
        EXPECT_TRUE(yes.errors.empty());
    }
}

} // namespace
