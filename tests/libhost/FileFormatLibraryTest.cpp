#include <gtest/gtest.h>

#include <dlfcn.h>

#include <filesystem>

#include "../app/AppTestSupport.h"
#include "formats/AudioFormat.h"
#include "libhost/FileFormatLibrary.h"
#include "support/AudioFormats.h"

namespace {

std::string Plugin(const char* target)
{
    return std::string(ORVANO_TEST_PLUGIN_DIR) + "/" + target + ".so";
}

int CallCount(const CFileFormatLibrary& library)
{
    auto* count = reinterpret_cast<int (*)()>(dlsym(library.GetModule(), "TestPlugin_CallCount"));
    return count != nullptr ? count() : -1;
}

TEST(FileFormatLibrary, UnloadedObjectRefusesEverything)
{
    const CFileFormatLibrary library;
    AUDFF_HANDLE handle = 99;
    CAudioFormat format;
    uint32_t size = 5;
    char buffer[4] = {};
    EXPECT_EQ(library.OpenRead("x.wav", handle), LIBRESULT_NOT_INITIALIZED);
    EXPECT_EQ(handle, 99u);
    EXPECT_EQ(library.CloseRead(1), LIBRESULT_NOT_INITIALIZED);
    EXPECT_EQ(library.GetFormat(1, format, size), LIBRESULT_NOT_INITIALIZED);
    EXPECT_EQ(library.PreRead(1), LIBRESULT_NOT_INITIALIZED);
    EXPECT_EQ(library.Read(1, buffer, size), LIBRESULT_NOT_INITIALIZED);
    EXPECT_EQ(library.PostRead(1), LIBRESULT_NOT_INITIALIZED);
    EXPECT_EQ(library.OpenWrite("x.wav", handle), LIBRESULT_NOT_INITIALIZED);
    EXPECT_EQ(library.PutFormat(1, format), LIBRESULT_NOT_INITIALIZED);
    EXPECT_EQ(library.PreWrite(1), LIBRESULT_NOT_INITIALIZED);
    EXPECT_EQ(library.Write(1, buffer, 4), LIBRESULT_NOT_INITIALIZED);
    EXPECT_EQ(library.PostWrite(1), LIBRESULT_NOT_INITIALIZED);
    EXPECT_EQ(library.CloseWrite(1), LIBRESULT_NOT_INITIALIZED);
    EXPECT_EQ(library.About(nullptr), LIBRESULT_NOT_INITIALIZED);
    EXPECT_FALSE(library.CheckFormatTag(WAVE_FORMAT_PCM));
    EXPECT_EQ(size, 5u);

    std::string text = "unchanged";
    EXPECT_FALSE(library.GetErrorMessage(1, text)) << "no library to ask";
    EXPECT_EQ(text, "unchanged");
    EXPECT_TRUE(library.GetErrorMessage(LIBRESULT_NOT_INITIALIZED, text));
    EXPECT_EQ(text, "The file format library is still not initialized.");
    EXPECT_TRUE(library.GetErrorMessage(LIBRESULT_INVALID_OPERATION, text));
    EXPECT_EQ(text, "An invalid operation has been requested.");
    EXPECT_TRUE(library.GetErrorMessage(LIBRESULT_UNKNOWN_ERROR, text));
    EXPECT_EQ(text, "An unknown error has occured.");
}

TEST(FileFormatLibrary, LoadCopiesTheInformationRecord)
{
    CFileFormatLibrary library;
    ASSERT_TRUE(library.Load(Plugin("testplugin_full"), "English")) << library.LastLoadError();
    EXPECT_TRUE(library.IsInitialized());
    EXPECT_EQ(library.GetExtension(), "TST");
    EXPECT_EQ(library.GetName(), "Test TST File");
    EXPECT_EQ(library.GetDescription(), "Test library TST");
    EXPECT_EQ(library.GetPath(), Plugin("testplugin_full"));
    EXPECT_EQ(library.GetLanguage(), "English");
    EXPECT_TRUE(library.HasInput());
    EXPECT_TRUE(library.HasOutput());
    EXPECT_TRUE(library.HasAbout());
    EXPECT_EQ(library.GetMaxErrorMessage(), 1000);
    EXPECT_NE(library.GetModule(), nullptr);
    EXPECT_EQ(library.About(nullptr), 7) << "the library's own result";
}

TEST(FileFormatLibrary, ReadSidePassesThroughAndCopiesTheFormat)
{
    CFileFormatLibrary library;
    ASSERT_TRUE(library.Load(Plugin("testplugin_full"), "English"));

    AUDFF_HANDLE handle = 0;
    ASSERT_EQ(library.OpenRead("/music/tone.tst", handle), 0);
    ASSERT_NE(handle, 0u);
    CAudioFormat format;
    uint32_t dataSize = 0;
    ASSERT_EQ(library.GetFormat(handle, format, dataSize), 0);
    ASSERT_NE(format.GetFormat(), nullptr);
    EXPECT_EQ(format.GetFormat()->nSamplesPerSec, 44100u);
    EXPECT_EQ(format.GetFormat()->nChannels, 2);
    EXPECT_EQ(format.GetSize(), 16u);
    EXPECT_EQ(dataSize, 176400u);

    EXPECT_EQ(library.PreRead(handle), 0);
    unsigned char buffer[8] = {};
    uint32_t size = 5;
    EXPECT_EQ(library.Read(handle, buffer, size), 0);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(buffer[4], 4);
    EXPECT_EQ(buffer[5], 0) << "nothing beyond the requested size";
    EXPECT_EQ(library.PostRead(handle), 0);
    EXPECT_EQ(library.CloseRead(handle), 0);

    EXPECT_EQ(library.OpenRead("/music/openfail.tst", handle), 16);
    EXPECT_EQ(handle, 0u);
    std::string text;
    ASSERT_TRUE(library.GetErrorMessage(16, text));
    EXPECT_EQ(text, "An unknown error has occured while trying to open the file.");
}

TEST(FileFormatLibrary, FormatWithoutBlockIsAnUnknownError)
{
    CFileFormatLibrary library;
    ASSERT_TRUE(library.Load(Plugin("testplugin_full"), "English"));
    const WAVEFORMATEX previous = testsupport::PcmFormat(22050, 16, 1);
    CAudioFormat format(&previous);
    uint32_t dataSize = 7;

    AUDFF_HANDLE handle = 0;
    ASSERT_EQ(library.OpenRead("noblock.tst", handle), 0);
    EXPECT_EQ(library.GetFormat(handle, format, dataSize), LIBRESULT_UNKNOWN_ERROR);
    EXPECT_EQ(library.CloseRead(handle), 0);
    ASSERT_EQ(library.OpenRead("badformat.tst", handle), 0);
    EXPECT_EQ(library.GetFormat(handle, format, dataSize), 13);
    EXPECT_EQ(library.CloseRead(handle), 0);

    ASSERT_NE(format.GetFormat(), nullptr);
    EXPECT_EQ(format.GetFormat()->nChannels, 1) << "a failed query leaves the caller's format alone";
    EXPECT_EQ(dataSize, 7u);
}

TEST(FileFormatLibrary, WriteSidePassesTheHeldFormat)
{
    CFileFormatLibrary library;
    ASSERT_TRUE(library.Load(Plugin("testplugin_full"), "English"));
    const WAVEFORMATEX pcm = testsupport::PcmFormat(22050, 16, 2);
    WAVEFORMATEX alaw = testsupport::PcmFormat(22050, 16, 2);
    alaw.wFormatTag = WAVE_FORMAT_ALAW;
    alaw.wBitsPerSample = 8;
    alaw.nBlockAlign = 2;
    alaw.nAvgBytesPerSec = 44100;
    const CAudioFormat pcmFormat(&pcm);
    const CAudioFormat alawFormat(&alaw);
    const CAudioFormat empty;

    AUDFF_HANDLE handle = 0;
    ASSERT_EQ(library.OpenWrite("out.tst", handle), 0);
    EXPECT_EQ(library.PutFormat(handle, pcmFormat), 0);
    EXPECT_EQ(library.PutFormat(handle, alawFormat), 2);
    const int callsBefore = CallCount(library);
    EXPECT_EQ(library.PutFormat(handle, empty), LIBRESULT_INVALID_OPERATION);
    EXPECT_FALSE(library.CheckFormat(empty));
    EXPECT_EQ(CallCount(library), callsBefore) << "an empty format never reaches the library";
    EXPECT_EQ(library.PreWrite(handle), 0);
    const char data[4] = {1, 2, 3, 4};
    EXPECT_EQ(library.Write(handle, data, 4), 0);
    EXPECT_EQ(library.Write(handle, nullptr, 4), 17);
    EXPECT_EQ(library.PostWrite(handle), 0);
    EXPECT_EQ(library.CloseWrite(handle), 0);

    EXPECT_TRUE(library.CheckFormatTag(WAVE_FORMAT_PCM));
    EXPECT_FALSE(library.CheckFormatTag(WAVE_FORMAT_MPEGLAYER3));
    EXPECT_TRUE(library.CheckFormat(pcmFormat));
    const WAVEFORMATEX surround = testsupport::PcmFormat(22050, 16, 6);
    EXPECT_FALSE(library.CheckFormat(CAudioFormat(&surround)));
}

TEST(FileFormatLibrary, ReadOnlyLibraryRefusesWritingWithoutAskingIt)
{
    CFileFormatLibrary library;
    ASSERT_TRUE(library.Load(Plugin("testplugin_input_only"), "English"));
    EXPECT_TRUE(library.HasInput());
    EXPECT_FALSE(library.HasOutput());
    EXPECT_FALSE(library.HasAbout());

    const WAVEFORMATEX pcm = testsupport::PcmFormat(22050, 16, 2);
    const CAudioFormat format(&pcm);
    const int callsBefore = CallCount(library);
    AUDFF_HANDLE handle = 42;
    EXPECT_EQ(library.OpenWrite("out.inp", handle), LIBRESULT_INVALID_OPERATION);
    EXPECT_EQ(handle, 42u);
    EXPECT_EQ(library.PutFormat(1, format), LIBRESULT_INVALID_OPERATION);
    EXPECT_EQ(library.Write(1, &pcm, 1), LIBRESULT_INVALID_OPERATION);
    EXPECT_EQ(library.CloseWrite(1), LIBRESULT_INVALID_OPERATION);
    EXPECT_FALSE(library.CheckFormatTag(WAVE_FORMAT_PCM));
    EXPECT_FALSE(library.CheckFormat(format));
    EXPECT_EQ(library.About(nullptr), LIBRESULT_UNKNOWN_ERROR);
    EXPECT_EQ(CallCount(library), callsBefore);

    std::string text;
    ASSERT_TRUE(library.GetErrorMessage(LIBRESULT_INVALID_OPERATION, text));
    EXPECT_EQ(text, "An invalid operation has been requested.");

    ASSERT_EQ(library.OpenRead("in.inp", handle), 0);
    EXPECT_EQ(library.CloseRead(handle), 0);
}

TEST(FileFormatLibrary, WriteOnlyLibraryRefusesReading)
{
    CFileFormatLibrary library;
    ASSERT_TRUE(library.Load(Plugin("testplugin_output_only"), "English"));
    const int callsBefore = CallCount(library);
    AUDFF_HANDLE handle = 0;
    CAudioFormat format;
    uint32_t size = 0;
    char buffer[2];
    EXPECT_EQ(library.OpenRead("in.out", handle), LIBRESULT_INVALID_OPERATION);
    EXPECT_EQ(library.GetFormat(1, format, size), LIBRESULT_INVALID_OPERATION);
    EXPECT_EQ(library.Read(1, buffer, size), LIBRESULT_INVALID_OPERATION);
    EXPECT_EQ(library.CloseRead(1), LIBRESULT_INVALID_OPERATION);
    EXPECT_EQ(CallCount(library), callsBefore);
    EXPECT_TRUE(library.CheckFormatTag(WAVE_FORMAT_PCM));
}

TEST(FileFormatLibrary, MessagesComeFromTheLibraryInItsLanguage)
{
    CFileFormatLibrary english;
    CFileFormatLibrary german;
    ASSERT_TRUE(english.Load(Plugin("testplugin_full"), "English"));
    ASSERT_TRUE(german.Load(Plugin("testplugin_full"), "German"));
    std::string text;
    ASSERT_TRUE(english.GetErrorMessage(1, text));
    EXPECT_EQ(text, "Test failure one.");
    ASSERT_TRUE(german.GetErrorMessage(1, text));
    EXPECT_EQ(text, "Testfehler eins.");
    ASSERT_TRUE(english.GetErrorMessage(17, text));
    EXPECT_EQ(text, "An invalid error code has been specified.");
    ASSERT_TRUE(english.GetErrorMessage(-4, text)) << "other negative codes go to the library";
    EXPECT_EQ(text, "An invalid error code has been specified.");
}

struct SLoadFailure {
    const char* name;
    const char* target;
    const char* reasonPart;
};

void PrintTo(const SLoadFailure& c, std::ostream* out)
{
    *out << c.name;
}

class LoadFailure : public ::testing::TestWithParam<SLoadFailure> {};

TEST_P(LoadFailure, ReleasesTheModule)
{
    testsupport::ScratchFolder folder;
    const std::string path = folder.File("AUDFFX.so");
    if (GetParam().target == nullptr) {
        testsupport::WriteText(path, "not a shared library");
    } else if (*GetParam().target != '\0') {
        std::filesystem::copy_file(Plugin(GetParam().target), path);
    }

    CFileFormatLibrary library;
    EXPECT_FALSE(library.Load(path, "English"));
    EXPECT_FALSE(library.IsInitialized());
    EXPECT_EQ(library.GetModule(), nullptr);
    EXPECT_FALSE(IsMapped(path)) << "the module stays mapped after a failed load";
    EXPECT_NE(library.LastLoadError().find(GetParam().reasonPart), std::string::npos) << library.LastLoadError();

    AUDFF_HANDLE handle = 0;
    EXPECT_EQ(library.OpenRead("x", handle), LIBRESULT_NOT_INITIALIZED);
    std::string text = "unchanged";
    EXPECT_FALSE(library.GetErrorMessage(1, text));
}

INSTANTIATE_TEST_SUITE_P(
    FileFormatLibrary, LoadFailure,
    ::testing::Values(SLoadFailure{"MissingEntryPoint", "testplugin_missing_postwrite", "AUDFF_PostWrite"},
                      SLoadFailure{"InformationFails", "testplugin_info_fails", "code 17"},
                      SLoadFailure{"NotALibrary", nullptr, "AUDFFX.so"},
                      SLoadFailure{"Missing", "", "AUDFFX.so"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FileFormatLibrary, ExtensionOfAPath)
{
    const std::pair<const char*, const char*> cases[] = {
        {"song.wav", "WAV"},     {"/a/b/Song.Mp3", "MP3"}, {"/dir.wav/file", ""},   {"file", ""},
        {"file.", ""},           {".hidden", "HIDDEN"},    {"a.tar.gz", "GZ"},      {"/x/y.wAv", "WAV"},
        {"", ""},                {"/dir.d/na.me.w\xe4v", "W\xe4V"},
    };
    for (const auto& [path, extension] : cases) {
        EXPECT_EQ(GetUpperCaseExtension(path), extension) << path;
    }
}

TEST(FileFormatLibrary, FindsTheFirstLibraryWithTheFilesExtension)
{
    testsupport::ScratchFolder folder;
    std::filesystem::copy_file(Plugin("testplugin_full"), folder.File("AUDFFA.so"));
    std::filesystem::copy_file(Plugin("testplugin_full"), folder.File("AUDFFB.so"));

    COwningList<CFileFormatLibrary> libraries;
    for (const char* source : {"testplugin_output_only"}) {
        auto library = std::make_unique<CFileFormatLibrary>();
        ASSERT_TRUE(library->Load(Plugin(source), "English"));
        libraries.Append(std::move(library));
    }
    const CFileFormatLibrary* first = nullptr;
    for (const char* name : {"AUDFFA.so", "AUDFFB.so"}) {
        auto library = std::make_unique<CFileFormatLibrary>();
        ASSERT_TRUE(library->Load(folder.File(name), "English"));
        const CFileFormatLibrary* added = libraries.Append(std::move(library));
        first = first != nullptr ? first : added;
    }

    EXPECT_EQ(FindLibraryForFile(libraries, "/music/a.tst"), first);
    EXPECT_EQ(FindLibraryForFile(libraries, "/music/A.TST"), first);
    EXPECT_EQ(FindLibraryForFile(libraries, "/music/a.Tst"), first);
    EXPECT_EQ(FindLibraryForFile(libraries, "/music/b.out"), &libraries[0])
        << "found without regard to input support";
    EXPECT_EQ(FindLibraryForFile(libraries, "/music/tst"), nullptr);
    EXPECT_EQ(FindLibraryForFile(libraries, "/music.tst/file"), nullptr);
    EXPECT_EQ(FindLibraryForFile(libraries, "/music/a.wav"), nullptr);
    EXPECT_EQ(FindLibraryForFile(libraries, "/music/a.tst "), nullptr);

    AUDFF_HANDLE handle = 0;
    EXPECT_EQ(FindLibraryForFile(libraries, "x.out")->OpenRead("x.out", handle), LIBRESULT_INVALID_OPERATION);
}

} // namespace
