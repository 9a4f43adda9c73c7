// Opening a file the way both libraries share files: readers share a file
// with other readers, a writer has it alone, and a file in use is refused
// before anything is changed in it.
#pragma once

namespace audff {

enum class OpenFailure {
    None,
    PathNotFound,
    AccessDenied,
    InUse,
    Network,
    TooManyFiles,
    InvalidFile,
    Unknown,
};

struct OpenedFile {
    int descriptor = -1;
    OpenFailure failure = OpenFailure::None;
};

// Opens an existing regular file read-only with a shared lock. A file that a
// writer holds is refused with InUse.
OpenedFile OpenSharedForReading(const char* path);

// Opens or creates a regular file write-only with an exclusive lock, and
// empties it only once the lock is held: a file that anyone reads or writes
// is refused with InUse and left as it was.
OpenedFile OpenExclusiveForWriting(const char* path);

// The failure class of an errno value from open, fstat, flock or ftruncate.
OpenFailure ClassifyOpenError(int error);

} // namespace audff
