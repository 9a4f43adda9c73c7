// Converting a list of items from the command line: one run over all of
// them, or with several jobs each item on a run of its own, that many at
// once; a progress line on the terminal; the error log with its detailed
// texts and a summary at the end.
#pragma once

#include <atomic>
#include <cstddef>
#include <iosfwd>
#include <vector>

#include "engine/RunSnapshot.h"

struct SBatchOptions {
    unsigned jobs = 1;
    bool quiet = false;
    bool deleteSources = false;
    // Redraw one progress line in place (a terminal and not quiet).
    bool progressLine = false;
    // Set from a signal handler: abort the runs, start no more.
    const std::atomic<bool>* interrupted = nullptr;
};

struct SBatchResult {
    std::size_t converted = 0;
    std::size_t failed = 0;    // an 'E' line, or passed over
    std::size_t notReached = 0; // aborted before or during the item
    bool interrupted = false;
};

// out: item lines and the summary; err: the progress line and the log.
SBatchResult ConvertBatch(const std::vector<SRunItem>& items, const SBatchOptions& options, std::ostream& out,
                          std::ostream& err);
