#include "platform/linux/syscalls.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace platform {
namespace {

struct Fault {
    sys::Call kind;
    unsigned nth;     // counted from when the fault was armed
    int err;          // 0: a short transfer instead of a failure
    size_t maxBytes;  // for short transfers
    bool hold;        // instead: the call waits until released, then runs
};

// Where a held call waits.
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool holding = false;
    bool released = false;
};

Gate& TheGate()
{
    static Gate gate;
    return gate;
}

void WaitAtGate()
{
    Gate& gate = TheGate();
    std::unique_lock<std::mutex> lock(gate.mutex);
    gate.holding = true;
    gate.released = false;
    gate.changed.notify_all();
    gate.changed.wait(lock, [&gate] { return gate.released; });
    gate.holding = false;
}

struct FaultTable {
    std::mutex mutex;
    std::vector<Fault> pending;
    unsigned calls[static_cast<int>(sys::Call::Count)] = {};
};

// Nothing armed is the common case: one relaxed load per call.
std::atomic<bool> g_armed{false};

FaultTable& Faults()
{
    static FaultTable table;
    return table;
}

// Counts this call of kind and finds the fault armed for it, if any.
bool FindFault(sys::Call kind, Fault* taken)
{
    FaultTable& table = Faults();
    std::lock_guard<std::mutex> lock(table.mutex);
    unsigned call = ++table.calls[static_cast<int>(kind)];
    for (auto it = table.pending.begin(); it != table.pending.end(); ++it) {
        if (it->kind == kind && it->nth == call) {
            *taken = *it;
            table.pending.erase(it);
            return true;
        }
    }
    return false;
}

// Takes the fault armed for this call of kind, if any; a held call waits
// here and then goes on without a fault.
bool TakeFault(sys::Call kind, Fault* taken)
{
    if (!g_armed.load(std::memory_order_acquire) || !FindFault(kind, taken))
        return false;
    if (!taken->hold)
        return true;
    WaitAtGate();
    return false;
}

void Arm(const Fault& fault)
{
    FaultTable& table = Faults();
    std::lock_guard<std::mutex> lock(table.mutex);
    Fault armed = fault;
    armed.nth += table.calls[static_cast<int>(fault.kind)];
    table.pending.push_back(armed);
    g_armed.store(true, std::memory_order_release);
}

// Runs call until it ends with something other than EINTR, giving each try
// the chance to meet an armed fault.
template <typename Result, typename Fn>
Result Retry(sys::Call kind, Result failed, Fn call)
{
    for (;;) {
        Fault fault;
        if (TakeFault(kind, &fault) && fault.err != 0) {
            errno = fault.err;
            if (fault.err == EINTR)
                continue;
            return failed;
        }
        Result result = call();
        if (!(result == failed && errno == EINTR))
            return result;
    }
}

// Reads and writes can also be cut short by an armed fault.
template <typename Fn>
ssize_t Transfer(sys::Call kind, size_t count, Fn call)
{
    for (;;) {
        Fault fault;
        size_t allowed = count;
        if (TakeFault(kind, &fault)) {
            if (fault.err == EINTR)
                continue;
            if (fault.err != 0) {
                errno = fault.err;
                return -1;
            }
            allowed = std::min(count, fault.maxBytes);
            if (allowed == 0)
                return 0;
        }
        ssize_t result = call(allowed);
        if (!(result < 0 && errno == EINTR))
            return result;
    }
}

}  // namespace

namespace sys {

int open(const char* path, int flags, mode_t mode)
{
    return Retry(Call::Open, -1, [&] { return ::open(path, flags, mode); });
}

int close(int fd)
{
    Fault fault;
    if (TakeFault(Call::Close, &fault) && fault.err != 0) {
        ::close(fd);  // the descriptor is released whatever close reports
        errno = fault.err;
        return -1;
    }
    return ::close(fd);
}

ssize_t pread(int fd, void* buf, size_t count, off_t offset)
{
    return Transfer(Call::Pread, count, [&](size_t n) { return ::pread(fd, buf, n, offset); });
}

ssize_t pwrite(int fd, const void* buf, size_t count, off_t offset)
{
    return Transfer(Call::Pwrite, count, [&](size_t n) { return ::pwrite(fd, buf, n, offset); });
}

off_t lseek(int fd, off_t offset, int whence)
{
    return Retry(Call::Lseek, (off_t)-1, [&] { return ::lseek(fd, offset, whence); });
}

int fstat(int fd, struct stat* st)
{
    return Retry(Call::Fstat, -1, [&] { return ::fstat(fd, st); });
}

int stat(const char* path, struct stat* st)
{
    return Retry(Call::Stat, -1, [&] { return ::stat(path, st); });
}

int lstat(const char* path, struct stat* st)
{
    return Retry(Call::Stat, -1, [&] { return ::lstat(path, st); });
}

int ftruncate(int fd, off_t length)
{
    return Retry(Call::Ftruncate, -1, [&] { return ::ftruncate(fd, length); });
}

int rename(const char* from, const char* to)
{
    return Retry(Call::Rename, -1, [&] { return ::rename(from, to); });
}

int unlink(const char* path)
{
    return Retry(Call::Unlink, -1, [&] { return ::unlink(path); });
}

int mkdir(const char* path, mode_t mode)
{
    return Retry(Call::Mkdir, -1, [&] { return ::mkdir(path, mode); });
}

DIR* opendir(const char* path)
{
    return Retry(Call::Opendir, (DIR*)nullptr, [&] { return ::opendir(path); });
}

struct dirent* readdir(DIR* dir)
{
    return Retry(Call::Readdir, (struct dirent*)nullptr, [&] {
        errno = 0;
        return ::readdir(dir);
    });
}

int closedir(DIR* dir)
{
    return ::closedir(dir);
}

int pthread_create(pthread_t* thread, void* (*start)(void*), void* arg)
{
    int err = CheckFault(Call::ThreadCreate);
    if (err != 0)
        return err;
    return ::pthread_create(thread, nullptr, start, arg);
}

int socket(int domain, int type, int protocol)
{
    return Retry(Call::Socket, -1, [&] { return ::socket(domain, type, protocol); });
}

int CheckFault(Call kind)
{
    Fault fault;
    return TakeFault(kind, &fault) ? fault.err : 0;
}

}  // namespace sys

namespace faults {

void FailNth(sys::Call kind, unsigned nth, int err)
{
    Arm(Fault{kind, nth, err, 0, false});
}

void ShortNth(sys::Call kind, unsigned nth, size_t bytes)
{
    Arm(Fault{kind, nth, 0, bytes, false});
}

void HoldNth(sys::Call kind, unsigned nth)
{
    Arm(Fault{kind, nth, 0, 0, true});
}

bool WaitUntilHeld(std::chrono::milliseconds patience)
{
    Gate& gate = TheGate();
    std::unique_lock<std::mutex> lock(gate.mutex);
    return gate.changed.wait_for(lock, patience, [&gate] { return gate.holding; });
}

void ReleaseHeld()
{
    Gate& gate = TheGate();
    std::lock_guard<std::mutex> lock(gate.mutex);
    gate.released = true;
    gate.changed.notify_all();
}

void Clear()
{
    FaultTable& table = Faults();
    std::lock_guard<std::mutex> lock(table.mutex);
    table.pending.clear();
    std::fill(std::begin(table.calls), std::end(table.calls), 0u);
    g_armed.store(false, std::memory_order_release);
    ReleaseHeld();
}

}  // namespace faults
}  // namespace platform
