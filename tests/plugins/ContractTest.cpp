// Both libraries through the contract the program relies on: the information
// record, message lookup, open failures, sharing, and the call orders.
#include <cstring>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "PluginTestSupport.h"

using namespace plugintest;
using namespace testsupport;

namespace {

struct LibraryTraits {
    const char* label;
    const Plugin& (*plugin)();
    const char* extension;
    const char* name;
    const char* description;
    uint32_t highestCode;
    const char* highestCodeText;
    int32_t invalidParameter;
    int32_t pathNotFound;
    Bytes (*validFile)();
    Bytes (*formatForWriting)();
};

// A mono MPEG-1 Layer-3 frame header followed by filler bytes.
Bytes Mp3File()
{
    Bytes bytes{0xFF, 0xFB, 0x90, 0xC4};
    Bytes filler = Noise(1000, 7);
    for (auto& byte : filler) {
        byte |= 0x01; // no "TAG" can appear: 'T' is even
    }
    bytes.insert(bytes.end(), filler.begin(), filler.end());
    return bytes;
}

Bytes Mp3Format()
{
    Bytes format = FormatHead(WAVE_FORMAT_MPEGLAYER3, 1, 44100, 16000, 1, 0);
    AppendLe16(format, 12);
    format.resize(30, 0);
    return format;
}

Bytes WaveSample()
{
    return WaveFileBytes(FormatHead(PcmFormat(44100, 16, 2)), Noise(4000, 3));
}

Bytes WaveFormat()
{
    Bytes format = FormatHead(PcmFormat(44100, 16, 2));
    AppendLe16(format, 0);
    return format;
}

const LibraryTraits kWave{"Wave",
                          WavePlugin,
                          "WAV",
                          "WAVE Audio File",
                          "RIFF/WAVE Audio Format File",
                          25,
                          "The end of the WAVE file cannot be written.",
                          17,
                          4,
                          WaveSample,
                          WaveFormat};
const LibraryTraits kMp3{"Mp3",
                         Mp3Plugin,
                         "MP3",
                         "MP3 Audio File",
                         "MPEG Layer III Audio Format File",
                         16,
                         "An unknown error has occured while trying to open the file.",
                         3,
                         4,
                         Mp3File,
                         Mp3Format};

void PrintTo(const LibraryTraits& traits, std::ostream* out)
{
    *out << traits.label;
}

class ContractTest : public testing::TestWithParam<LibraryTraits> {
protected:
    const Plugin& Library() const { return GetParam().plugin(); }
    ScratchFolder m_folder;
};

TEST_P(ContractTest, InformationRecordWritesItsFieldsOnly)
{
    AUDFF_INFORMATION information;
    std::memset(&information, 0xA5, sizeof information);
    ASSERT_EQ(Library().GetInformation(&information), 0);

    EXPECT_STREQ(information.szExtension, GetParam().extension);
    EXPECT_STREQ(information.szName, GetParam().name);
    EXPECT_STREQ(information.szDescription, GetParam().description);
    EXPECT_EQ(information.bInput, 1);
    EXPECT_EQ(information.bOutput, 1);
    EXPECT_EQ(information.bAbout, 1);
    EXPECT_EQ(information.wMaxErrorMessage, 1000);
    const auto* bytes = reinterpret_cast<const unsigned char*>(&information);
    EXPECT_EQ(bytes[122], 0xA5);
    EXPECT_EQ(bytes[123], 0xA5);
    // Past each string's NUL the caller's bytes stay.
    EXPECT_EQ(bytes[4 + std::strlen(GetParam().name) + 1], 0xA5);
    EXPECT_EQ(bytes[107], 0xA5);

    EXPECT_EQ(Library().GetInformation(nullptr), GetParam().invalidParameter);
}

struct MessageCase {
    const char* label;
    uint32_t code; // kHighest / kBeyond stand for the library's own limits
    const char* language;
    uint32_t bufferSize;
    bool nullModule;
    int32_t expectedResult;
    const char* expectedText; // null: the buffer stays untouched
};

constexpr uint32_t kHighest = 0xFFFFFF00;
constexpr uint32_t kBeyond = 0xFFFFFF01;
constexpr const char* kHighestText = "<highest>";

const MessageCase kMessageCases[] = {
    {"english", 0, "English", 1000, false, 1, "No Error."},
    {"german", 0, "German", 1000, false, 1, "Kein Fehler."},
    {"empty language", 0, "", 1000, false, 1, "No Error."},
    {"no language", 0, nullptr, 1000, false, 1, "No Error."},
    {"case-sensitive", 0, "german", 1000, false, 1, "No Error."},
    {"shared code", 5, "German", 1000, false, 1,
     "Die Datei wird von einer anderen Anwendung verwendet und ist daher nicht verfügbar."},
    {"highest", kHighest, "English", 1000, false, 1, kHighestText},
    {"beyond highest", kBeyond, "English", 1000, false, 1, "An invalid error code has been specified."},
    {"largest code", 0xFFFFFFFF, "German", 1000, false, 1, "An invalid error code has been specified."},
    {"beyond highest, short", kBeyond, "English", 6, false, 1, "An in"},
    {"buffer of 1", 0, "English", 1, false, 0, nullptr},
    {"buffer of 0", 0, "English", 0, false, 0, nullptr},
    {"buffer of 2", 0, "English", 2, false, 1, "N"},
    {"short buffer", 0, "English", 6, false, 1, "No Er"},
    // "geschützt": the cut falls inside the two bytes of the umlaut.
    {"cut keeps characters whole", 1, "German", 21, false, 1, "Die Datei ist gesch"},
    {"null module", 0, "English", 1000, true, 0, nullptr},
};

TEST_P(ContractTest, MessageLookup)
{
    for (const MessageCase& c : kMessageCases) {
        SCOPED_TRACE(c.label);
        const uint32_t code = c.code == kHighest  ? GetParam().highestCode
                              : c.code == kBeyond ? GetParam().highestCode + 1
                                                  : c.code;
        std::string buffer(1024, '#');
        const int32_t result = Library().GetErrorMessage(code, buffer.data(), c.bufferSize,
                                                         c.nullModule ? nullptr : Library().module, c.language);
        EXPECT_EQ(result, c.expectedResult);
        if (c.expectedText == nullptr) {
            EXPECT_EQ(buffer, std::string(1024, '#'));
            continue;
        }
        const std::string expected = c.expectedText == kHighestText ? GetParam().highestCodeText : c.expectedText;
        EXPECT_EQ(std::string(buffer.c_str()), expected);
        EXPECT_EQ(buffer[c.bufferSize], '#') << "wrote past the buffer";
    }
    EXPECT_EQ(Library().GetErrorMessage(0, nullptr, 100, Library().module, "English"), 0);
}

TEST_P(ContractTest, EveryCodeHasBothTexts)
{
    for (uint32_t code = 0; code <= GetParam().highestCode; ++code) {
        char english[1001] = {};
        char german[1001] = {};
        ASSERT_EQ(Library().GetErrorMessage(code, english, sizeof english, Library().module, "English"), 1);
        ASSERT_EQ(Library().GetErrorMessage(code, german, sizeof german, Library().module, "German"), 1);
        EXPECT_GT(std::strlen(english), 5U) << code;
        EXPECT_STRNE(english, german) << code;
        EXPECT_STRNE(english, "An invalid error code has been specified.") << code;
        EXPECT_STRNE(english, "The error message can't be determined.") << code;
    }
}

TEST_P(ContractTest, OpenFailuresGiveTheirCodes)
{
    const std::string folder = m_folder.File("sub");
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    const std::string fifo = m_folder.File("pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    const std::string locked = m_folder.File("locked");
    WriteBytes(locked, GetParam().validFile());
    ASSERT_EQ(chmod(locked.c_str(), 0), 0);
    const bool permissionsApply = access(locked.c_str(), R_OK) != 0; // not so for root
    const std::string readOnlyFolder = m_folder.File("readonly");
    ASSERT_EQ(mkdir(readOnlyFolder.c_str(), 0555), 0);

    struct OpenCase {
        const char* label;
        std::string path;
        bool writing;
        int32_t expected;
        bool needsPermissions;
    };
    const OpenCase cases[] = {
        {"missing file", m_folder.File("missing.x"), false, GetParam().pathNotFound, false},
        {"missing folder", m_folder.File("nowhere/file.x"), false, GetParam().pathNotFound, false},
        {"file as folder", locked + "/file.x", false, GetParam().pathNotFound, false},
        {"empty name", "", false, GetParam().pathNotFound, false},
        {"folder", folder, false, 2, false},
        {"fifo", fifo, false, 2, false},
        {"name too long", m_folder.File(std::string(300, 'n')), false, 2, false},
        {"unreadable", locked, false, 1, true},
        {"write into missing folder", m_folder.File("nowhere/file.x"), true, GetParam().pathNotFound, false},
        {"write onto folder", folder, true, 2, false},
        {"write onto fifo", fifo, true, 16, false}, // no reader: the open is refused, never waits
        {"write into read-only folder", readOnlyFolder + "/new.x", true, 1, true},
    };
    for (const OpenCase& c : cases) {
        SCOPED_TRACE(c.label);
        if (c.needsPermissions && !permissionsApply) {
            continue;
        }
        AUDFF_HANDLE handle = 12345;
        const int32_t result = c.writing ? Library().OpenWrite(c.path.c_str(), &handle)
                                         : Library().OpenRead(c.path.c_str(), &handle);
        EXPECT_EQ(result, c.expected);
        EXPECT_EQ(handle, 0U);
    }
}

TEST_P(ContractTest, NullArgumentsAreInvalidParameters)
{
    const int32_t invalid = GetParam().invalidParameter;
    const std::string path = m_folder.File("valid");
    WriteBytes(path, GetParam().validFile());
    AUDFF_HANDLE handle = 0;
    EXPECT_EQ(Library().OpenRead(nullptr, &handle), invalid);
    EXPECT_EQ(Library().OpenRead(path.c_str(), nullptr), invalid);
    EXPECT_EQ(Library().OpenWrite(nullptr, &handle), invalid);
    EXPECT_EQ(Library().OpenWrite(m_folder.File("out").c_str(), nullptr), invalid);

    ASSERT_EQ(Library().OpenRead(path.c_str(), &handle), 0);
    uint32_t size = 0;
    WAVEFORMATEX* format = nullptr;
    EXPECT_EQ(Library().GetFormat(handle, nullptr, &size), invalid);
    EXPECT_EQ(Library().GetFormat(handle, &format, nullptr), invalid);
    EXPECT_EQ(Library().GetFormat(0, &format, &size), invalid);
    EXPECT_EQ(format, nullptr);
    char byte;
    size = 1;
    EXPECT_EQ(Library().Read(handle, nullptr, &size), invalid);
    EXPECT_EQ(Library().Read(handle, &byte, nullptr), invalid);
    EXPECT_EQ(Library().CloseRead(handle), 0);

    AUDFF_HANDLE writer = 0;
    ASSERT_EQ(Library().OpenWrite(m_folder.File("out").c_str(), &writer), 0);
    EXPECT_EQ(Library().Write(writer, nullptr, 4), invalid);
    EXPECT_EQ(Library().CloseWrite(writer), 0);
}

TEST_P(ContractTest, SourceAsItsOwnDestinationIsRefusedAndKept)
{
    const std::string path = m_folder.File("source");
    const Bytes original = GetParam().validFile();
    WriteBytes(path, original);
    AUDFF_HANDLE reader = 0;
    ASSERT_EQ(Library().OpenRead(path.c_str(), &reader), 0);

    for (const Plugin* writerLibrary : {&WavePlugin(), &Mp3Plugin()}) {
        AUDFF_HANDLE writer = 77;
        EXPECT_EQ(writerLibrary->OpenWrite(path.c_str(), &writer), 5);
        EXPECT_EQ(writer, 0U);
    }
    // A second reader is welcome.
    AUDFF_HANDLE secondReader = 0;
    EXPECT_EQ(Library().OpenRead(path.c_str(), &secondReader), 0);
    EXPECT_EQ(Library().CloseRead(secondReader), 0);
    EXPECT_EQ(Library().CloseRead(reader), 0);
    EXPECT_EQ(ReadBytes(path), original);
}

TEST_P(ContractTest, FileBeingWrittenIsRefusedToOthers)
{
    const std::string path = m_folder.File("destination");
    AUDFF_HANDLE writer = 0;
    ASSERT_EQ(Library().OpenWrite(path.c_str(), &writer), 0);
    for (const Plugin* other : {&WavePlugin(), &Mp3Plugin()}) {
        AUDFF_HANDLE handle = 77;
        EXPECT_EQ(other->OpenWrite(path.c_str(), &handle), 5);
        EXPECT_EQ(handle, 0U);
        handle = 77;
        EXPECT_EQ(other->OpenRead(path.c_str(), &handle), 5);
        EXPECT_EQ(handle, 0U);
    }
    EXPECT_EQ(Library().CloseWrite(writer), 0);
    // Closed, the file is free again.
    ASSERT_EQ(Library().OpenWrite(path.c_str(), &writer), 0);
    EXPECT_EQ(Library().CloseWrite(writer), 0);
}

TEST_P(ContractTest, ExistingDestinationIsReplaced)
{
    const std::string path = m_folder.File("old");
    WriteBytes(path, Noise(100000, 5));
    const Bytes audio = Noise(333, 6);
    ASSERT_TRUE(WriteFileThrough(Library(), path, GetParam().formatForWriting(), audio, 100));
    if (GetParam().plugin == WavePlugin) {
        const Description description = Describe(Library(), path);
        ASSERT_EQ(description.formatResult, 0);
        EXPECT_EQ(description.dataSize, audio.size());
        EXPECT_EQ(ReadBytes(path).size(), 44 + audio.size() + 1);
    } else {
        EXPECT_EQ(ReadBytes(path), audio);
    }
}

// The conversion order, with the library as source and destination at once.
TEST_P(ContractTest, ConversionOrderCopiesTheAudio)
{
    const std::string source = m_folder.File("source");
    const std::string destination = m_folder.File("destination");
    WriteBytes(source, GetParam().validFile());
    const Description sourceDescription = Describe(Library(), source);
    ASSERT_EQ(sourceDescription.formatResult, 0);

    AUDFF_HANDLE reader = 0;
    AUDFF_HANDLE writer = 0;
    ASSERT_EQ(Library().OpenRead(source.c_str(), &reader), 0);
    ASSERT_EQ(Library().OpenWrite(destination.c_str(), &writer), 0);
    ASSERT_EQ(Library().PreRead(reader), 0);
    ASSERT_EQ(Library().PutFormat(writer, reinterpret_cast<const WAVEFORMATEX*>(sourceDescription.format.data())),
              0);
    ASSERT_EQ(Library().PreWrite(writer), 0);
    uint32_t remaining = sourceDescription.dataSize;
    Bytes piece(777);
    while (remaining > 0) {
        uint32_t size = std::min<uint32_t>(remaining, static_cast<uint32_t>(piece.size()));
        ASSERT_EQ(Library().Read(reader, piece.data(), &size), 0);
        ASSERT_GT(size, 0U);
        ASSERT_EQ(Library().Write(writer, piece.data(), size), 0);
        remaining -= size;
    }
    EXPECT_EQ(Library().PostRead(reader), 0);
    EXPECT_EQ(Library().PostWrite(writer), 0);
    EXPECT_EQ(Library().CloseWrite(writer), 0);
    EXPECT_EQ(Library().CloseRead(reader), 0);

    const Description copy = Describe(Library(), destination);
    ASSERT_EQ(copy.formatResult, 0);
    EXPECT_EQ(copy.format, sourceDescription.format);
    EXPECT_EQ(copy.dataSize, sourceDescription.dataSize);
    Bytes sourceAudio;
    Bytes copiedAudio;
    ASSERT_TRUE(ReadAudio(Library(), source, sourceDescription.dataSize, 4096, sourceAudio));
    ASSERT_TRUE(ReadAudio(Library(), destination, copy.dataSize, 1000, copiedAudio));
    EXPECT_EQ(copiedAudio, sourceAudio);
}

TEST_P(ContractTest, AbortedWriteClosesCleanly)
{
    const std::string path = m_folder.File("aborted");
    const Bytes audio = Noise(1001, 9);
    AUDFF_HANDLE writer = 0;
    ASSERT_EQ(Library().OpenWrite(path.c_str(), &writer), 0);
    ASSERT_EQ(Library().PutFormat(writer, reinterpret_cast<const WAVEFORMATEX*>(GetParam().formatForWriting().data())),
              0);
    ASSERT_EQ(Library().PreWrite(writer), 0);
    ASSERT_EQ(Library().Write(writer, audio.data(), static_cast<uint32_t>(audio.size())), 0);
    EXPECT_EQ(Library().CloseWrite(writer), 0);

    // What was written is there, and the file can be taken again.
    if (GetParam().plugin == WavePlugin) {
        const Description description = Describe(Library(), path);
        ASSERT_EQ(description.formatResult, 0);
        EXPECT_EQ(description.dataSize, audio.size());
        Bytes read;
        ASSERT_TRUE(ReadAudio(Library(), path, description.dataSize, 512, read));
        EXPECT_EQ(read, audio);
    } else {
        EXPECT_EQ(ReadBytes(path), audio);
    }
    ASSERT_EQ(Library().OpenWrite(path.c_str(), &writer), 0);
    EXPECT_EQ(Library().CloseWrite(writer), 0);
}

TEST_P(ContractTest, DestinationClosedBeforeItsFormatStaysEmpty)
{
    // A finished file first, so that its bookkeeping is what this thread
    // remembers when the next destination is given up right after opening.
    ASSERT_TRUE(WriteFileThrough(Library(), m_folder.File("first"), GetParam().formatForWriting(), Noise(99, 1), 50));
    const std::string path = m_folder.File("second");
    AUDFF_HANDLE writer = 0;
    ASSERT_EQ(Library().OpenWrite(path.c_str(), &writer), 0);
    EXPECT_EQ(Library().CloseWrite(writer), 0);
    EXPECT_TRUE(ReadBytes(path).empty());
}

TEST_P(ContractTest, DescribingAndReadingKeepNoHandleOrder)
{
    // Several readers of one file at once, closed in any order, each with
    // its own position.
    const std::string path = m_folder.File("shared");
    WriteBytes(path, GetParam().validFile());
    AUDFF_HANDLE first = 0;
    AUDFF_HANDLE second = 0;
    ASSERT_EQ(Library().OpenRead(path.c_str(), &first), 0);
    ASSERT_EQ(Library().OpenRead(path.c_str(), &second), 0);
    ASSERT_EQ(Library().PreRead(first), 0);
    ASSERT_EQ(Library().PreRead(second), 0);
    uint8_t a[16];
    uint8_t b[16];
    uint32_t sizeA = sizeof a;
    uint32_t sizeB = 8;
    ASSERT_EQ(Library().Read(first, a, &sizeA), 0);
    ASSERT_EQ(Library().Read(second, b, &sizeB), 0);
    ASSERT_EQ(sizeA, 16U);
    ASSERT_EQ(sizeB, 8U);
    EXPECT_EQ(std::memcmp(a, b, 8), 0);
    EXPECT_EQ(Library().CloseRead(first), 0);
    sizeB = 8;
    ASSERT_EQ(Library().Read(second, b + 8, &sizeB), 0);
    EXPECT_EQ(std::memcmp(a, b, 16), 0);
    EXPECT_EQ(Library().CloseRead(second), 0);
    EXPECT_EQ(Library().CloseRead(0), 0);
}

INSTANTIATE_TEST_SUITE_P(Libraries, ContractTest, testing::Values(kWave, kMp3),
                         [](const testing::TestParamInfo<LibraryTraits>& info) { return info.param.label; });

} // namespace
