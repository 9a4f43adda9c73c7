#include "ProjectTestSupport.h"

namespace project_test {

namespace {

std::string LibraryPath(const std::string& name)
{
    if (name == "wave") {
        return std::string(ORVANO_BIN_DIR) + "/AUDFFWAV.so";
    }
    if (name == "mp3") {
        return std::string(ORVANO_BIN_DIR) + "/AUDFFMP3.so";
    }
    return std::string(ORVANO_FAKE_LIBRARY_DIR) + (name == "au" ? "/fake_library_au.so" : "/fake_library.so");
}

} // namespace

CAudioFormat EnumeratedFormat(uint16_t tag, uint32_t rate, uint16_t channels, uint32_t bytesPerSecond)
{
    for (const testsupport::FormatBlock& block : testsupport::EnumeratedFormats(tag)) {
        const WAVEFORMATEX& format = *testsupport::AsFormat(block);
        if (format.nSamplesPerSec == rate && format.nChannels == channels &&
            (bytesPerSecond == 0 || format.nAvgBytesPerSec == bytesPerSecond)) {
            return CAudioFormat(&format);
        }
    }
    return {};
}

std::unique_ptr<TestLibraries> LoadLibraries(const std::vector<std::string>& names)
{
    auto libraries = std::make_unique<TestLibraries>();
    for (const std::string& name : names) {
        auto library = std::make_unique<CFileFormatLibrary>();
        if (!library->Load(LibraryPath(name), "English")) {
            continue;
        }
        const CFileFormatLibrary* loaded = libraries->list.Append(std::move(library));
        if (name == "wave") {
            libraries->wave = loaded;
        } else if (name == "mp3") {
            libraries->mp3 = loaded;
        } else if (name == "au") {
            libraries->au = loaded;
        } else {
            libraries->fake = loaded;
        }
    }
    return libraries;
}

} // namespace project_test
