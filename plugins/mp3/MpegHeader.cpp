#include "MpegHeader.h"

#include <array>
#include <cstring>

namespace mp3 {
namespace {

// Row 0: sample rates by version * 4 + sample-rate index (version 0 MPEG 2.5,
// 1 reserved, 2 MPEG 2, 3 MPEG 1). Rows 1-3: bit rates of MPEG 2 and 2.5,
// Layers I, II, III; rows 4-6: MPEG 1, Layers I, II, III.
constexpr std::array<std::array<uint32_t, 16>, 7> kMpegTables{{
    {11025, 12000, 8000, 0, 0, 0, 0, 0, 22050, 24000, 16000, 0, 44100, 48000, 32000, 0},
    {0, 32000, 48000, 56000, 64000, 80000, 96000, 112000, 128000, 144000, 160000, 176000, 192000, 224000, 256000, 0},
    {0, 8000, 16000, 24000, 32000, 40000, 48000, 56000, 64000, 80000, 96000, 112000, 128000, 144000, 160000, 0},
    {0, 8000, 16000, 24000, 32000, 40000, 48000, 56000, 64000, 80000, 96000, 112000, 128000, 144000, 160000, 0},
    {0, 32000, 64000, 96000, 128000, 160000, 192000, 224000, 256000, 288000, 320000, 352000, 384000, 416000, 448000,
     0},
    {0, 32000, 48000, 56000, 64000, 80000, 96000, 112000, 128000, 160000, 192000, 224000, 256000, 320000, 384000, 0},
    {0, 32000, 40000, 48000, 56000, 64000, 80000, 96000, 112000, 128000, 160000, 192000, 224000, 256000, 320000, 0},
}};

constexpr unsigned kSampleRateRow = 0;
constexpr unsigned kVersionReserved = 1;
constexpr unsigned kVersionMpeg1 = 3;
constexpr unsigned kLayerReserved = 0;
constexpr unsigned kSampleRateReserved = 3;
constexpr unsigned kBitRateFree = 0;
constexpr unsigned kBitRateInvalid = 15;
constexpr unsigned kChannelModeSingle = 3;

constexpr uint16_t kBlockSize = 417;
constexpr uint16_t kFramesPerBlock = 1;
constexpr uint16_t kCodecDelay = 1393;
constexpr uint32_t kPaddingOff = 2;

// Layer bits 3, 2, 1 are Layers I, II, III.
unsigned BitRateRow(unsigned version, unsigned layerBits)
{
    const unsigned layerNumber = 4 - layerBits;
    return (version == kVersionMpeg1 ? 3 : 0) + layerNumber;
}

} // namespace

bool DescribeFrameHeader(uint32_t header, MPEGLAYER3WAVEFORMAT& format)
{
    const unsigned version = (header >> 19) & 0x3;
    const unsigned layerBits = (header >> 17) & 0x3;
    const unsigned bitRateIndex = (header >> 12) & 0xF;
    const unsigned sampleRateIndex = (header >> 10) & 0x3;
    const unsigned channelMode = (header >> 6) & 0x3;
    if (version == kVersionReserved || layerBits == kLayerReserved || sampleRateIndex == kSampleRateReserved ||
        bitRateIndex == kBitRateFree || bitRateIndex == kBitRateInvalid) {
        return false;
    }
    std::memset(&format, 0, sizeof format);
    format.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    format.wfx.nChannels = channelMode == kChannelModeSingle ? 1 : 2;
    format.wfx.nSamplesPerSec = kMpegTables[kSampleRateRow][version * 4 + sampleRateIndex];
    format.wfx.nAvgBytesPerSec = kMpegTables[BitRateRow(version, layerBits)][bitRateIndex] / 8;
    format.wfx.nBlockAlign = static_cast<uint16_t>(2 * format.wfx.nChannels);
    format.wfx.wBitsPerSample = 0;
    format.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
    format.wID = MPEGLAYER3_ID_MPEG;
    format.fdwFlags = kPaddingOff;
    format.nBlockSize = kBlockSize;
    format.nFramesPerBlock = kFramesPerBlock;
    format.nCodecDelay = kCodecDelay;
    return true;
}

bool IsWritableFormat(const WAVEFORMATEX& format)
{
    if (format.wFormatTag != WAVE_FORMAT_MPEGLAYER3 || (format.nChannels != 1 && format.nChannels != 2)) {
        return false;
    }
    bool knownRate = false;
    for (uint32_t rate : kMpegTables[kSampleRateRow]) {
        knownRate = knownRate || (rate != 0 && rate == format.nSamplesPerSec);
    }
    if (!knownRate) {
        return false;
    }
    // 64 bits: a byte rate whose bit rate wraps around 32 bits must not pass.
    const uint64_t bitRate = uint64_t{format.nAvgBytesPerSec} * 8;
    for (unsigned row = 1; row < kMpegTables.size(); ++row) {
        for (unsigned index = 1; index <= 14; ++index) {
            if (kMpegTables[row][index] == bitRate) {
                return true;
            }
        }
    }
    return false;
}

} // namespace mp3
