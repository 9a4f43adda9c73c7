// The codec layer's public calls: argument checks, driver dispatch, the
// stream rules shared by every codec, and the header bookkeeping.
#include "acm/acm.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_set>

#include "acm/acm_support.h"
#include "acm/driver.h"

using namespace orvano::acm;

struct OrvanoAcmStream {
    std::unique_ptr<AcmStreamConverter> converter;
    const AcmDriver* driver = nullptr;
    uintptr_t serial = 0;  // tells a reused address from the stream a header was prepared for
};

namespace {

// Room for any driver's format block (the largest, MS ADPCM, needs 50).
constexpr size_t kScratchFormatBytes = 512;

struct FormatScratch {
    alignas(8) uint8_t bytes[kScratchFormatBytes];
    WAVEFORMATEX* format() { return reinterpret_cast<WAVEFORMATEX*>(bytes); }
};

// Streams alive; handles are checked against it before use.
std::mutex g_streamsMutex;
uintptr_t g_nextStreamSerial = 1;
std::unordered_set<const OrvanoAcmStream*>& LiveStreams() {
    static std::unordered_set<const OrvanoAcmStream*> streams;
    return streams;
}

bool IsLiveStream(HACMSTREAM stream) {
    if (!stream) return false;
    std::lock_guard lock(g_streamsMutex);
    return LiveStreams().count(stream) != 0;
}

HACMDRIVERID AsDriverId(const AcmDriver* driver) { return reinterpret_cast<HACMDRIVERID>(driver); }

// A non-null driver handle must be one of the registered drivers.
bool ResolveDriverHandle(const void* handle, const AcmDriver** only) {
    *only = nullptr;
    if (!handle) return true;
    const AcmDriverList list = RegisteredDrivers();
    for (size_t i = 0; i < list.count; ++i) {
        if (static_cast<const void*>(list.drivers[i]) == handle) {
            *only = list.drivers[i];
            return true;
        }
    }
    return false;
}

uint32_t SignificantSize(const WAVEFORMATEX& format) {
    return format.wFormatTag == WAVE_FORMAT_PCM ? WAVEFORMATEX_HEAD_SIZE : 18u + format.cbSize;
}

// A block drivers may read: 18 bytes with cbSize valid. A PCM block is
// copied (its caller may hold 16 bytes); any other is used in place after
// checking that `available` covers 18 + cbSize.
const WAVEFORMATEX* NormalizeFormat(const WAVEFORMATEX* format, uint32_t available, WAVEFORMATEX& pcmCopy) {
    if (!format || available < WAVEFORMATEX_HEAD_SIZE) return nullptr;
    if (format->wFormatTag == WAVE_FORMAT_PCM) {
        std::memcpy(&pcmCopy, format, WAVEFORMATEX_HEAD_SIZE);
        pcmCopy.cbSize = 0;
        return &pcmCopy;
    }
    if (available < 18u || available < 18u + format->cbSize) return nullptr;
    return format;
}

// Writes a driver's block into the caller's, which must hold its
// significant size; PCM gets cbSize 0 when there is room for it.
MMRESULT DeliverFormat(const WAVEFORMATEX& format, WAVEFORMATEX* out, uint32_t room) {
    const uint32_t size = SignificantSize(format);
    if (room < size) return MMSYSERR_INVALPARAM;
    std::memcpy(out, &format, size);
    if (format.wFormatTag == WAVE_FORMAT_PCM && room >= 18u) out->cbSize = 0;
    return MMSYSERR_NOERROR;
}

MMRESULT DescribeWithDriver(const WAVEFORMATEX& format, const AcmDriver* only, const AcmDriver** driverOut,
                            char* name, size_t nameSize) {
    const AcmDriver* driver = FindDriverForTag(format.wFormatTag);
    if (!driver || (only && only != driver)) return ACMERR_NOTPOSSIBLE;
    if (driverOut) *driverOut = driver;
    return driver->describeFormat(&format, name, nameSize);
}

void FillTagDetails(const AcmDriver& driver, const AcmFormatTagInfo& info, uint32_t index,
                    ACMFORMATTAGDETAILS& details) {
    details.dwFormatTagIndex = index;
    details.dwFormatTag = info.tag;
    details.cbFormatSize = info.maxFormatSize;
    details.fdwSupport = driver.support;
    details.cStandardFormats = info.standardFormatCount;
    CopyText(details.szFormatTag, sizeof details.szFormatTag, info.name);
}

// Walks the enumerated tags (those with standard formats) in registry order.
template <typename Visit>
void ForEachEnumeratedTag(const AcmDriver* only, Visit visit) {
    const AcmDriverList list = RegisteredDrivers();
    uint32_t index = 0;
    for (size_t d = 0; d < list.count; ++d) {
        const AcmDriver* driver = list.drivers[d];
        for (uint32_t t = 0; t < driver->tagCount; ++t) {
            if (driver->tags[t].standardFormatCount == 0) continue;
            if (!only || only == driver) {
                if (!visit(*driver, driver->tags[t], index)) return;
            }
            ++index;
        }
    }
}

// PCM -> PCM: any rate and bits; channels kept, or mixed to mono or stereo.
bool PcmChannelChangeSupported(uint16_t from, uint16_t to) { return from == to || to <= 2; }

// Which driver serves the stream src -> dst, under the layer's rules.
MMRESULT StreamDriver(const WAVEFORMATEX& src, const WAVEFORMATEX& dst, const AcmDriver** driverOut) {
    const bool srcPcm = src.wFormatTag == WAVE_FORMAT_PCM;
    const bool dstPcm = dst.wFormatTag == WAVE_FORMAT_PCM;
    if (srcPcm && dstPcm) {
        if (!PcmChannelChangeSupported(src.nChannels, dst.nChannels)) return ACMERR_NOTPOSSIBLE;
        *driverOut = FindDriverForTag(WAVE_FORMAT_PCM);
        return *driverOut ? MMSYSERR_NOERROR : ACMERR_NOTPOSSIBLE;
    }
    if (!srcPcm && !dstPcm) return ACMERR_NOTPOSSIBLE;
    const WAVEFORMATEX& coded = srcPcm ? dst : src;
    const WAVEFORMATEX& pcm = srcPcm ? src : dst;
    const AcmDriver* driver = FindDriverForTag(coded.wFormatTag);
    if (!driver) return ACMERR_NOTPOSSIBLE;
    if (srcPcm && !driver->suggestFromPcm) return ACMERR_NOTPOSSIBLE;
    WAVEFORMATEX suggested{};
    if (driver->suggestPcm(&coded, &suggested) != MMSYSERR_NOERROR) return ACMERR_NOTPOSSIBLE;
    if (!SameHead(suggested, pcm)) return ACMERR_NOTPOSSIBLE;
    *driverOut = driver;
    return MMSYSERR_NOERROR;
}

}  // namespace

const char* acmResultText(MMRESULT result) {
    switch (result) {
    case MMSYSERR_NOERROR: return "No error.";
    case MMSYSERR_ERROR: return "The codec failed.";
    case MMSYSERR_INVALHANDLE: return "The handle is not valid.";
    case MMSYSERR_NODRIVER: return "No codec is installed.";
    case MMSYSERR_NOMEM: return "Not enough memory.";
    case MMSYSERR_NOTSUPPORTED: return "The function is not supported.";
    case MMSYSERR_INVALFLAG: return "A flag is not valid.";
    case MMSYSERR_INVALPARAM: return "A parameter is not valid.";
    case ACMERR_NOTPOSSIBLE: return "No codec can perform the requested operation.";
    case ACMERR_BUSY: return "The stream is busy.";
    case ACMERR_UNPREPARED: return "The stream header is not prepared.";
    case ACMERR_CANCELED: return "The operation was canceled.";
    default: return "Unknown codec error.";
    }
}

MMRESULT acmMetrics(HACMOBJ hao, uint32_t uMetric, void* pMetric) {
    if (!pMetric) return MMSYSERR_INVALPARAM;
    const AcmDriver* only = nullptr;
    if (!ResolveDriverHandle(hao, &only)) return MMSYSERR_INVALHANDLE;
    const AcmDriverList list = RegisteredDrivers();
    uint32_t value = 0;
    switch (uMetric) {
    case ACM_METRIC_COUNT_DRIVERS:
        value = only ? 1u : static_cast<uint32_t>(list.count);
        break;
    case ACM_METRIC_MAX_SIZE_FORMAT:
        for (size_t d = 0; d < list.count; ++d) {
            if (only && only != list.drivers[d]) continue;
            for (uint32_t t = 0; t < list.drivers[d]->tagCount; ++t)
                value = std::max(value, list.drivers[d]->tags[t].maxFormatSize);
        }
        break;
    default:
        return MMSYSERR_NOTSUPPORTED;
    }
    std::memcpy(pMetric, &value, sizeof value);
    return MMSYSERR_NOERROR;
}

MMRESULT acmFormatTagEnum(HACMDRIVER had, ACMFORMATTAGDETAILS* paftd, ACMFORMATTAGENUMCB fnCallback,
                          uintptr_t dwInstance, uint32_t fdwEnum) {
    if (!paftd || paftd->cbStruct != sizeof(ACMFORMATTAGDETAILS) || !fnCallback) return MMSYSERR_INVALPARAM;
    if (fdwEnum != 0) return MMSYSERR_INVALFLAG;
    const AcmDriver* only = nullptr;
    if (!ResolveDriverHandle(had, &only)) return MMSYSERR_INVALHANDLE;
    ForEachEnumeratedTag(only, [&](const AcmDriver& driver, const AcmFormatTagInfo& info, uint32_t index) {
        FillTagDetails(driver, info, index, *paftd);
        return fnCallback(AsDriverId(&driver), paftd, dwInstance, driver.support) != 0;
    });
    return MMSYSERR_NOERROR;
}

MMRESULT acmFormatTagDetails(HACMDRIVER had, ACMFORMATTAGDETAILS* paftd, uint32_t fdwDetails) {
    if (!paftd || paftd->cbStruct != sizeof(ACMFORMATTAGDETAILS)) return MMSYSERR_INVALPARAM;
    const AcmDriver* only = nullptr;
    if (!ResolveDriverHandle(had, &only)) return MMSYSERR_INVALHANDLE;
    if (fdwDetails == ACM_FORMATTAGDETAILSF_FORMATTAG) {
        if (paftd->dwFormatTag > 0xFFFF) return ACMERR_NOTPOSSIBLE;
        const AcmFormatTagInfo* info = nullptr;
        const AcmDriver* driver = FindDriverForTag(static_cast<uint16_t>(paftd->dwFormatTag), &info);
        if (!driver || (only && only != driver)) return ACMERR_NOTPOSSIBLE;
        // The index is the tag's enumeration position; a tag that is not
        // enumerated gets the count of enumerated tags (past the end).
        uint32_t position = 0;
        ForEachEnumeratedTag(nullptr, [&](const AcmDriver&, const AcmFormatTagInfo& each, uint32_t index) {
            position = &each == info ? index : index + 1;
            return &each != info;
        });
        FillTagDetails(*driver, *info, position, *paftd);
        return MMSYSERR_NOERROR;
    }
    if (fdwDetails == ACM_FORMATTAGDETAILSF_INDEX) {
        MMRESULT result = ACMERR_NOTPOSSIBLE;
        const uint32_t wanted = paftd->dwFormatTagIndex;
        ForEachEnumeratedTag(nullptr, [&](const AcmDriver& driver, const AcmFormatTagInfo& info, uint32_t index) {
            if (index != wanted) return true;
            if (!only || only == &driver) {
                FillTagDetails(driver, info, index, *paftd);
                result = MMSYSERR_NOERROR;
            }
            return false;
        });
        return result;
    }
    return MMSYSERR_INVALFLAG;
}

MMRESULT acmFormatDetails(HACMDRIVER had, ACMFORMATDETAILS* pafd, uint32_t fdwDetails) {
    if (!pafd || pafd->cbStruct != sizeof(ACMFORMATDETAILS) || !pafd->pwfx) return MMSYSERR_INVALPARAM;
    const AcmDriver* only = nullptr;
    if (!ResolveDriverHandle(had, &only)) return MMSYSERR_INVALHANDLE;
    if (fdwDetails == ACM_FORMATDETAILSF_FORMAT) {
        WAVEFORMATEX pcmCopy{};
        const WAVEFORMATEX* format = NormalizeFormat(pafd->pwfx, pafd->cbwfx, pcmCopy);
        if (!format) return MMSYSERR_INVALPARAM;
        if (pafd->dwFormatTag != 0 && pafd->dwFormatTag != format->wFormatTag) return MMSYSERR_INVALPARAM;
        const AcmDriver* driver = nullptr;
        char name[ACMFORMATDETAILS_FORMAT_CHARS] = {};
        const MMRESULT result = DescribeWithDriver(*format, only, &driver, name, sizeof name);
        if (result != MMSYSERR_NOERROR) return result;
        pafd->dwFormatTag = format->wFormatTag;
        pafd->fdwSupport = driver->support;
        std::memcpy(pafd->szFormat, name, sizeof name);
        return MMSYSERR_NOERROR;
    }
    if (fdwDetails == ACM_FORMATDETAILSF_INDEX) {
        if (pafd->dwFormatTag > 0xFFFF) return ACMERR_NOTPOSSIBLE;
        const AcmFormatTagInfo* info = nullptr;
        const AcmDriver* driver = FindDriverForTag(static_cast<uint16_t>(pafd->dwFormatTag), &info);
        if (!driver || (only && only != driver) || pafd->dwFormatIndex >= info->standardFormatCount)
            return ACMERR_NOTPOSSIBLE;
        FormatScratch scratch{};
        if (!driver->enumerateFormat(info->tag, pafd->dwFormatIndex, scratch.format())) return ACMERR_NOTPOSSIBLE;
        char name[ACMFORMATDETAILS_FORMAT_CHARS] = {};
        MMRESULT result = driver->describeFormat(scratch.format(), name, sizeof name);
        if (result != MMSYSERR_NOERROR) return result;
        result = DeliverFormat(*scratch.format(), pafd->pwfx, pafd->cbwfx);
        if (result != MMSYSERR_NOERROR) return result;
        pafd->fdwSupport = driver->support;
        std::memcpy(pafd->szFormat, name, sizeof name);
        return MMSYSERR_NOERROR;
    }
    return MMSYSERR_INVALFLAG;
}

MMRESULT acmFormatEnum(HACMDRIVER had, ACMFORMATDETAILS* pafd, ACMFORMATENUMCB fnCallback, uintptr_t dwInstance,
                       uint32_t fdwEnum) {
    if (!pafd || pafd->cbStruct != sizeof(ACMFORMATDETAILS) || !fnCallback || !pafd->pwfx ||
        pafd->cbwfx < WAVEFORMATEX_HEAD_SIZE)
        return MMSYSERR_INVALPARAM;
    constexpr uint32_t kFilters = ACM_FORMATENUMF_WFORMATTAG | ACM_FORMATENUMF_NCHANNELS |
                                  ACM_FORMATENUMF_NSAMPLESPERSEC | ACM_FORMATENUMF_WBITSPERSAMPLE;
    if (fdwEnum & ~kFilters) return MMSYSERR_INVALFLAG;
    const AcmDriver* only = nullptr;
    if (!ResolveDriverHandle(had, &only)) return MMSYSERR_INVALHANDLE;

    WAVEFORMATEX* block = pafd->pwfx;
    const uint32_t room = pafd->cbwfx;
    // The filter values, read before the block is overwritten (it may hold 16 bytes).
    WAVEFORMATEX filter{};
    std::memcpy(&filter, block, std::min<size_t>(room, sizeof filter));
    uint32_t tagFilter = 0;
    if (fdwEnum & ACM_FORMATENUMF_WFORMATTAG) {
        tagFilter = pafd->dwFormatTag != 0 ? pafd->dwFormatTag : filter.wFormatTag;
        const AcmDriver* driver = tagFilter <= 0xFFFF ? FindDriverForTag(static_cast<uint16_t>(tagFilter)) : nullptr;
        if (!driver || (only && only != driver)) return ACMERR_NOTPOSSIBLE;
    }

    const AcmDriverList list = RegisteredDrivers();
    for (size_t d = 0; d < list.count; ++d) {
        const AcmDriver* driver = list.drivers[d];
        if (only && only != driver) continue;
        for (uint32_t t = 0; t < driver->tagCount; ++t) {
            const AcmFormatTagInfo& info = driver->tags[t];
            if ((fdwEnum & ACM_FORMATENUMF_WFORMATTAG) && info.tag != tagFilter) continue;
            for (uint32_t index = 0; index < info.standardFormatCount; ++index) {
                FormatScratch scratch{};
                WAVEFORMATEX* format = scratch.format();
                if (!driver->enumerateFormat(info.tag, index, format)) break;
                if ((fdwEnum & ACM_FORMATENUMF_NCHANNELS) && format->nChannels != filter.nChannels) continue;
                if ((fdwEnum & ACM_FORMATENUMF_NSAMPLESPERSEC) && format->nSamplesPerSec != filter.nSamplesPerSec)
                    continue;
                if ((fdwEnum & ACM_FORMATENUMF_WBITSPERSAMPLE) && format->wBitsPerSample != filter.wBitsPerSample)
                    continue;
                char name[ACMFORMATDETAILS_FORMAT_CHARS] = {};
                if (driver->describeFormat(format, name, sizeof name) != MMSYSERR_NOERROR) continue;
                const MMRESULT delivered = DeliverFormat(*format, block, room);
                if (delivered != MMSYSERR_NOERROR) return delivered;
                pafd->pwfx = block;
                pafd->cbwfx = SignificantSize(*format);
                pafd->dwFormatIndex = index;
                pafd->dwFormatTag = info.tag;
                pafd->fdwSupport = driver->support;
                std::memcpy(pafd->szFormat, name, sizeof name);
                const bool goOn = fnCallback(AsDriverId(driver), pafd, dwInstance, driver->support) != 0;
                pafd->pwfx = block;
                pafd->cbwfx = room;
                if (!goOn) return MMSYSERR_NOERROR;
            }
        }
    }
    return MMSYSERR_NOERROR;
}

MMRESULT acmFormatSuggest(HACMDRIVER had, const WAVEFORMATEX* pwfxSrc, WAVEFORMATEX* pwfxDst, uint32_t cbwfxDst,
                          uint32_t fdwSuggest) {
    if (!pwfxSrc || !pwfxDst || cbwfxDst < WAVEFORMATEX_HEAD_SIZE) return MMSYSERR_INVALPARAM;
    constexpr uint32_t kFlags = ACM_FORMATSUGGESTF_WFORMATTAG | ACM_FORMATSUGGESTF_NCHANNELS |
                                ACM_FORMATSUGGESTF_NSAMPLESPERSEC | ACM_FORMATSUGGESTF_WBITSPERSAMPLE;
    if (fdwSuggest & ~kFlags) return MMSYSERR_INVALFLAG;
    const AcmDriver* only = nullptr;
    if (!ResolveDriverHandle(had, &only)) return MMSYSERR_INVALHANDLE;

    // The source's readable size is the caller's promise: 16 bytes for PCM,
    // 18 + cbSize otherwise.
    WAVEFORMATEX pcmCopy{};
    const WAVEFORMATEX* src = NormalizeFormat(
        pwfxSrc, pwfxSrc->wFormatTag == WAVE_FORMAT_PCM ? WAVEFORMATEX_HEAD_SIZE : 18u + pwfxSrc->cbSize, pcmCopy);
    const AcmDriver* srcDriver = nullptr;
    if (!src) return MMSYSERR_INVALPARAM;
    if (DescribeWithDriver(*src, nullptr, &srcDriver, nullptr, 0) != MMSYSERR_NOERROR) return ACMERR_NOTPOSSIBLE;

    WAVEFORMATEX preset{};  // the fields a flag fixes (the block may hold 16 bytes)
    std::memcpy(&preset, pwfxDst, std::min<size_t>(cbwfxDst, sizeof preset));
    const uint16_t targetTag = (fdwSuggest & ACM_FORMATSUGGESTF_WFORMATTAG) ? preset.wFormatTag : WAVE_FORMAT_PCM;

    FormatScratch scratch{};
    WAVEFORMATEX* result = scratch.format();
    const AcmDriver* resultDriver = nullptr;
    if (targetTag == WAVE_FORMAT_PCM) {
        if (src->wFormatTag == WAVE_FORMAT_PCM) {
            const uint16_t channels = (fdwSuggest & ACM_FORMATSUGGESTF_NCHANNELS) ? preset.nChannels : src->nChannels;
            const uint32_t rate =
                (fdwSuggest & ACM_FORMATSUGGESTF_NSAMPLESPERSEC) ? preset.nSamplesPerSec : src->nSamplesPerSec;
            const uint16_t bits =
                (fdwSuggest & ACM_FORMATSUGGESTF_WBITSPERSAMPLE) ? preset.wBitsPerSample : src->wBitsPerSample;
            *result = MakePcmFormat(rate, bits, channels);
            if (!PcmChannelChangeSupported(src->nChannels, channels)) return ACMERR_NOTPOSSIBLE;
        } else if (srcDriver->suggestPcm(src, result) != MMSYSERR_NOERROR) {
            return ACMERR_NOTPOSSIBLE;
        }
        resultDriver = FindDriverForTag(WAVE_FORMAT_PCM);
    } else {
        if (src->wFormatTag != WAVE_FORMAT_PCM) return ACMERR_NOTPOSSIBLE;
        const AcmFormatTagInfo* info = nullptr;
        resultDriver = FindDriverForTag(targetTag, &info);
        if (!resultDriver || !resultDriver->suggestFromPcm) return ACMERR_NOTPOSSIBLE;
        if (resultDriver->suggestFromPcm(src, targetTag, result,
                                         std::min<uint32_t>(info->maxFormatSize, kScratchFormatBytes)) !=
            MMSYSERR_NOERROR)
            return ACMERR_NOTPOSSIBLE;
        WAVEFORMATEX back{};
        if (result->wFormatTag != targetTag || resultDriver->describeFormat(result, nullptr, 0) != MMSYSERR_NOERROR ||
            resultDriver->suggestPcm(result, &back) != MMSYSERR_NOERROR || !SameHead(back, *src))
            return ACMERR_NOTPOSSIBLE;
    }
    if (only && only != resultDriver && only != srcDriver) return ACMERR_NOTPOSSIBLE;
    if (!resultDriver || resultDriver->describeFormat(result, nullptr, 0) != MMSYSERR_NOERROR)
        return ACMERR_NOTPOSSIBLE;
    if (((fdwSuggest & ACM_FORMATSUGGESTF_NCHANNELS) && result->nChannels != preset.nChannels) ||
        ((fdwSuggest & ACM_FORMATSUGGESTF_NSAMPLESPERSEC) && result->nSamplesPerSec != preset.nSamplesPerSec) ||
        ((fdwSuggest & ACM_FORMATSUGGESTF_WBITSPERSAMPLE) && result->wBitsPerSample != preset.wBitsPerSample))
        return ACMERR_NOTPOSSIBLE;
    return DeliverFormat(*result, pwfxDst, cbwfxDst);
}

MMRESULT acmStreamOpen(HACMSTREAM* phas, HACMDRIVER had, const WAVEFORMATEX* pwfxSrc, const WAVEFORMATEX* pwfxDst,
                       const void* pwfltr, uintptr_t dwCallback, uintptr_t dwInstance, uint32_t fdwOpen) {
    if (phas) *phas = nullptr;
    if (fdwOpen & ~(ACM_STREAMOPENF_QUERY | ACM_STREAMOPENF_NONREALTIME)) return MMSYSERR_INVALFLAG;
    const bool query = (fdwOpen & ACM_STREAMOPENF_QUERY) != 0;
    if ((!phas && !query) || !pwfxSrc || !pwfxDst || dwCallback != 0 || dwInstance != 0)
        return MMSYSERR_INVALPARAM;
    if (pwfltr) return MMSYSERR_NOTSUPPORTED;
    const AcmDriver* only = nullptr;
    if (!ResolveDriverHandle(had, &only)) return MMSYSERR_INVALHANDLE;

    WAVEFORMATEX srcCopy{};
    WAVEFORMATEX dstCopy{};
    const WAVEFORMATEX* src = NormalizeFormat(
        pwfxSrc, pwfxSrc->wFormatTag == WAVE_FORMAT_PCM ? WAVEFORMATEX_HEAD_SIZE : 18u + pwfxSrc->cbSize, srcCopy);
    const WAVEFORMATEX* dst = NormalizeFormat(
        pwfxDst, pwfxDst->wFormatTag == WAVE_FORMAT_PCM ? WAVEFORMATEX_HEAD_SIZE : 18u + pwfxDst->cbSize, dstCopy);
    if (!src || !dst) return MMSYSERR_INVALPARAM;
    if (DescribeWithDriver(*src, nullptr, nullptr, nullptr, 0) != MMSYSERR_NOERROR ||
        DescribeWithDriver(*dst, nullptr, nullptr, nullptr, 0) != MMSYSERR_NOERROR)
        return ACMERR_NOTPOSSIBLE;
    const AcmDriver* driver = nullptr;
    MMRESULT result = StreamDriver(*src, *dst, &driver);
    if (result != MMSYSERR_NOERROR) return result;
    if (only && only != driver) return ACMERR_NOTPOSSIBLE;

    std::unique_ptr<AcmStreamConverter> converter;
    result = driver->openStream(src, dst, fdwOpen & ACM_STREAMOPENF_NONREALTIME, converter);
    if (result != MMSYSERR_NOERROR) return result;
    if (!converter || converter->SourceBlockBytes() == 0 || converter->DestinationBlockBytes() == 0)
        return MMSYSERR_ERROR;
    if (query) return MMSYSERR_NOERROR;

    std::unique_ptr<OrvanoAcmStream> stream(new (std::nothrow) OrvanoAcmStream);
    if (!stream) return MMSYSERR_NOMEM;
    stream->converter = std::move(converter);
    stream->driver = driver;
    try {
        std::lock_guard lock(g_streamsMutex);
        LiveStreams().insert(stream.get());
        stream->serial = g_nextStreamSerial++;
    } catch (const std::bad_alloc&) {
        return MMSYSERR_NOMEM;
    }
    *phas = stream.release();
    return MMSYSERR_NOERROR;
}

namespace {

// Bookkeeping in the header's reserved words: the stream it was prepared for
// and the lengths it was prepared with (a convert may shrink, never grow them).
enum : size_t { kReservedStream = 0, kReservedSrcLength = 1, kReservedDstLength = 2, kReservedSerial = 3 };

bool PreparedFor(const ACMSTREAMHEADER& header, HACMSTREAM stream) {
    return (header.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED) &&
           header.dwReservedDriver[kReservedStream] == reinterpret_cast<uintptr_t>(stream) &&
           header.dwReservedDriver[kReservedSerial] == stream->serial;
}

}  // namespace

MMRESULT acmStreamPrepareHeader(HACMSTREAM has, ACMSTREAMHEADER* pash, uint32_t fdwPrepare) {
    if (!IsLiveStream(has)) return MMSYSERR_INVALHANDLE;
    if (!pash || pash->cbStruct != sizeof(ACMSTREAMHEADER)) return MMSYSERR_INVALPARAM;
    if (fdwPrepare != 0) return MMSYSERR_INVALFLAG;
    if ((pash->cbSrcLength != 0 && !pash->pbSrc) || !pash->pbDst) return MMSYSERR_INVALPARAM;
    const AcmStreamConverter& converter = *has->converter;
    if (pash->cbSrcLength != 0 && pash->cbSrcLength < converter.SourceBlockBytes()) return ACMERR_NOTPOSSIBLE;
    if (pash->cbDstLength < converter.DestinationBlockBytes()) return ACMERR_NOTPOSSIBLE;
    pash->dwReservedDriver[kReservedStream] = reinterpret_cast<uintptr_t>(has);
    pash->dwReservedDriver[kReservedSrcLength] = pash->cbSrcLength;
    pash->dwReservedDriver[kReservedDstLength] = pash->cbDstLength;
    pash->dwReservedDriver[kReservedSerial] = has->serial;
    pash->fdwStatus = (pash->fdwStatus & ~ACMSTREAMHEADER_STATUSF_DONE) | ACMSTREAMHEADER_STATUSF_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamConvert(HACMSTREAM has, ACMSTREAMHEADER* pash, uint32_t fdwConvert) {
    if (!IsLiveStream(has)) return MMSYSERR_INVALHANDLE;
    if (!pash || pash->cbStruct != sizeof(ACMSTREAMHEADER)) return MMSYSERR_INVALPARAM;
    constexpr uint32_t kFlags = ACM_STREAMCONVERTF_BLOCKALIGN | ACM_STREAMCONVERTF_START | ACM_STREAMCONVERTF_END;
    if (fdwConvert & ~kFlags) return MMSYSERR_INVALFLAG;
    if (!PreparedFor(*pash, has)) return ACMERR_UNPREPARED;
    if (pash->cbSrcLength > pash->dwReservedDriver[kReservedSrcLength] ||
        pash->cbDstLength > pash->dwReservedDriver[kReservedDstLength] || (pash->cbSrcLength != 0 && !pash->pbSrc) ||
        !pash->pbDst)
        return MMSYSERR_INVALPARAM;
    pash->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_DONE;
    pash->cbSrcLengthUsed = 0;
    pash->cbDstLengthUsed = 0;
    uint32_t srcUsed = 0;
    uint32_t dstUsed = 0;
    const MMRESULT result =
        has->converter->Convert(pash->pbSrc, pash->cbSrcLength, srcUsed, pash->pbDst, pash->cbDstLength, dstUsed,
                                fdwConvert);
    if (srcUsed > pash->cbSrcLength || dstUsed > pash->cbDstLength) return MMSYSERR_ERROR;
    pash->cbSrcLengthUsed = srcUsed;
    pash->cbDstLengthUsed = dstUsed;
    pash->fdwStatus |= ACMSTREAMHEADER_STATUSF_DONE;
    return result;
}

MMRESULT acmStreamUnprepareHeader(HACMSTREAM has, ACMSTREAMHEADER* pash, uint32_t fdwUnprepare) {
    if (!IsLiveStream(has)) return MMSYSERR_INVALHANDLE;
    if (!pash || pash->cbStruct != sizeof(ACMSTREAMHEADER)) return MMSYSERR_INVALPARAM;
    if (fdwUnprepare != 0) return MMSYSERR_INVALFLAG;
    if (!PreparedFor(*pash, has)) return ACMERR_UNPREPARED;
    pash->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_PREPARED;
    std::fill(std::begin(pash->dwReservedDriver), std::end(pash->dwReservedDriver), uintptr_t{0});
    return MMSYSERR_NOERROR;
}

// Closing never fails for a live stream: headers still prepared for it turn
// stale (their next use is refused) instead of keeping the stream alive.
MMRESULT acmStreamClose(HACMSTREAM has, uint32_t fdwClose) {
    if (fdwClose != 0) return MMSYSERR_INVALFLAG;
    {
        std::lock_guard lock(g_streamsMutex);
        if (!has || LiveStreams().erase(has) == 0) return MMSYSERR_INVALHANDLE;
    }
    delete has;
    return MMSYSERR_NOERROR;
}
