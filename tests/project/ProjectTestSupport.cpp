#include "ProjectTestSupport.h"

namespace project_test {

namespace {

struct EnumerationSearch {
    uint32_t rate;
    uint16_t channels;
    uint32_t bytesPerSecond;
    CAudioFormat found;
};

int32_t CollectMatchingFormat(HACMDRIVERID, ACMFORMATDETAILS* details, uintptr_t instance, uint32_t)
{
    auto& search = *reinterpret_cast<EnumerationSearch*>(instance);
    const WAVEFORMATEX& format = *details->pwfx;
    if (format.nSamplesPerSec == search.rate && format.nChannels == search.channels &&
        (search.bytesPerSecond == 0 || format.nAvgBytesPerSec == search.bytesPerSecond)) {
        search.found.SetFormat(&format);
        return 0;
    }
    return 1;
}

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
    uint32_t maxSize = 0;
    if (acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &maxSize) != MMSYSERR_NOERROR || maxSize < 18) {
        return {};
    }
    std::vector<uint8_t> block(maxSize);
    auto* format = reinterpret_cast<WAVEFORMATEX*>(block.data());
    format->wFormatTag = tag;
    ACMFORMATDETAILS details{};
    details.cbStruct = sizeof details;
    details.dwFormatTag = tag;
    details.pwfx = format;
    details.cbwfx = maxSize;
    EnumerationSearch search{rate, channels, bytesPerSecond, {}};
    acmFormatEnum(nullptr, &details, CollectMatchingFormat, reinterpret_cast<uintptr_t>(&search),
                  ACM_FORMATENUMF_WFORMATTAG);
    return search.found;
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
