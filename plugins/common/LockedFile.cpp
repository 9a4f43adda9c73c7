#include "LockedFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace audff {
namespace {

OpenedFile Refuse(int descriptor, OpenFailure failure)
{
    if (descriptor >= 0) {
        ::close(descriptor);
    }
    return {-1, failure};
}

OpenedFile RefuseWithErrno(int descriptor)
{
    const int error = errno;
    return Refuse(descriptor, ClassifyOpenError(error));
}

int LockWithoutWaiting(int descriptor, int operation)
{
    int result;
    do {
        result = ::flock(descriptor, operation | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    return result;
}

// O_NONBLOCK keeps the open from hanging on a FIFO; a regular file does not
// need it, so it is dropped once the file is known to be one.
OpenedFile CheckRegularAndLock(int descriptor, int lockOperation)
{
    struct stat status {};
    if (::fstat(descriptor, &status) != 0) {
        return RefuseWithErrno(descriptor);
    }
    if (!S_ISREG(status.st_mode)) {
        return Refuse(descriptor, OpenFailure::InvalidFile);
    }
    if (LockWithoutWaiting(descriptor, lockOperation) != 0) {
        return RefuseWithErrno(descriptor);
    }
    const int flags = ::fcntl(descriptor, F_GETFL);
    if (flags < 0 || ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        return RefuseWithErrno(descriptor);
    }
    return {descriptor, OpenFailure::None};
}

int OpenRetryingInterrupts(const char* path, int flags, mode_t mode)
{
    int descriptor;
    do {
        descriptor = ::open(path, flags, mode);
    } while (descriptor < 0 && errno == EINTR);
    return descriptor;
}

} // namespace

OpenFailure ClassifyOpenError(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return OpenFailure::PathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
        return OpenFailure::AccessDenied;
    case EWOULDBLOCK:
    case ETXTBSY:
        return OpenFailure::InUse;
    case EMFILE:
    case ENFILE:
        return OpenFailure::TooManyFiles;
    case EISDIR:
    case ENAMETOOLONG:
    case EINVAL:
        return OpenFailure::InvalidFile;
    case ETIMEDOUT:
    case EHOSTDOWN:
    case EHOSTUNREACH:
    case ENETDOWN:
    case ENETUNREACH:
    case ECOMM:
    case EREMOTEIO:
    case ESTALE:
        return OpenFailure::Network;
    default:
        return OpenFailure::Unknown;
    }
}

OpenedFile OpenSharedForReading(const char* path)
{
    const int descriptor = OpenRetryingInterrupts(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0);
    if (descriptor < 0) {
        return RefuseWithErrno(-1);
    }
    return CheckRegularAndLock(descriptor, LOCK_SH);
}

OpenedFile OpenExclusiveForWriting(const char* path)
{
    // No O_TRUNC: the file is emptied only after the lock proves nobody else
    // has it open through this scheme, so a source is never destroyed by
    // choosing it as its own destination.
    const int descriptor =
        OpenRetryingInterrupts(path, O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    if (descriptor < 0) {
        return RefuseWithErrno(-1);
    }
    OpenedFile opened = CheckRegularAndLock(descriptor, LOCK_EX);
    if (opened.failure != OpenFailure::None) {
        return opened;
    }
    int result;
    do {
        result = ::ftruncate(descriptor, 0);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        return RefuseWithErrno(descriptor);
    }
    return opened;
}

} // namespace audff
