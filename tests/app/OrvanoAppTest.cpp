#include <gtest/gtest.h>

#include <dirent.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "AppTestSupport.h"
#include "app/OrvanoApp.h"
#include "app/StringIds.h"

namespace {

// The test libraries, as built, and the names a folder may give them.
std::string Plugin(const char* target)
{
    return std::string(ORVANO_TEST_PLUGIN_DIR) + "/" + target + ".so";
}

class Discovery : public ::testing::Test {
protected:
    void Install(const char* target, const std::string& name)
    {
        std::filesystem::copy_file(Plugin(target), m_folder.File(name));
    }
    void InstallText(const std::string& name) { testsupport::WriteText(m_folder.File(name), "not a shared library\n"); }

    // The matching names in the order the directory yields them.
    std::vector<std::string> DirectoryOrder() const
    {
        std::vector<std::string> names;
        DIR* directory = opendir(m_folder.Path().c_str());
        while (const dirent* entry = readdir(directory)) {
            if (IsLibraryFileName(entry->d_name)) {
                names.push_back(entry->d_name);
            }
        }
        closedir(directory);
        return names;
    }

    static std::vector<std::string> Arguments(const CRecordingPresenter& presenter)
    {
        std::vector<std::string> reasons;
        for (const SErrorReport& report : presenter.errors) {
            reasons.push_back(report.reason);
        }
        return reasons;
    }

    testsupport::ScratchFolder m_folder;
    CRecordingPresenter m_presenter;
};

TEST_F(Discovery, EmptyFolderReportsMissingLibraries)
{
    InstallText("AUDFF.txt");
    InstallText("libAUDFFX.so");
    COrvanoApp app;
    app.SetLibraryFolder(m_folder.Path());
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(m_presenter.ErrorIds(), std::vector<uint32_t>{IDE_LIBRARIES_MISSING});
    EXPECT_EQ(m_presenter.parents, std::vector<void*>{nullptr});
    EXPECT_TRUE(m_presenter.errors[0].information.empty());
    EXPECT_TRUE(app.GetLibraries().empty());
}

TEST_F(Discovery, OnlyAFailingLibraryGives1021Then1022)
{
    InstallText("AUDFFBAD.so");
    COrvanoApp app;
    app.SetLibraryFolder(m_folder.Path());
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(m_presenter.ErrorIds(), (std::vector<uint32_t>{IDE_LIBRARY_INIT_FAILED, IDE_NO_LIBRARY_LOADED}));
    EXPECT_NE(m_presenter.errors[0].reason.find("library AUDFFBAD.so can't"), std::string::npos);
    EXPECT_FALSE(m_presenter.errors[0].information.empty()) << "the loader's reason is passed on";
}

TEST_F(Discovery, ReadOnlyLibraryLoadsButGives1024)
{
    Install("testplugin_input_only", "AUDFFINP.so");
    COrvanoApp app;
    app.SetLibraryFolder(m_folder.Path());
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(m_presenter.ErrorIds(), std::vector<uint32_t>{IDE_NO_OUTPUT_LIBRARY});
    ASSERT_EQ(app.GetLibraries().size(), 1u);
    EXPECT_EQ(app.GetLibraries()[0].GetExtension(), "INP");
}

TEST_F(Discovery, WriteOnlyLibraryGives1023)
{
    Install("testplugin_output_only", "AUDFFOUT.so");
    COrvanoApp app;
    app.SetLibraryFolder(m_folder.Path());
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(m_presenter.ErrorIds(), std::vector<uint32_t>{IDE_NO_INPUT_LIBRARY});
}

TEST_F(Discovery, TwoFailuresAreReportedInSearchOrder)
{
    InstallText("AUDFFBAD.so");
    Install("testplugin_missing_postwrite", "AUDFFMIS.so");
    COrvanoApp app;
    app.SetLibraryFolder(m_folder.Path());
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(m_presenter.ErrorIds(),
              (std::vector<uint32_t>{IDE_LIBRARY_INIT_FAILED, IDE_LIBRARY_INIT_FAILED, IDE_NO_LIBRARY_LOADED}));
    const std::vector<std::string> order = DirectoryOrder();
    ASSERT_EQ(order.size(), 2u);
    for (std::size_t i = 0; i < order.size(); ++i) {
        EXPECT_NE(m_presenter.errors[i].reason.find("library " + order[i] + " can't"), std::string::npos);
    }
}

TEST_F(Discovery, MixedFolderLoadsTheGoodOnesInDirectoryOrderAndReleasesTheRest)
{
    const std::string unloadLog = m_folder.File("unloaded.log");
    setenv("ORVANO_TEST_UNLOAD_LOG", unloadLog.c_str(), 1);

    Install("testplugin_full", "AUDFFTST.so");
    Install("testplugin_xyz", "audffxyz.so");
    Install("testplugin_input_only", "AudffInp.SO");
    Install("testplugin_output_only", "AUDFFOUT.so");
    Install("testplugin_missing_postwrite", "AUDFFMIS.so");
    Install("testplugin_info_fails", "AUDFFINF.so");
    InstallText("AUDFFBAD.so");
    Install("testplugin_full", "XAUDFFTST.so");
    Install("testplugin_full", "AUDFFTST.so.1");
    std::filesystem::create_directory(m_folder.File("AUDFFDIR.so"));

    std::vector<std::string> loadedOrder;
    std::vector<std::string> failedOrder;
    for (const std::string& name : DirectoryOrder()) {
        if (name == "AUDFFDIR.so") {
            continue;
        }
        (name == "AUDFFMIS.so" || name == "AUDFFINF.so" || name == "AUDFFBAD.so" ? failedOrder : loadedOrder)
            .push_back(name);
    }
    ASSERT_EQ(loadedOrder.size(), 4u);

    {
        COrvanoApp app;
        app.SetLibraryFolder(m_folder.Path());
        ASSERT_TRUE(app.InitInstance());
        EXPECT_EQ(COrvanoApp::Current(), &app);
        EXPECT_EQ(app.GetLanguageName(), "English");

        std::vector<std::string> loaded;
        for (const auto& library : app.GetLibraries()) {
            EXPECT_TRUE(library->IsInitialized());
            EXPECT_EQ(library->GetLanguage(), "English");
            loaded.push_back(std::filesystem::path(library->GetPath()).filename().string());
        }
        EXPECT_EQ(loaded, loadedOrder) << "discovery keeps the directory's order";

        ASSERT_EQ(m_presenter.errors.size(), 3u);
        for (std::size_t i = 0; i < failedOrder.size(); ++i) {
            EXPECT_EQ(m_presenter.errors[i].messageId, IDE_LIBRARY_INIT_FAILED);
            EXPECT_NE(m_presenter.errors[i].reason.find(" " + failedOrder[i] + " "), std::string::npos);
        }
        for (const std::string& name : failedOrder) {
            EXPECT_FALSE(IsMapped(m_folder.File(name))) << name << " stays mapped after its failure";
        }
        for (const std::string& name : loadedOrder) {
            EXPECT_TRUE(IsMapped(m_folder.File(name))) << name;
        }
        EXPECT_EQ(app.ExitInstance(), 0);
        EXPECT_TRUE(IsMapped(m_folder.File(loadedOrder[0]))) << "libraries live as long as the application object";
    }
    unsetenv("ORVANO_TEST_UNLOAD_LOG");
    EXPECT_EQ(COrvanoApp::Current(), nullptr);

    for (const std::string& name : loadedOrder) {
        EXPECT_FALSE(IsMapped(m_folder.File(name))) << name;
    }
    // The failed ones were unloaded at once, the loaded ones last-found first.
    std::string expectedLog;
    for (const std::string& name : failedOrder) {
        if (name != "AUDFFBAD.so") {
            expectedLog += name + "\n";
        }
    }
    for (auto it = loadedOrder.rbegin(); it != loadedOrder.rend(); ++it) {
        expectedLog += *it + "\n";
    }
    EXPECT_EQ(testsupport::ReadText(unloadLog), expectedLog);
}

TEST_F(Discovery, DeliveredLibrariesLoad)
{
    const std::string wave = std::string(ORVANO_BIN_DIR) + "/AUDFFWAV.so";
    const std::string mp3 = std::string(ORVANO_BIN_DIR) + "/AUDFFMP3.so";
    if (!std::filesystem::exists(wave) || !std::filesystem::exists(mp3)) {
        GTEST_SKIP() << "AUDFFWAV.so and AUDFFMP3.so are not built in " << ORVANO_BIN_DIR;
    }
    std::filesystem::copy_file(wave, m_folder.File("AUDFFWAV.so"));
    std::filesystem::copy_file(mp3, m_folder.File("AUDFFMP3.so"));

    COrvanoApp app;
    app.SetLibraryFolder(m_folder.Path());
    ASSERT_TRUE(app.InitInstance()) << (m_presenter.errors.empty() ? "" : m_presenter.errors[0].information);
    EXPECT_TRUE(m_presenter.errors.empty());
    std::set<std::string> extensions;
    for (const auto& library : app.GetLibraries()) {
        EXPECT_TRUE(library->HasInput() && library->HasOutput() && library->HasAbout()) << library->GetName();
        extensions.insert(library->GetExtension());
        std::string text;
        EXPECT_TRUE(library->GetErrorMessage(0, text));
        EXPECT_EQ(text, "No Error.");
    }
    EXPECT_EQ(extensions, (std::set<std::string>{"WAV", "MP3"}));
}

TEST_F(Discovery, LibraryListingReportsAndLists)
{
    Install("testplugin_full", "AUDFFTST.so");
    std::ostringstream out;
    EXPECT_EQ(RunLibraryListing(out, m_folder.Path()), 0);
    EXPECT_EQ(out.str(), "TST\tread\twrite\tTest TST File\t" + m_folder.File("AUDFFTST.so") + "\n");
    EXPECT_TRUE(m_presenter.errors.empty());

    testsupport::ScratchFolder empty;
    std::ostringstream nothing;
    EXPECT_EQ(RunLibraryListing(nothing, empty.Path()), 1);
    EXPECT_EQ(nothing.str(), "");
    EXPECT_EQ(m_presenter.ErrorIds(), std::vector<uint32_t>{IDE_LIBRARIES_MISSING});
}

TEST(Startup, ExecutablePathAndLibraryNamePattern)
{
    const std::string executable = GetExecutablePath();
    EXPECT_EQ(std::filesystem::path(executable).filename(), "app_tests");
    EXPECT_TRUE(std::filesystem::path(executable).is_absolute());

    for (const char* name : {"AUDFFWAV.so", "audffwav.so", "AuDfFmP3.So", "AUDFF.so", "AUDFFX.SO"}) {
        EXPECT_TRUE(IsLibraryFileName(name)) << name;
    }
    for (const char* name : {"AUDFF.dll", "AUDFFWAV.so.1", "XAUDFFWAV.so", "AUDF.so", "AUDFFso", ".so", ""}) {
        EXPECT_FALSE(IsLibraryFileName(name)) << name;
    }
}

TEST(Startup, RunsOnce)
{
    testsupport::ScratchFolder folder;
    CRecordingPresenter presenter;
    COrvanoApp app;
    app.SetLibraryFolder(folder.Path());
    EXPECT_FALSE(app.InitInstance());
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(presenter.errors.size(), 1u) << "a second start does not search again";
}

} // namespace
