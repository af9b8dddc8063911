// Every system call of the platform layer goes through here. Each wrapper
// retries EINTR (except close, which must not be retried on Linux: the
// descriptor is gone whatever it returns) and returns like the call itself.
//
// Tests can arm faults: the Nth call of a kind from now on fails with a
// chosen errno, or (reads and writes) moves fewer bytes than asked, or
// waits until the test lets it go on.
#pragma once

#include <dirent.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <chrono>
#include <cstddef>

namespace platform {
namespace sys {

enum class Call {
    Open,
    Close,
    Pread,
    Pwrite,
    Lseek,
    Fstat,
    Stat,
    Ftruncate,
    Rename,
    Unlink,
    Mkdir,
    Opendir,
    Readdir,
    ThreadCreate,
    Socket,
    NewHandle,  // not a system call: the allocation of a handle-table slot
    Count
};

int open(const char* path, int flags, mode_t mode = 0);
int close(int fd);
ssize_t pread(int fd, void* buf, size_t count, off_t offset);
ssize_t pwrite(int fd, const void* buf, size_t count, off_t offset);
off_t lseek(int fd, off_t offset, int whence);
int fstat(int fd, struct stat* st);
int stat(const char* path, struct stat* st);
int lstat(const char* path, struct stat* st);
int ftruncate(int fd, off_t length);
int rename(const char* from, const char* to);
int unlink(const char* path);
int mkdir(const char* path, mode_t mode);
DIR* opendir(const char* path);
// Returns the next entry, or null with errno 0 at the end, or null with
// errno set on failure.
struct dirent* readdir(DIR* dir);
int closedir(DIR* dir);
int pthread_create(pthread_t* thread, void* (*start)(void*), void* arg);
int socket(int domain, int type, int protocol);

// Returns 0, or the errno that an armed fault gives this call of kind.
int CheckFault(Call kind);

}  // namespace sys

namespace faults {

// The nth call of kind (1 = the next one) fails with err.
void FailNth(sys::Call kind, unsigned nth, int err);
// The nth read or write of kind moves at most bytes bytes (0: none).
void ShortNth(sys::Call kind, unsigned nth, size_t bytes);
// The nth call of kind waits until ReleaseHeld, then runs as usual.
void HoldNth(sys::Call kind, unsigned nth);
// Whether a call is held now, or becomes held within patience.
bool WaitUntilHeld(std::chrono::milliseconds patience);
void ReleaseHeld();
// Disarms every fault, releases a held call and restarts the counts.
void Clear();

}  // namespace faults
}  // namespace platform
