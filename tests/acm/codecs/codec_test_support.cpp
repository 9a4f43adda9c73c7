#include "codec_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace codectest {

std::string FormatName(const FormatBlock& format) {
    ACMFORMATDETAILS details{};
    details.cbStruct = sizeof details;
    details.dwFormatTag = testsupport::AsFormat(format)->wFormatTag;
    details.pwfx = const_cast<WAVEFORMATEX*>(testsupport::AsFormat(format));
    details.cbwfx = static_cast<uint32_t>(format.size());
    if (acmFormatDetails(nullptr, &details, ACM_FORMATDETAILSF_FORMAT) != MMSYSERR_NOERROR) return "(no details)";
    return details.szFormat;
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

}  // namespace codectest
