#include "project/ConversionProject.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <sys/resource.h>

#include "ProjectTestSupport.h"
#include "project/ItemRecord.h"

using namespace project_test;
using namespace testsupport;

namespace {

// One record as the file holds it, put together by hand.
std::vector<uint8_t> RecordBytes(const std::string& source, const std::string& destination, const std::string& tag,
                                 char quality = 0, const CAudioFormat* format = nullptr)
{
    std::vector<uint8_t> bytes;
    AppendLe32(bytes, static_cast<uint32_t>(source.size()));
    AppendText(bytes, source);
    AppendLe32(bytes, static_cast<uint32_t>(destination.size()));
    AppendText(bytes, destination);
    AppendText(bytes, tag);
    if (format != nullptr) {
        bytes.push_back(static_cast<uint8_t>(quality));
        AppendLe32(bytes, format->GetSize());
        const auto* block = reinterpret_cast<const uint8_t*>(format->GetFormat());
        bytes.insert(bytes.end(), block, block + format->GetSize());
    }
    return bytes;
}

std::vector<uint8_t> Signature()
{
    return {'A', 'U', 'D', '2', '0', '0'};
}

void Append(std::vector<uint8_t>& out, const std::vector<uint8_t>& more)
{
    out.insert(out.end(), more.begin(), more.end());
}

class RecordingObserver final : public IProjectObserver {
public:
    bool InsertItemRow(CProjectItem& item) override
    {
        rows.push_back(item.GetSourcePath());
        return refuseRowsFrom < 0 || static_cast<int>(rows.size()) <= refuseRowsFrom;
    }
    void ProjectOpened() override { ++opened; }

    std::vector<std::string> rows;
    int refuseRowsFrom = -1;
    int opened = 0;
};

class ProjectFile : public testing::Test {
protected:
    void SetUp() override
    {
        m_libraries = LoadLibraries({"wave", "fake", "au"});
        if (m_libraries->wave == nullptr) {
            GTEST_SKIP() << "AUDFFWAV.so is not built in " ORVANO_BIN_DIR;
        }
        ASSERT_NE(m_libraries->fake, nullptr);
        ASSERT_NE(m_libraries->au, nullptr);
    }

    std::string Source(const std::string& name, const CAudioFormat& format)
    {
        const std::string path = m_folder.File(name);
        WriteWaveFile(path, format.GetFormat(), ToneData(format, 32));
        return path;
    }

    std::unique_ptr<CProjectItem> Item(const std::string& path)
    {
        auto item = std::make_unique<CProjectItem>();
        EXPECT_TRUE(item->CreateFromSource(path, true, m_libraries->list)) << path;
        return item;
    }

    // Opens path in a new project; the messages shown land in m_presenter.
    std::unique_ptr<CConversionProject> Open(const std::string& path, bool expectOpened,
                                             RecordingObserver* observer = nullptr)
    {
        auto project = std::make_unique<CConversionProject>(m_libraries->list);
        project->SetObserver(observer);
        EXPECT_EQ(project->Open(path), expectOpened) << path;
        return project;
    }

    std::unique_ptr<CConversionProject> OpenBytes(const std::vector<uint8_t>& bytes, bool expectOpened)
    {
        const std::string path = m_folder.File("opened.cnv");
        WriteBytes(path, bytes);
        return Open(path, expectOpened);
    }

    std::vector<std::string> SourcesOf(const CConversionProject& project)
    {
        std::vector<std::string> sources;
        for (const auto& item : project.GetItems()) {
            sources.push_back(item->GetSourcePath());
        }
        return sources;
    }

    ScratchFolder m_folder;
    std::unique_ptr<TestLibraries> m_libraries;
    CRecordingPresenter m_presenter;
    const CAudioFormat m_cd = PcmAudioFormat(44100, 16, 2);
    const CAudioFormat m_aLaw = ALaw(8000, 1);
};

TEST_F(ProjectFile, AnEmptyProjectIsTheSignatureAlone)
{
    CConversionProject project(m_libraries->list);
    const std::string path = m_folder.File("empty.cnv");
    ASSERT_TRUE(project.Save(path));
    EXPECT_EQ(ReadBytes(path), Signature());

    auto reopened = Open(path, true);
    EXPECT_TRUE(reopened->GetItems().empty());
    EXPECT_FALSE(reopened->IsModified());
    EXPECT_TRUE(m_presenter.reports.empty());
}

TEST_F(ProjectFile, WritesEveryKindOfRecordAndReadsItBackByteForByte)
{
    const std::string plain = Source("plain.wav", m_cd);
    const std::string withPath = Source("with path.wav", m_cd);
    const std::string toPcm = Source("to pcm.wav", m_aLaw);
    const std::string toALaw = Source("to alaw.wav", m_cd);
    const std::string toAu = Source("to au.wav", m_cd);
    const CAudioFormat phone = PcmAudioFormat(22050, 8, 1);
    const CAudioFormat aLawCd = ALaw(44100, 2);

    CConversionProject project(m_libraries->list);
    RecordingObserver observer;
    project.SetObserver(&observer);
    ASSERT_TRUE(project.AddItem(Item(plain)));
    auto item = Item(withPath);
    item->SetDestinationPath("/out/with path.wav");
    ASSERT_TRUE(project.AddItem(std::move(item)));
    item = Item(toPcm);
    ASSERT_TRUE(item->SetDestinationFormat(m_libraries->wave, 1, phone));
    ASSERT_TRUE(project.AddItem(std::move(item)));
    item = Item(toALaw);
    ASSERT_TRUE(item->SetDestinationFormat(m_libraries->wave, 0, aLawCd));
    item->SetDestinationPath("/out/alaw.wav");
    ASSERT_TRUE(project.AddItem(std::move(item)));
    item = Item(toAu);
    ASSERT_TRUE(item->SetDestinationFormat(m_libraries->au, 1, phone));
    ASSERT_TRUE(project.AddItem(std::move(item)));
    EXPECT_EQ(observer.rows, (std::vector<std::string>{plain, withPath, toPcm, toALaw, toAu}));
    project.SetModified();

    std::vector<uint8_t> expected = Signature();
    Append(expected, RecordBytes(plain, "", "   "));
    Append(expected, RecordBytes(withPath, "/out/with path.wav", "   "));
    Append(expected, RecordBytes(toPcm, "", "WAV", 'H', &phone));
    Append(expected, RecordBytes(toALaw, "/out/alaw.wav", "WAV", 'L', &aLawCd));
    Append(expected, RecordBytes(toAu, "", "AU ", 'H', &phone));

    const std::string path = m_folder.File("project.cnv");
    ASSERT_TRUE(project.Save(path));
    EXPECT_FALSE(project.IsModified());
    ASSERT_EQ(ReadBytes(path), expected);

    RecordingObserver reopenedObserver;
    auto reopened = Open(path, true, &reopenedObserver);
    EXPECT_TRUE(m_presenter.reports.empty()) << testing::PrintToString(m_presenter.Ids());
    EXPECT_EQ(reopenedObserver.rows, observer.rows);
    EXPECT_EQ(reopenedObserver.opened, 1);
    ASSERT_EQ(SourcesOf(*reopened), observer.rows);
    const auto& items = reopened->GetItems();
    EXPECT_FALSE(items[0].HasDestination());
    EXPECT_EQ(items[1].GetDestinationPath(), "/out/with path.wav");
    EXPECT_EQ(items[2].GetDestinationLibrary(), m_libraries->wave);
    EXPECT_EQ(items[2].GetHighQuality(), 1u);
    EXPECT_EQ(items[2].GetChainLength(), 3u) << "the chain is computed again";
    EXPECT_TRUE(items[3].GetDestinationFormat()->IsEqual(aLawCd));
    EXPECT_EQ(items[3].GetHighQuality(), 0u);
    EXPECT_EQ(items[4].GetDestinationLibrary(), m_libraries->au) << "a two-letter extension matches again";

    const std::string again = m_folder.File("again.cnv");
    ASSERT_TRUE(reopened->Save(again));
    EXPECT_EQ(ReadBytes(again), expected);
}

TEST_F(ProjectFile, AFileCutAnywhereEndsNormallyOnlyInsideASourceLength)
{
    const std::string first = Source("first.wav", m_cd);
    const std::string second = Source("second.wav", m_cd);
    std::vector<uint8_t> bytes = Signature();
    const std::vector<uint8_t> firstRecord = RecordBytes(first, "/out/1.wav", "WAV", 'H', &m_aLaw);
    const std::vector<uint8_t> secondRecord = RecordBytes(second, "", "   ");
    Append(bytes, firstRecord);
    Append(bytes, secondRecord);
    const size_t secondStart = 6 + firstRecord.size();

    for (size_t cut = 0; cut <= bytes.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        size_t restoredItems = 0;
        bool opens = true;
        if (cut < 6) {
            opens = false;
        } else if (cut < 6 + 4) {
            restoredItems = 0;
        } else if (cut < secondStart) {
            opens = false;
        } else if (cut < secondStart + 4) {
            restoredItems = 1;
        } else if (cut < bytes.size()) {
            opens = false;
        } else {
            restoredItems = 2;
        }
        m_presenter.Clear();
        auto project = OpenBytes(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(cut)), opens);
        if (opens) {
            EXPECT_TRUE(m_presenter.reports.empty()) << testing::PrintToString(m_presenter.Ids());
            EXPECT_EQ(project->GetItems().size(), restoredItems);
        } else {
            EXPECT_EQ(m_presenter.Ids(), std::vector<uint32_t>{1056});
        }
    }
}

TEST_F(ProjectFile, FieldsNoWriterProducesAreCorrupt)
{
    const std::string source = Source("source.wav", m_cd);
    const std::vector<uint8_t> padding(400, 'x'); // enough bytes behind any length read

    WAVEFORMATEX longPcm = PcmFormat(44100, 16, 2);
    std::vector<uint8_t> pcmWithCbSize(reinterpret_cast<uint8_t*>(&longPcm),
                                       reinterpret_cast<uint8_t*>(&longPcm) + sizeof longPcm);
    WAVEFORMATEX aLawBlock = G711Format(WAVE_FORMAT_ALAW, 8000, 1);
    aLawBlock.cbSize = 4;
    std::vector<uint8_t> shortExtra(reinterpret_cast<uint8_t*>(&aLawBlock),
                                    reinterpret_cast<uint8_t*>(&aLawBlock) + sizeof aLawBlock);
    shortExtra.push_back(0); // cbSize says 4 extra bytes, the size gives 1

    auto withFormat = [&](char quality, const std::vector<uint8_t>& format) {
        std::vector<uint8_t> bytes = Signature();
        Append(bytes, RecordBytes(source, "", "WAV"));
        bytes.push_back(static_cast<uint8_t>(quality));
        AppendLe32(bytes, static_cast<uint32_t>(format.size()));
        Append(bytes, format);
        return bytes;
    };
    // A record complete in every other respect, so that only the limit can
    // make it corrupt.
    auto withLengths = [&](uint32_t sourceLength, uint32_t destinationLength) {
        std::vector<uint8_t> bytes = Signature();
        AppendLe32(bytes, sourceLength);
        if (sourceLength > 1000) {
            Append(bytes, padding);
            return bytes;
        }
        Append(bytes, std::vector<uint8_t>(sourceLength, 'a'));
        AppendLe32(bytes, destinationLength);
        Append(bytes, std::vector<uint8_t>(destinationLength, 'b'));
        AppendText(bytes, "   ");
        return bytes;
    };

    struct CorruptCase {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    std::vector<uint8_t> wrongSignature = Signature();
    wrongSignature[5] = '1';
    std::vector<uint8_t> hugeFormatSize = Signature();
    Append(hugeFormatSize, RecordBytes(source, "", "WAV"));
    hugeFormatSize.push_back('L');
    AppendLe32(hugeFormatSize, 0xFFFFFFF0u);
    Append(hugeFormatSize, padding);

    const CorruptCase cases[] = {
        {"five bytes", {'A', 'U', 'D', '2', '0'}},
        {"last signature byte differs", wrongSignature},
        {"quality X", withFormat('X', std::vector<uint8_t>(reinterpret_cast<const uint8_t*>(m_cd.GetFormat()),
                                                           reinterpret_cast<const uint8_t*>(m_cd.GetFormat()) + 16))},
        {"source path of 260 bytes", withLengths(260, 0)},
        {"source path of 4 GB", withLengths(0xFFFFFFFFu, 0)},
        {"destination path of 260 bytes", withLengths(10, 260)},
        {"PCM format of 18 bytes", withFormat('H', pcmWithCbSize)},
        {"format shorter than its extra bytes", withFormat('H', shortExtra)},
        {"format of 4 bytes", withFormat('H', {1, 0, 2, 0})},
        {"format size beyond any block", hugeFormatSize},
    };
    for (const CorruptCase& c : cases) {
        SCOPED_TRACE(c.name);
        m_presenter.Clear();
        auto project = OpenBytes(c.bytes, false);
        EXPECT_EQ(m_presenter.Ids(), std::vector<uint32_t>{1056});
    }

    // At the limit the record is read; its made-up source cannot become an item.
    m_presenter.Clear();
    auto project = OpenBytes(withLengths(259, 259), true);
    EXPECT_EQ(m_presenter.Ids(), std::vector<uint32_t>{1057});
}

TEST_F(ProjectFile, RecordsThatCannotBecomeItemsAreLeftOutWithOneMessage)
{
    const std::string good = Source("good.wav", m_cd);
    const std::string other = Source("other.wav", m_cd);
    const std::string fake = m_folder.File("fake.fak");
    WriteBytes(fake, {0});
    const CAudioFormat unknown = UnknownFormat();

    std::vector<uint8_t> bytes = Signature();
    Append(bytes, RecordBytes(good, "", "WAV", 'H', &m_aLaw));
    Append(bytes, RecordBytes(m_folder.File("deleted.wav"), "", "   "));       // source gone
    Append(bytes, RecordBytes(other, "", "ZZZ", 'H', &m_cd));                  // library gone
    Append(bytes, RecordBytes(fake, "", "FAK", 'L', &unknown));                // no codec
    Append(bytes, RecordBytes(good, "/out/dup.wav", "   "));                   // duplicate
    Append(bytes, RecordBytes(m_folder.File("x.xyz"), "", "   "));             // no library reads it
    Append(bytes, RecordBytes(other, "/out/other.wav", "FAK", 'L', &unknown)); // no codec path
    Append(bytes, RecordBytes(other, "/out/other.mp3", "   "));

    auto project = OpenBytes(bytes, true);
    EXPECT_EQ(m_presenter.Ids(), std::vector<uint32_t>{1057});
    EXPECT_EQ(SourcesOf(*project), (std::vector<std::string>{good, other}));
    EXPECT_TRUE(project->GetItems()[0].GetDestinationPath().empty()) << "the duplicate adds nothing";
    EXPECT_EQ(project->GetItems()[1].GetDestinationPath(), "/out/other.mp3");
    EXPECT_FALSE(project->IsModified());
}

TEST_F(ProjectFile, DuplicatesAloneAreNoFailure)
{
    const std::string good = Source("good.wav", m_cd);
    std::vector<uint8_t> bytes = Signature();
    Append(bytes, RecordBytes(good, "", "   "));
    Append(bytes, RecordBytes(good, "", "WAV", 'L', &m_aLaw));
    auto project = OpenBytes(bytes, true);
    EXPECT_TRUE(m_presenter.reports.empty());
    EXPECT_EQ(project->GetItems().size(), 1u);
}

TEST_F(ProjectFile, ARefusedRowDropsTheItemAndCountsAsNotRestored)
{
    std::vector<uint8_t> bytes = Signature();
    Append(bytes, RecordBytes(Source("a.wav", m_cd), "", "   "));
    Append(bytes, RecordBytes(Source("b.wav", m_cd), "", "   "));
    Append(bytes, RecordBytes(Source("c.wav", m_cd), "", "   "));
    const std::string path = m_folder.File("rows.cnv");
    WriteBytes(path, bytes);

    RecordingObserver observer;
    observer.refuseRowsFrom = 1;
    auto project = Open(path, true, &observer);
    EXPECT_EQ(observer.rows.size(), 3u);
    EXPECT_EQ(project->GetItems().size(), 1u);
    EXPECT_EQ(m_presenter.Ids(), std::vector<uint32_t>{1057});
}

TEST_F(ProjectFile, UnreadableFilesAreOpenFailures)
{
    Open(m_folder.File("missing.cnv"), false);
    Open(m_folder.Path(), false); // a folder opens but cannot be read
    EXPECT_EQ(m_presenter.Ids(), (std::vector<uint32_t>{1055, 1055}));
}

class FailedSave : public ProjectFile {
protected:
    void SetUp() override
    {
        ProjectFile::SetUp();
        if (IsSkipped()) {
            return;
        }
        m_project = std::make_unique<CConversionProject>(m_libraries->list);
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(m_project->AddItem(Item(Source("item" + std::to_string(i) + ".wav", m_cd))));
        }
        m_project->SetModified();
    }

    std::vector<std::string> FolderEntries(const std::string& folder)
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    std::unique_ptr<CConversionProject> m_project;
};

TEST_F(FailedSave, AMissingFolderOrAFileInItsPlaceIsReportedAndChangesNothing)
{
    const std::string blocker = m_folder.File("not-a-folder");
    WriteBytes(blocker, {1});
    for (const std::string& path : {m_folder.File("missing/project.cnv"), blocker + "/project.cnv"}) {
        m_presenter.Clear();
        EXPECT_FALSE(m_project->Save(path));
        EXPECT_EQ(m_presenter.Ids(), std::vector<uint32_t>{1054});
        EXPECT_TRUE(m_project->IsModified());
    }
    EXPECT_EQ(ReadBytes(blocker), std::vector<uint8_t>{1});
}

// A write that fails half-way (the disk is full) must not cost the user the
// project saved before. The file size limit makes the write fail for real.
TEST_F(FailedSave, AWriteFailingHalfWayLeavesThePreviousFileIntact)
{
    const std::string path = m_folder.File("project.cnv");
    CConversionProject small(m_libraries->list);
    ASSERT_TRUE(small.AddItem(Item(Source("small.wav", m_cd))));
    ASSERT_TRUE(small.Save(path));
    const std::vector<uint8_t> previous = ReadBytes(path);
    const std::vector<std::string> entriesBefore = FolderEntries(m_folder.Path());

    std::vector<uint8_t> wanted;
    ASSERT_TRUE(m_project->Serialize(wanted));
    ASSERT_GT(wanted.size(), previous.size() + 10);

    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto savedHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = saved;
    limited.rlim_cur = previous.size() + 10;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool saved_ok = m_project->Save(path);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);
    std::signal(SIGXFSZ, savedHandler);

    EXPECT_FALSE(saved_ok);
    EXPECT_EQ(m_presenter.Ids(), std::vector<uint32_t>{1054});
    EXPECT_EQ(ReadBytes(path), previous);
    EXPECT_EQ(FolderEntries(m_folder.Path()), entriesBefore) << "no temporary file is left behind";
    EXPECT_TRUE(m_project->IsModified());

    m_presenter.Clear();
    ASSERT_TRUE(m_project->Save(path));
    EXPECT_EQ(ReadBytes(path), wanted);
    EXPECT_EQ(FolderEntries(m_folder.Path()), entriesBefore);
}

TEST_F(FailedSave, APathTooLongToBeReadBackIsNotWritten)
{
    const std::string path = m_folder.File("project.cnv");
    ASSERT_TRUE(m_project->Save(path));
    const std::vector<uint8_t> previous = ReadBytes(path);

    auto item = Item(Source("long.wav", m_cd));
    item->SetDestinationPath("/" + std::string(259, 'd'));
    ASSERT_TRUE(m_project->AddItem(std::move(item)));
    EXPECT_FALSE(m_project->Save(path));
    EXPECT_EQ(m_presenter.Ids(), std::vector<uint32_t>{1054});
    EXPECT_EQ(ReadBytes(path), previous);
}

TEST_F(FailedSave, SavingThroughASymbolicLinkKeepsTheLink)
{
    const std::string target = m_folder.File("real.cnv");
    const std::string link = m_folder.File("link.cnv");
    WriteBytes(target, Signature());
    std::filesystem::create_symlink(target, link);
    ASSERT_TRUE(m_project->Save(link));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    std::vector<uint8_t> wanted;
    ASSERT_TRUE(m_project->Serialize(wanted));
    EXPECT_EQ(ReadBytes(target), wanted);
}

TEST(ProjectItems, SourcesAreComparedByteForByteAndRemovedItemsComeBack)
{
    ScratchFolder folder;
    auto libraries = LoadLibraries({"fake"});
    ASSERT_NE(libraries->fake, nullptr);
    CConversionProject project(libraries->list);
    const std::string path = folder.File("Song.fak");
    WriteBytes(path, {0});
    auto item = std::make_unique<CProjectItem>();
    ASSERT_TRUE(item->CreateFromSource(path, false, libraries->list));
    const CProjectItem* added = item.get();
    ASSERT_TRUE(project.AddItem(std::move(item)));

    EXPECT_TRUE(project.HasItemWithSource(path));
    EXPECT_FALSE(project.HasItemWithSource(folder.File("song.fak")));
    EXPECT_FALSE(project.HasItemWithSource(path + " "));

    CProjectItem stranger;
    EXPECT_EQ(project.RemoveItem(&stranger), nullptr);
    std::unique_ptr<CProjectItem> removed = project.RemoveItem(added);
    EXPECT_EQ(removed.get(), added);
    EXPECT_TRUE(project.GetItems().empty());
    EXPECT_FALSE(project.HasItemWithSource(path));
}

} // namespace
