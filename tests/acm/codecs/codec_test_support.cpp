#include "codec_test_support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>

namespace codectest {

WAVEFORMATEX Pcm16(uint32_t rate, uint16_t channels) {
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = channels;
    format.nSamplesPerSec = rate;
    format.nBlockAlign = static_cast<uint16_t>(2 * channels);
    format.nAvgBytesPerSec = rate * format.nBlockAlign;
    format.wBitsPerSample = 16;
    return format;
}

namespace {

int32_t CollectFormat(HACMDRIVERID, ACMFORMATDETAILS* details, uintptr_t instance, uint32_t) {
    auto* list = reinterpret_cast<std::vector<FormatBlock>*>(instance);
    const auto* bytes = reinterpret_cast<const uint8_t*>(details->pwfx);
    list->emplace_back(bytes, bytes + 18 + details->pwfx->cbSize);
    return 1;
}

}  // namespace

std::vector<FormatBlock> EnumeratedFormats(uint16_t tag) {
    uint32_t maxSize = 0;
    acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &maxSize);
    std::vector<uint8_t> room(std::max<uint32_t>(maxSize, 18));
    ACMFORMATDETAILS details{};
    details.cbStruct = sizeof details;
    details.dwFormatTag = tag;
    details.pwfx = reinterpret_cast<WAVEFORMATEX*>(room.data());
    details.pwfx->wFormatTag = tag;
    details.cbwfx = static_cast<uint32_t>(room.size());
    std::vector<FormatBlock> list;
    EXPECT_EQ(acmFormatEnum(nullptr, &details, CollectFormat, reinterpret_cast<uintptr_t>(&list),
                            ACM_FORMATENUMF_WFORMATTAG),
              MMSYSERR_NOERROR);
    return list;
}

std::string FormatName(const FormatBlock& format) {
    ACMFORMATDETAILS details{};
    details.cbStruct = sizeof details;
    details.dwFormatTag = AsFormat(format)->wFormatTag;
    details.pwfx = const_cast<WAVEFORMATEX*>(AsFormat(format));
    details.cbwfx = static_cast<uint32_t>(format.size());
    if (acmFormatDetails(nullptr, &details, ACM_FORMATDETAILSF_FORMAT) != MMSYSERR_NOERROR) return "(no details)";
    return details.szFormat;
}

std::vector<int16_t> MusicSignal(uint32_t rate, uint16_t channels, size_t frames, uint32_t seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, 0.003);
    const double tones[] = {220.0, 330.0, 440.5, 659.3, 1318.5, 2637.0};
    const double levels[] = {0.16, 0.12, 0.10, 0.06, 0.04, 0.02};
    std::vector<int16_t> out(frames * channels);
    for (size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        // Notes of 250 ms with a quick attack and a slow decay.
        const double noteTime = std::fmod(t, 0.25);
        const double envelope = std::min(1.0, noteTime * 200.0) * std::exp(-noteTime * 6.0);
        for (uint16_t c = 0; c < channels; ++c) {
            double value = 0;
            for (size_t k = 0; k < std::size(tones); ++k) {
                const double frequency = tones[k] * (1.0 + 0.01 * c);
                if (frequency < rate / 2.2)
                    value += levels[k] * std::sin(2 * std::numbers::pi * frequency * t + c + k);
            }
            value = value * envelope * 1.4 + noise(random);
            out[i * channels + c] = static_cast<int16_t>(std::lround(std::clamp(value, -1.0, 1.0) * 32767.0));
        }
    }
    return out;
}

std::vector<int16_t> Tone(double frequency, double amplitude, uint32_t rate, uint16_t channels, size_t frames) {
    std::vector<int16_t> out(frames * channels);
    for (size_t i = 0; i < frames; ++i) {
        const double phase = 2 * std::numbers::pi * frequency * static_cast<double>(i) / rate;
        const auto v = static_cast<int16_t>(std::lround(amplitude * 32767.0 * std::sin(phase)));
        for (uint16_t c = 0; c < channels; ++c) out[i * channels + c] = v;
    }
    return out;
}

std::vector<uint8_t> ToBytes(const std::vector<int16_t>& samples) {
    std::vector<uint8_t> bytes(samples.size() * 2);
    if (!samples.empty()) std::memcpy(bytes.data(), samples.data(), bytes.size());
    return bytes;
}

std::vector<int16_t> ToSamples(const std::vector<uint8_t>& bytes) {
    std::vector<int16_t> samples(bytes.size() / 2);
    if (!samples.empty()) std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

RunResult RunStream(const void* src, const void* dst, const std::vector<uint8_t>& input, const RunOptions& options) {
    RunResult out;
    HACMSTREAM stream = nullptr;
    out.openResult = acmStreamOpen(&stream, nullptr, static_cast<const WAVEFORMATEX*>(src),
                                   static_cast<const WAVEFORMATEX*>(dst), nullptr, 0, 0, options.flags);
    if (out.openResult != MMSYSERR_NOERROR) return out;
    std::vector<uint8_t> room(options.room);
    std::vector<uint8_t> piece;
    size_t offset = 0;
    auto convert = [&](ACMSTREAMHEADER& header, uint32_t flags) {
        const MMRESULT result = acmStreamConvert(stream, &header, flags);
        if (result != MMSYSERR_NOERROR && out.convertResult == MMSYSERR_NOERROR) out.convertResult = result;
        EXPECT_LE(header.cbSrcLengthUsed, header.cbSrcLength);
        EXPECT_LE(header.cbDstLengthUsed, header.cbDstLength);
        out.output.insert(out.output.end(), room.begin(), room.begin() + header.cbDstLengthUsed);
        return result == MMSYSERR_NOERROR;
    };
    // Pieces are copied to a buffer of their own size so that ASan sees any
    // read past them.
    for (int guard = 0; offset < input.size() && guard < 10000000; ++guard) {
        size_t length = std::min<size_t>(options.piece, input.size() - offset);
        ACMSTREAMHEADER header{};
        header.cbStruct = sizeof header;
        header.pbDst = room.data();
        header.cbDstLength = options.room;
        bool padded = false;
        for (;;) {
            if (!padded)
                piece.assign(input.begin() + static_cast<std::ptrdiff_t>(offset),
                             input.begin() + static_cast<std::ptrdiff_t>(offset + length));
            header.pbSrc = piece.data();
            header.cbSrcLength = static_cast<uint32_t>(piece.size());
            if (acmStreamPrepareHeader(stream, &header, 0) == MMSYSERR_NOERROR) break;
            if (offset + length < input.size()) {
                // A refused piece in the middle gets more input behind it.
                length = std::min<size_t>(length + options.piece, input.size() - offset);
                continue;
            }
            // The last one is padded, and not without end.
            if (piece.size() > length + (1u << 20)) {
                out.convertResult = ACMERR_NOTPOSSIBLE;
                acmStreamClose(stream, 0);
                return out;
            }
            piece.resize(piece.size() + 50, 0);
            padded = true;
        }
        bool ok = convert(header, ACM_STREAMCONVERTF_BLOCKALIGN);
        uint32_t used = header.cbSrcLengthUsed;
        const bool produced = header.cbDstLengthUsed != 0;
        if (ok && used == 0) {
            // Nothing whole to take: the trailing part goes without alignment.
            ok = convert(header, 0);
            used = header.cbSrcLengthUsed;
            if (ok && used == 0 && !produced && header.cbDstLengthUsed == 0) {
                out.convertResult = MMSYSERR_ERROR;  // no progress: the run fails such an item
                ok = false;
            }
        }
        acmStreamUnprepareHeader(stream, &header, 0);
        if (!ok) break;
        offset += padded ? length : std::min<size_t>(used, length);
    }
    for (int guard = 0; options.endFlush && out.convertResult == MMSYSERR_NOERROR && guard < 1000; ++guard) {
        ACMSTREAMHEADER header{};
        header.cbStruct = sizeof header;
        header.pbDst = room.data();
        header.cbDstLength = options.room;
        if (acmStreamPrepareHeader(stream, &header, 0) != MMSYSERR_NOERROR) {
            out.convertResult = ACMERR_NOTPOSSIBLE;
            break;
        }
        const bool ok = convert(header, ACM_STREAMCONVERTF_END);
        acmStreamUnprepareHeader(stream, &header, 0);
        if (!ok || header.cbDstLengthUsed < options.room) break;
    }
    EXPECT_EQ(acmStreamClose(stream, 0), MMSYSERR_NOERROR);
    return out;
}

double RelativeError(const std::vector<int16_t>& reference, const std::vector<int16_t>& test, size_t skip) {
    const size_t count = std::min(reference.size(), test.size());
    double signal = 0;
    double error = 0;
    for (size_t i = skip; i < count; ++i) {
        signal += static_cast<double>(reference[i]) * reference[i];
        const double difference = static_cast<double>(test[i]) - reference[i];
        error += difference * difference;
    }
    return signal == 0 ? (error == 0 ? 0 : 1e9) : std::sqrt(error / signal);
}

int MaxAbsDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
    int most = 0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) most = std::max(most, std::abs(a[i] - b[i]));
    return most;
}

double Rms(const int16_t* samples, size_t count) {
    double sum = 0;
    for (size_t i = 0; i < count; ++i) sum += static_cast<double>(samples[i]) * samples[i];
    return count == 0 ? 0 : std::sqrt(sum / static_cast<double>(count));
}

namespace {

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void PutChunk(std::vector<uint8_t>& out, const char* id, const std::vector<uint8_t>& body) {
    out.insert(out.end(), id, id + 4);
    Put32(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() % 2) out.push_back(0);
}
uint32_t Get32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

}  // namespace

bool WriteWav(const std::string& path, const FormatBlock& format, const std::vector<uint8_t>& data,
              uint32_t factSamples) {
    std::vector<uint8_t> body{'W', 'A', 'V', 'E'};
    // PCM keeps its 16-byte chunk, as most writers store it.
    FormatBlock chunk = format;
    if (AsFormat(format)->wFormatTag == WAVE_FORMAT_PCM) chunk.resize(16);
    PutChunk(body, "fmt ", chunk);
    if (factSamples != 0) {
        std::vector<uint8_t> fact;
        Put32(fact, factSamples);
        PutChunk(body, "fact", fact);
    }
    PutChunk(body, "data", data);
    std::vector<uint8_t> file{'R', 'I', 'F', 'F'};
    Put32(file, static_cast<uint32_t>(body.size()));
    file.insert(file.end(), body.begin(), body.end());
    return WriteFile(path, file);
}

bool ReadWav(const std::string& path, WavFile& file) {
    std::vector<uint8_t> bytes;
    if (!ReadFile(path, bytes) || bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
        return false;
    file = WavFile{};
    bool haveData = false;
    size_t position = 12;
    while (position + 8 <= bytes.size()) {
        const uint8_t* chunk = bytes.data() + position;
        const size_t size = std::min<size_t>(Get32(chunk + 4), bytes.size() - position - 8);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            file.format.assign(chunk + 8, chunk + 8 + size);
            if (file.format.size() < 18) file.format.resize(18, 0);
        } else if (std::memcmp(chunk, "fact", 4) == 0 && size >= 4) {
            file.factSamples = Get32(chunk + 8);
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            file.data.assign(chunk + 8, chunk + 8 + size);
            haveData = true;
        }
        position += 8 + size + (size % 2);
    }
    return haveData && !file.format.empty();
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream stream(path, std::ios::binary | std::ios::trunc);
    stream.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(stream);
}

bool ReadFile(const std::string& path, std::vector<uint8_t>& bytes) {
    std::ifstream stream(path, std::ios::binary);
    if (!stream) return false;
    bytes.assign(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
    return true;
}

TempFolder::TempFolder(const std::string& name) {
    static std::atomic<int> counter{0};
    m_path = testing::TempDir() + "orvano-codecs-" + name + "-" + std::to_string(getpid()) + "-" +
             std::to_string(counter++);
    std::filesystem::create_directories(m_path);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

bool RunCommand(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

bool HaveTool(const char* name) { return RunCommand(std::string("command -v ") + name); }

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

}  // namespace codectest
