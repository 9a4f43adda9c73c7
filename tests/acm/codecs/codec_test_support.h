// Helpers of the codec tests: streams driven the way the conversion run
// drives them, format names and error measures. Formats, signals, WAVE files,
// scratch folders and peer commands come from the shared support (support/).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "acm/acm.h"
#include "support/AudioFormats.h"
#include "support/FileBytes.h"
#include "support/PeerCommand.h"
#include "support/ScratchFolder.h"
#include "support/Signals.h"
#include "support/WaveFile.h"

namespace codectest {

using testsupport::FormatBlock;

std::string FormatName(const FormatBlock& format);

struct RunOptions {
    uint32_t flags = 0;           // acmStreamOpen flags
    uint32_t piece = 1u << 16;    // source bytes offered per convert
    uint32_t room = 1u << 18;     // destination room per convert
    bool endFlush = true;         // finish with END converts
};

struct RunResult {
    MMRESULT openResult = MMSYSERR_NOERROR;
    MMRESULT convertResult = MMSYSERR_NOERROR;  // the first failing convert
    std::vector<uint8_t> output;
};

// Drives one stream like the conversion run: each piece is prepared (zero
// padded when prepare refuses its length, as the run does with the last
// piece), converted with block alignment and, when that consumed nothing,
// again without flags; the source is advanced by what was consumed and every
// convert's output kept. Finally END converts with no source until one
// leaves room unused.
RunResult RunStream(const void* src, const void* dst, const std::vector<uint8_t>& input,
                    const RunOptions& options = {});

// RMS of (test - reference) over RMS of reference, on the first
// min(sizes) samples after skipping `skip` samples.
double RelativeError(const std::vector<int16_t>& reference, const std::vector<int16_t>& test, size_t skip = 0);
int MaxAbsDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b);
double Rms(const int16_t* samples, size_t count);

}  // namespace codectest
