// sparse-bench: times corvane-cli against cp --sparse=always, rsync --sparse
// and reference-copy on sparse workloads it writes itself, verifies every
// copy, and reports PASS/FAIL for the performance targets.
// Run it through bench/run; `sparse-bench --help` lists the flags.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <linux/magic.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/utsname.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const uint64_t KiB = 1024;
const uint64_t MiB = 1024 * KiB;
const uint64_t GiB = 1024 * MiB;
const uint64_t kBlockSize = 4 * KiB;

const double kAllowedSlowdown = 1.10;
const double kAllowedScalingRatio = 1.5;
const uint64_t kPeakMemoryLimit = 16 * MiB;

const char kUsage[] =
    "usage: sparse-bench --cli PATH [--reference PATH] [--dir PATH] [--rounds N]\n"
    "                    [--quick] [--only NAME] [--keep] [--strict]\n"
    "  --cli PATH        the corvane-cli to measure (required)\n"
    "  --reference PATH  the reference copier (default: reference-copy beside this program)\n"
    "  --dir PATH        work folder, absent or empty, on a disk file system\n"
    "                    (default: a fresh folder under $TMPDIR, else /var/tmp)\n"
    "  --rounds N        timed rounds per command (default 5), after one warm-up run\n"
    "  --quick           tiny workloads for a smoke run\n"
    "  --only NAME       one workload: vm-images, fragmented, dense, hollow,\n"
    "                    small-files or hollow-scaling\n"
    "  --keep            keep the work folder\n"
    "  --strict          exit 3 when a target fails (a wrong copy always exits 1)\n";

// ---------------------------------------------------------------- errors

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A copy that is wrong or a command that failed: the run stops at once and
// keeps the work folder for inspection.
struct BenchmarkFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* pattern, ...) {
    char text[1024];
    va_list arguments;
    va_start(arguments, pattern);
    std::vsnprintf(text, sizeof text, pattern, arguments);
    va_end(arguments);
    return text;
}

[[noreturn]] void throwSystemError(const std::string& what, const std::string& path) {
    throw std::runtime_error(what + " " + path + ": " + std::strerror(errno));
}

// ---------------------------------------------------------------- formatting

std::string formatSize(uint64_t bytes) {
    if (bytes >= GiB && bytes % GiB == 0) return format("%" PRIu64 " GiB", bytes / GiB);
    if (bytes >= MiB && bytes % MiB == 0) return format("%" PRIu64 " MiB", bytes / MiB);
    if (bytes >= MiB) return format("%.1f MiB", double(bytes) / MiB);
    if (bytes >= KiB && bytes % KiB == 0) return format("%" PRIu64 " KiB", bytes / KiB);
    return format("%" PRIu64 " bytes", bytes);
}

std::string formatMemory(uint64_t bytes) { return format("%.1f MiB", double(bytes) / MiB); }

std::string formatSeconds(double seconds) {
    if (seconds >= 1.0) return format("%.3f s", seconds);
    return format("%.1f ms", seconds * 1000.0);
}

// ---------------------------------------------------------------- options

struct Options {
    std::string cli;
    std::string reference;
    std::string dir;
    std::string only;
    int rounds = 5;
    bool quick = false;
    bool keep = false;
    bool strict = false;
    bool help = false;
};

const std::vector<std::string> kWorkloadNames = {"vm-images", "fragmented",  "dense",
                                                 "hollow",    "small-files", "hollow-scaling"};

std::string directoryOfThisProgram() {
    std::error_code ignored;
    return fs::read_symlink("/proc/self/exe", ignored).parent_path().string();
}

bool isExecutable(const std::string& path) { return !path.empty() && access(path.c_str(), X_OK) == 0; }

bool isOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = std::min(folders.find(':', start), folders.size());
        std::string folder = folders.substr(start, end - start);
        if (isExecutable((folder.empty() ? "." : folder) + "/" + program)) return true;
        start = end + 1;
    }
    return false;
}

int parseRounds(const std::string& text) {
    char* end = nullptr;
    long rounds = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || rounds < 1 || rounds > 1000)
        throw UsageError("--rounds needs a whole number from 1 to 1000, not '" + text + "'");
    return int(rounds);
}

void requireValidOptions(Options& options) {
    if (options.help) return;
    if (options.cli.empty()) throw UsageError("--cli PATH is required");
    if (!isExecutable(options.cli)) throw UsageError("--cli " + options.cli + " is not an executable file");
    if (!options.only.empty() &&
        std::find(kWorkloadNames.begin(), kWorkloadNames.end(), options.only) == kWorkloadNames.end())
        throw UsageError("--only: no workload named '" + options.only + "'");
    if (options.reference.empty()) {
        std::string besideUs = directoryOfThisProgram() + "/reference-copy";
        if (isExecutable(besideUs)) options.reference = besideUs;
    } else if (!isExecutable(options.reference)) {
        throw UsageError("--reference " + options.reference + " is not an executable file");
    }
}

Options parseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string flag = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) throw UsageError(flag + " needs a value");
            return argv[++i];
        };
        if (flag == "--cli")
            options.cli = value();
        else if (flag == "--reference")
            options.reference = value();
        else if (flag == "--dir")
            options.dir = value();
        else if (flag == "--rounds")
            options.rounds = parseRounds(value());
        else if (flag == "--only")
            options.only = value();
        else if (flag == "--quick")
            options.quick = true;
        else if (flag == "--keep")
            options.keep = true;
        else if (flag == "--strict")
            options.strict = true;
        else if (flag == "--help" || flag == "-h")
            options.help = true;
        else
            throw UsageError("unknown argument '" + flag + "'");
    }
    requireValidOptions(options);
    return options;
}

// ---------------------------------------------------------------- files

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

FileDescriptor openOrThrow(const std::string& path, int flags, mode_t mode = 0666) {
    int fd = open(path.c_str(), flags | O_CLOEXEC, mode);
    if (fd < 0) throwSystemError("cannot open", path);
    return FileDescriptor(fd);
}

uint64_t sizeOf(const FileDescriptor& file, const std::string& path) {
    struct stat status;
    if (fstat(file.get(), &status) != 0) throwSystemError("cannot stat", path);
    return uint64_t(status.st_size);
}

struct Range {
    uint64_t offset;
    uint64_t length;
    uint64_t end() const { return offset + length; }
    bool operator==(const Range& other) const { return offset == other.offset && length == other.length; }
};

typedef std::vector<Range> RangeList;

uint64_t totalLength(const RangeList& ranges) {
    uint64_t total = 0;
    for (const Range& range : ranges) total += range.length;
    return total;
}

// The data ranges the file system reports, in file order.
RangeList dataRangesOf(const FileDescriptor& file, uint64_t size, const std::string& path) {
    RangeList ranges;
    off_t offset = 0;
    while (uint64_t(offset) < size) {
        off_t dataStart = lseek(file.get(), offset, SEEK_DATA);
        if (dataStart < 0 && errno == ENXIO) break;
        if (dataStart < 0) throwSystemError("SEEK_DATA failed on", path);
        off_t dataEnd = lseek(file.get(), dataStart, SEEK_HOLE);
        if (dataEnd < 0) throwSystemError("SEEK_HOLE failed on", path);
        ranges.push_back({uint64_t(dataStart), uint64_t(dataEnd - dataStart)});
        offset = dataEnd;
    }
    return ranges;
}

void readExactly(const FileDescriptor& file, char* buffer, size_t length, uint64_t offset, const std::string& path) {
    while (length > 0) {
        ssize_t got = pread(file.get(), buffer, length, off_t(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) throwSystemError("cannot read", path);
        if (got == 0) throw std::runtime_error("unexpected end of " + path);
        buffer += got;
        length -= size_t(got);
        offset += uint64_t(got);
    }
}

void writeExactly(const FileDescriptor& file, const char* buffer, size_t length, uint64_t offset,
                  const std::string& path) {
    while (length > 0) {
        ssize_t put = pwrite(file.get(), buffer, length, off_t(offset));
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) throwSystemError("cannot write", path);
        buffer += put;
        length -= size_t(put);
        offset += uint64_t(put);
    }
}

std::vector<std::string> sortedNamesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Flushes the work folder's file system, so that write-back of one run does
// not land in the timed part of the next.
void flushFileSystem(const std::string& folder) {
    FileDescriptor directory = openOrThrow(folder, O_RDONLY | O_DIRECTORY);
    if (syncfs(directory.get()) != 0) throwSystemError("cannot sync", folder);
}

// ---------------------------------------------------------------- workloads

// Deterministic pseudo-random numbers (splitmix64), so every run writes the
// same workloads.
class RandomStream {
public:
    explicit RandomStream(uint64_t seed) : state_(seed) {}
    uint64_t next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint64_t below(uint64_t bound) { return next() % bound; }

private:
    uint64_t state_;
};

struct Workload {
    Workload(std::string workloadName, std::string prefix, int files, uint64_t size)
        : name(std::move(workloadName)), filePrefix(std::move(prefix)), fileCount(files), apparentSize(size) {}

    std::string name;
    std::string filePrefix;
    int fileCount;
    uint64_t apparentSize;
    std::function<RangeList(int fileIndex)> dataRangesOfFile;
    std::string baseline = "cp";  // the command corvane-cli must keep up with
    bool rsyncReadsEveryHole = false;
};

// Full-size or quick: sizes and counts are divided alike, but never below
// one block or the given minimum count.
struct Scale {
    uint64_t divisor;
    uint64_t size(uint64_t fullSize) const {
        return std::max(fullSize / divisor / kBlockSize * kBlockSize, kBlockSize);
    }
    int count(int fullCount, int minimum) const { return std::max(int(fullCount / int(divisor)), minimum); }
};

// count extents of extentLength, one in each equal slot of span, at a
// block-aligned random place in the slot that leaves at least one extent's
// length of hole before the next slot, so that extents never merge.
RangeList spreadExtents(uint64_t span, int count, uint64_t extentLength, uint64_t seed) {
    uint64_t slot = span / uint64_t(count) / kBlockSize * kBlockSize;
    if (slot < 2 * extentLength) throw std::logic_error("extents do not fit in their span");
    uint64_t placesInSlot = (slot - 2 * extentLength) / kBlockSize + 1;
    RandomStream random(seed);
    RangeList extents;
    for (int i = 0; i < count; ++i)
        extents.push_back({uint64_t(i) * slot + random.below(placesInSlot) * kBlockSize, extentLength});
    return extents;
}

// Data everywhere except a hole at the end of each of 16 segments, 3/32 of
// the segment long: about 90 % data.
RangeList mostlyData(uint64_t size) {
    const int segments = 16;
    uint64_t segment = size / segments;
    uint64_t hole = std::max(segment * 3 / 32 / kBlockSize * kBlockSize, kBlockSize);
    RangeList ranges;
    for (int i = 0; i < segments; ++i) ranges.push_back({uint64_t(i) * segment, segment - hole});
    return ranges;
}

Workload vmImages(const Scale& scale) {
    uint64_t size = scale.size(4 * GiB);
    uint64_t extent = scale.size(1 * MiB);
    Workload workload("vm-images", "vm", 4, size);
    workload.dataRangesOfFile = [=](int file) { return spreadExtents(size, 64, extent, 100 + uint64_t(file)); };
    workload.rsyncReadsEveryHole = true;
    return workload;
}

Workload fragmentedFiles(const Scale& scale) {
    uint64_t size = scale.size(1 * GiB);
    int extents = scale.count(20000, 200);
    Workload workload("fragmented", "fragmented", 2, size);
    workload.dataRangesOfFile = [=](int file) {
        return spreadExtents(size, extents, kBlockSize, 200 + uint64_t(file));
    };
    return workload;
}

Workload denseFiles(const Scale& scale) {
    uint64_t size = scale.size(512 * MiB);
    Workload workload("dense", "dense", 2, size);
    workload.dataRangesOfFile = [=](int) { return mostlyData(size); };
    workload.baseline = "reference-copy";
    return workload;
}

Workload hollowFiles(const Scale& scale) {
    uint64_t size = scale.size(64 * GiB);
    Workload workload("hollow", "hollow", 8, size);
    workload.dataRangesOfFile = [=](int file) { return spreadExtents(size, 16, 64 * KiB, 300 + uint64_t(file)); };
    workload.rsyncReadsEveryHole = true;
    return workload;
}

Workload smallFiles(const Scale& scale) {
    const uint64_t size = 1 * MiB;
    Workload workload("small-files", "small", scale.count(2000, 20), size);
    workload.dataRangesOfFile = [=](int) { return RangeList{{0, kBlockSize}, {size / 2, kBlockSize}}; };
    return workload;
}

// One file with 1 MiB of data at the same places, once in a small and once in
// a huge apparent size. Only corvane-cli runs on it.
Workload scalingFile(const std::string& name, uint64_t size, const Scale& scale) {
    uint64_t span = scale.size(1 * GiB);
    Workload workload(name, "hollow", 1, size);
    workload.dataRangesOfFile = [=](int) { return spreadExtents(span, 16, 64 * KiB, 400); };
    return workload;
}

std::string describe(const Workload& workload) {
    RangeList ranges = workload.dataRangesOfFile(0);
    uint64_t data = totalLength(ranges);
    return format("%d file%s of %s apparent size, %zu data extent%s and %s of data each (%s in all)",
                  workload.fileCount, workload.fileCount == 1 ? "" : "s", formatSize(workload.apparentSize).c_str(),
                  ranges.size(), ranges.size() == 1 ? "" : "s", formatSize(data).c_str(),
                  formatSize(data * uint64_t(workload.fileCount)).c_str());
}

// ---------------------------------------------------------------- writing workloads

// Non-zero pseudo-random bytes: no copier can skip work by spotting zeros.
void fillWithNonZeroBytes(std::vector<uint64_t>& buffer, uint64_t bytes, RandomStream& random) {
    for (uint64_t i = 0; i < (bytes + 7) / 8; ++i) buffer[i] = random.next() | 0x0101010101010101ull;
}

void writeRandomData(const FileDescriptor& file, const Range& range, RandomStream& random,
                     std::vector<uint64_t>& buffer, const std::string& path) {
    uint64_t bufferBytes = buffer.size() * sizeof(uint64_t);
    for (uint64_t done = 0; done < range.length;) {
        uint64_t piece = std::min(bufferBytes, range.length - done);
        fillWithNonZeroBytes(buffer, piece, random);
        writeExactly(file, reinterpret_cast<const char*>(buffer.data()), piece, range.offset + done, path);
        done += piece;
    }
}

void requireHole(const FileDescriptor& file, uint64_t size, const std::string& path) {
    off_t firstHole = lseek(file.get(), 0, SEEK_HOLE);
    if (firstHole < 0 || uint64_t(firstHole) >= size)
        throw std::runtime_error(path + " has no hole: the work folder's file system does not keep holes");
}

void writeSparseFile(const std::string& path, uint64_t size, const RangeList& data, RandomStream& random,
                     std::vector<uint64_t>& buffer) {
    FileDescriptor file = openOrThrow(path, O_WRONLY | O_CREAT | O_TRUNC);
    if (ftruncate(file.get(), off_t(size)) != 0) throwSystemError("cannot size", path);
    for (const Range& range : data) writeRandomData(file, range, random, buffer, path);
    requireHole(file, size, path);
}

std::string fileName(const Workload& workload, int index) {
    return format("%s-%04d.img", workload.filePrefix.c_str(), index);
}

// Writes the workload's files into a fresh folder and returns that folder.
std::string writeWorkload(const Workload& workload, const std::string& parent) {
    std::string folder = parent + "/" + workload.name + "-source";
    fs::remove_all(folder);
    fs::create_directories(folder);
    std::vector<uint64_t> buffer(MiB / sizeof(uint64_t));
    for (int i = 0; i < workload.fileCount; ++i) {
        RandomStream random(1000 + uint64_t(i));
        writeSparseFile(folder + "/" + fileName(workload, i), workload.apparentSize, workload.dataRangesOfFile(i),
                        random, buffer);
    }
    flushFileSystem(folder);
    return folder;
}

// ---------------------------------------------------------------- the work folder

struct WorkFolder {
    std::string path;
    bool createdHere;
};

bool isInMemoryFileSystem(const std::string& path) {
    struct statfs info;
    if (statfs(path.c_str(), &info) != 0) throwSystemError("cannot examine", path);
    return info.f_type == TMPFS_MAGIC || info.f_type == RAMFS_MAGIC;
}

// The type of the file system holding path, from the longest mount point
// that contains it.
std::string fileSystemTypeOf(const std::string& path) {
    std::ifstream mounts("/proc/self/mounts");
    std::string device, mountPoint, type, rest, bestType = "unknown";
    size_t bestLength = 0;
    while (mounts >> device >> mountPoint >> type && std::getline(mounts, rest)) {
        bool contains = path.compare(0, mountPoint.size(), mountPoint) == 0 &&
                        (path.size() == mountPoint.size() || path[mountPoint.size()] == '/' || mountPoint == "/");
        if (contains && mountPoint.size() >= bestLength) {
            bestLength = mountPoint.size();
            bestType = type;
        }
    }
    return bestType;
}

std::string defaultParentFolder() {
    const char* tmpdir = std::getenv("TMPDIR");
    if (tmpdir && *tmpdir && fs::is_directory(tmpdir) && !isInMemoryFileSystem(tmpdir)) return tmpdir;
    return "/var/tmp";
}

WorkFolder freshFolderUnder(const std::string& parent) {
    std::string pattern = parent + "/corvane-bench.XXXXXX";
    if (!mkdtemp(pattern.data())) throwSystemError("cannot create a folder in", parent);
    return {pattern, true};
}

WorkFolder chosenFolder(const std::string& path) {
    if (fs::exists(path)) {
        if (!fs::is_directory(path) || !fs::is_empty(path))
            throw std::runtime_error("--dir " + path + " must be absent or an empty folder");
        return {fs::canonical(path).string(), false};
    }
    fs::create_directories(path);
    return {fs::canonical(path).string(), true};
}

WorkFolder prepareWorkFolder(const Options& options) {
    WorkFolder folder = options.dir.empty() ? freshFolderUnder(defaultParentFolder()) : chosenFolder(options.dir);
    if (isInMemoryFileSystem(folder.path)) {
        if (folder.createdHere) fs::remove_all(folder.path);
        throw std::runtime_error(folder.path + " is in memory (tmpfs); pass --dir on a disk file system");
    }
    return folder;
}

void requireFreeSpace(const std::string& folder, uint64_t needed) {
    struct statvfs info;
    if (statvfs(folder.c_str(), &info) != 0) throwSystemError("cannot examine", folder);
    uint64_t available = uint64_t(info.f_bavail) * info.f_frsize;
    if (available < needed)
        throw std::runtime_error(format("%s has %s free; the workloads need about %s", folder.c_str(),
                                        formatMemory(available).c_str(), formatMemory(needed).c_str()));
}

void cleanUp(const WorkFolder& folder) {
    std::error_code ignored;
    if (folder.createdHere) {
        fs::remove_all(folder.path, ignored);
        return;
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(folder.path, ignored))
        fs::remove_all(entry.path(), ignored);
}

// ---------------------------------------------------------------- running a command

struct Sample {
    double wallSeconds;
    double cpuSeconds;
    uint64_t peakMemoryBytes;
};

std::string tailOf(const std::string& path) {
    std::ifstream log(path);
    std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    const size_t keep = 2000;
    return text.size() > keep ? "..." + text.substr(text.size() - keep) : text;
}

std::string describeExit(int status) {
    if (WIFEXITED(status)) return format("exited with status %d", WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return format("was killed by signal %d", WTERMSIG(status));
    return "stopped";
}

// Runs in the forked child: output to the log, no input, then the command.
[[noreturn]] void becomeCommand(const std::vector<char*>& argv, int logFd, int nullFd) {
    dup2(nullFd, STDIN_FILENO);
    dup2(logFd, STDOUT_FILENO);
    dup2(logFd, STDERR_FILENO);
    execvp(argv[0], argv.data());
    dprintf(STDERR_FILENO, "cannot run %s: %s\n", argv[0], std::strerror(errno));
    _exit(127);
}

double secondsOf(const timeval& time) { return double(time.tv_sec) + double(time.tv_usec) / 1e6; }

// Runs argv to completion and measures it. The child is forked, so its peak
// RSS can never be below this driver's own resident size at the fork; the
// driver keeps that small (see the floor printed at the start).
Sample runMeasured(const std::vector<std::string>& argv, const std::string& logPath) {
    std::vector<char*> arguments;
    for (const std::string& argument : argv) arguments.push_back(const_cast<char*>(argument.c_str()));
    arguments.push_back(nullptr);
    FileDescriptor log = openOrThrow(logPath, O_WRONLY | O_CREAT | O_TRUNC);
    FileDescriptor devNull = openOrThrow("/dev/null", O_RDONLY);
    malloc_trim(0);

    auto start = std::chrono::steady_clock::now();
    pid_t child = fork();
    if (child < 0) throwSystemError("cannot fork for", argv[0]);
    if (child == 0) becomeCommand(arguments, log.get(), devNull.get());
    int status = 0;
    struct rusage usage;
    while (wait4(child, &status, 0, &usage) < 0)
        if (errno != EINTR) throwSystemError("cannot wait for", argv[0]);
    auto end = std::chrono::steady_clock::now();

    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw BenchmarkFailure(argv[0] + " " + describeExit(status) + "; its output:\n" + tailOf(logPath));
    return {std::chrono::duration<double>(end - start).count(), secondsOf(usage.ru_utime) + secondsOf(usage.ru_stime),
            uint64_t(usage.ru_maxrss) * KiB};
}

// ---------------------------------------------------------------- verifying a copy

// Ranges covering every byte that is data in either list.
RangeList unionOf(const RangeList& first, const RangeList& second) {
    RangeList all = first;
    all.insert(all.end(), second.begin(), second.end());
    std::sort(all.begin(), all.end(), [](const Range& a, const Range& b) { return a.offset < b.offset; });
    RangeList merged;
    for (const Range& range : all) {
        if (!merged.empty() && range.offset <= merged.back().end())
            merged.back().length = std::max(merged.back().end(), range.end()) - merged.back().offset;
        else
            merged.push_back(range);
    }
    return merged;
}

std::string describeHoleMapDifference(const RangeList& source, const RangeList& copy) {
    size_t i = 0;
    while (i < source.size() && i < copy.size() && source[i] == copy[i]) ++i;
    auto rangeText = [](const RangeList& ranges, size_t index) {
        if (index >= ranges.size()) return std::string("nothing");
        return format("data at %" PRIu64 "..%" PRIu64, ranges[index].offset, ranges[index].end());
    };
    return format("hole map differs: source has %zu data ranges (%" PRIu64 " bytes), copy %zu (%" PRIu64
                  " bytes); data range #%zu is %s in the source, %s in the copy",
                  source.size(), totalLength(source), copy.size(), totalLength(copy), i, rangeText(source, i).c_str(),
                  rangeText(copy, i).c_str());
}

struct OpenFile {
    std::string path;
    FileDescriptor file;
    uint64_t size;
    explicit OpenFile(const std::string& filePath)
        : path(filePath), file(openOrThrow(filePath, O_RDONLY)), size(sizeOf(file, filePath)) {}
    RangeList dataRanges() const { return dataRangesOf(file, size, path); }
};

// Room for one piece of each file, allocated once per verified copy.
struct ComparisonBuffers {
    static const size_t kPieceSize = 256 * KiB;
    std::vector<char> expected = std::vector<char>(kPieceSize);
    std::vector<char> actual = std::vector<char>(kPieceSize);
};

// Compares the bytes of both files over ranges; outside them both read zero.
void compareBytes(const OpenFile& source, const OpenFile& copy, const RangeList& ranges, ComparisonBuffers& buffers) {
    const size_t pieceSize = ComparisonBuffers::kPieceSize;
    std::vector<char>& expected = buffers.expected;
    std::vector<char>& actual = buffers.actual;
    for (const Range& range : ranges) {
        for (uint64_t offset = range.offset; offset < range.end(); offset += pieceSize) {
            size_t piece = size_t(std::min<uint64_t>(pieceSize, range.end() - offset));
            readExactly(source.file, expected.data(), piece, offset, source.path);
            readExactly(copy.file, actual.data(), piece, offset, copy.path);
            if (std::memcmp(expected.data(), actual.data(), piece) == 0) continue;
            size_t at = size_t(std::mismatch(expected.begin(), expected.begin() + long(piece), actual.begin()).first -
                               expected.begin());
            throw BenchmarkFailure(format("bytes differ at offset %" PRIu64, offset + at));
        }
    }
}

void verifyFile(const std::string& sourcePath, const std::string& copyPath, bool checkHoleMap,
                ComparisonBuffers& buffers) {
    OpenFile source(sourcePath), copy(copyPath);
    if (source.size != copy.size)
        throw BenchmarkFailure(format("size %" PRIu64 " instead of %" PRIu64, copy.size, source.size));
    RangeList sourceData = source.dataRanges(), copyData = copy.dataRanges();
    if (checkHoleMap && sourceData != copyData) throw BenchmarkFailure(describeHoleMapDifference(sourceData, copyData));
    compareBytes(source, copy, unionOf(sourceData, copyData), buffers);
}

// ---------------------------------------------------------------- contenders

struct Contender {
    std::string label;
    std::vector<std::string> argv;
    std::string sourceFolder;
    std::string destinationFolder;
    bool needsDestinationFolder;  // cp and rsync copy into an existing folder
    bool keepsHoleMap;            // rsync places holes by its own rules
};

void requireSameNames(const Contender& contender, const std::vector<std::string>& expected) {
    std::vector<std::string> actual = sortedNamesIn(contender.destinationFolder);
    if (actual == expected) return;
    for (const std::string& name : expected)
        if (!std::binary_search(actual.begin(), actual.end(), name)) throw BenchmarkFailure(name + " was not copied");
    throw BenchmarkFailure(format("the destination holds %zu entries instead of %zu", actual.size(), expected.size()));
}

void verifyCopy(const Contender& contender) {
    std::vector<std::string> names = sortedNamesIn(contender.sourceFolder);
    ComparisonBuffers buffers;
    std::string file;
    try {
        requireSameNames(contender, names);
        for (const std::string& name : names) {
            file = name;
            verifyFile(contender.sourceFolder + "/" + name, contender.destinationFolder + "/" + name,
                       contender.keepsHoleMap, buffers);
        }
    } catch (const std::exception& problem) {
        throw BenchmarkFailure("wrong copy by " + contender.label + (file.empty() ? "" : " of " + file) + " in " +
                               contender.destinationFolder + ": " + problem.what());
    }
}

void prepareDestination(const Contender& contender) {
    fs::remove_all(contender.destinationFolder);
    if (contender.needsDestinationFolder) fs::create_directory(contender.destinationFolder);
}

// One measured run: fresh destination, timed command, then (untimed) the
// check of every copied file and the removal of the copy.
Sample runAndVerify(const Contender& contender, const std::string& workFolder) {
    prepareDestination(contender);
    Sample sample = runMeasured(contender.argv, workFolder + "/command.log");
    verifyCopy(contender);
    fs::remove_all(contender.destinationFolder);
    flushFileSystem(workFolder);
    return sample;
}

struct Tools {
    std::string cli;
    std::string reference;
    bool haveRsync;
};

std::vector<std::string> pathsIn(const std::string& folder) {
    std::vector<std::string> paths;
    for (const std::string& name : sortedNamesIn(folder)) paths.push_back(folder + "/" + name);
    return paths;
}

// A program called as PROGRAM SOURCE DESTINATION that creates the
// destination folder itself and keeps the hole map.
Contender folderCopier(const std::string& label, const std::string& program, const std::string& source,
                       const std::string& destination) {
    return {label, {program, source, destination}, source, destination, false, true};
}

// A copy tool called with every source file and then DESTINATION/.
Contender copyToolContender(const std::string& label, std::vector<std::string> argv, const std::string& source,
                            const std::string& destination, bool keepsHoleMap) {
    for (const std::string& path : pathsIn(source)) argv.push_back(path);
    argv.push_back(destination + "/");
    return {label, argv, source, destination, true, keepsHoleMap};
}

std::vector<Contender> contendersFor(const Workload& workload, const Tools& tools, const std::string& source,
                                     const std::string& workFolder) {
    std::string destination = workFolder + "/" + workload.name + "-copy";
    std::vector<Contender> contenders;
    contenders.push_back(folderCopier("corvane-cli", tools.cli, source, destination));
    contenders.push_back(copyToolContender("cp", {"cp", "--sparse=always"}, source, destination, true));
    if (tools.haveRsync && !workload.rsyncReadsEveryHole)
        contenders.push_back(copyToolContender("rsync", {"rsync", "--sparse"}, source, destination, false));
    if (!tools.reference.empty())
        contenders.push_back(folderCopier("reference-copy", tools.reference, source, destination));
    return contenders;
}

// ---------------------------------------------------------------- timing and summaries

struct Summary {
    std::string label;
    double medianWall;
    double medianCpu;
    uint64_t maxPeakMemory;
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

Summary summarize(const std::string& label, const std::vector<Sample>& samples) {
    std::vector<double> walls, cpus;
    uint64_t peak = 0;
    for (const Sample& sample : samples) {
        walls.push_back(sample.wallSeconds);
        cpus.push_back(sample.cpuSeconds);
        peak = std::max(peak, sample.peakMemoryBytes);
    }
    return {label, median(walls), median(cpus), peak};
}

// One untimed warm-up run of each contender, then rounds of all contenders in
// turn (A B C A B C ...). Every run is verified; peak memory counts the
// warm-up too.
std::vector<Summary> timeContenders(const std::vector<Contender>& contenders, int rounds,
                                    const std::string& workFolder) {
    std::vector<std::vector<Sample>> timed(contenders.size());
    std::vector<uint64_t> warmUpPeak(contenders.size());
    for (size_t i = 0; i < contenders.size(); ++i)
        warmUpPeak[i] = runAndVerify(contenders[i], workFolder).peakMemoryBytes;
    for (int round = 0; round < rounds; ++round)
        for (size_t i = 0; i < contenders.size(); ++i) timed[i].push_back(runAndVerify(contenders[i], workFolder));
    std::vector<Summary> summaries;
    for (size_t i = 0; i < contenders.size(); ++i) {
        summaries.push_back(summarize(contenders[i].label, timed[i]));
        summaries.back().maxPeakMemory = std::max(summaries.back().maxPeakMemory, warmUpPeak[i]);
    }
    return summaries;
}

const Summary* summaryOf(const std::vector<Summary>& summaries, const std::string& label) {
    for (const Summary& summary : summaries)
        if (summary.label == label) return &summary;
    return nullptr;
}

std::string ratioText(const Summary& summary, const Summary* baseline) {
    return baseline ? format("%.2f", summary.medianWall / baseline->medianWall) : "-";
}

void printTable(const std::vector<Summary>& summaries) {
    const Summary* cp = summaryOf(summaries, "cp");
    const Summary* reference = summaryOf(summaries, "reference-copy");
    std::printf("  %-20s %12s %12s %14s %11s %18s\n", "command", "median wall", "median CPU", "max peak RSS",
                "wall / cp", "wall / reference");
    for (const Summary& summary : summaries)
        std::printf("  %-20s %12s %12s %14s %11s %18s\n", summary.label.c_str(),
                    formatSeconds(summary.medianWall).c_str(), formatSeconds(summary.medianCpu).c_str(),
                    formatMemory(summary.maxPeakMemory).c_str(), ratioText(summary, cp).c_str(),
                    ratioText(summary, reference).c_str());
}

// ---------------------------------------------------------------- targets

struct Verdict {
    std::string outcome;  // PASS, FAIL or SKIP
    std::string text;
};

Verdict judge(bool passed, const std::string& text) { return {passed ? "PASS" : "FAIL", text}; }

Verdict speedVerdict(const std::string& workload, const std::vector<Summary>& summaries, const std::string& baseline) {
    const Summary* engine = summaryOf(summaries, "corvane-cli");
    const Summary* other = summaryOf(summaries, baseline);
    std::string goal =
        format("corvane-cli wall <= %.2f x %s on %s", kAllowedSlowdown, baseline.c_str(), workload.c_str());
    if (!other) return {"SKIP", goal + " (no " + baseline + " to compare with)"};
    double ratio = engine->medianWall / other->medianWall;
    return judge(ratio <= kAllowedSlowdown,
                 goal + format(": %.3f (%s vs %s)", ratio, formatSeconds(engine->medianWall).c_str(),
                               formatSeconds(other->medianWall).c_str()));
}

Verdict memoryVerdict(const std::string& workload, uint64_t peak) {
    return judge(peak < kPeakMemoryLimit,
                 format("corvane-cli peak RSS < %s on %s: %s", formatSize(kPeakMemoryLimit).c_str(), workload.c_str(),
                        formatMemory(peak).c_str()));
}

void printVerdicts(const std::vector<Verdict>& verdicts) {
    for (const Verdict& verdict : verdicts) std::printf("  %s  %s\n", verdict.outcome.c_str(), verdict.text.c_str());
}

// ---------------------------------------------------------------- the benchmark

struct Plan {
    Options options;
    Tools tools;
    WorkFolder folder;
    Scale scale;
    std::vector<Verdict> verdicts;
};

bool isSelected(const Plan& plan, const std::string& name) {
    return plan.options.only.empty() || plan.options.only == name;
}

void removeUnlessKept(const Plan& plan, const std::string& folder) {
    if (!plan.options.keep) fs::remove_all(folder);
}

void announceWorkload(const Workload& workload, const std::vector<Contender>& contenders, const Plan& plan) {
    std::printf("\n== %s: %s\n", workload.name.c_str(), describe(workload).c_str());
    if (plan.tools.haveRsync && workload.rsyncReadsEveryHole)
        std::printf("   rsync left out: it reads every hole (%s apparent here) and would take minutes\n",
                    formatSize(workload.apparentSize * uint64_t(workload.fileCount)).c_str());
    std::printf("   %zu commands x (1 warm-up + %d rounds), every copy verified ...\n", contenders.size(),
                plan.options.rounds);
}

void benchmarkWorkload(const Workload& workload, Plan& plan) {
    std::string source = writeWorkload(workload, plan.folder.path);
    std::vector<Contender> contenders = contendersFor(workload, plan.tools, source, plan.folder.path);
    announceWorkload(workload, contenders, plan);
    std::vector<Summary> summaries = timeContenders(contenders, plan.options.rounds, plan.folder.path);
    printTable(summaries);
    std::vector<Verdict> verdicts = {speedVerdict(workload.name, summaries, workload.baseline),
                                     memoryVerdict(workload.name, summaryOf(summaries, "corvane-cli")->maxPeakMemory)};
    printVerdicts(verdicts);
    plan.verdicts.insert(plan.verdicts.end(), verdicts.begin(), verdicts.end());
    removeUnlessKept(plan, source);
}

Contender corvaneOn(const Workload& workload, const Plan& plan) {
    std::string source = writeWorkload(workload, plan.folder.path);
    std::string destination = plan.folder.path + "/" + workload.name + "-copy";
    return folderCopier("corvane-cli (" + formatSize(workload.apparentSize) + ")", plan.tools.cli, source, destination);
}

// corvane-cli on the same data in a huge and in a small apparent size: the
// time must not grow with the holes.
void benchmarkHollowScaling(Plan& plan) {
    Workload huge = scalingFile("hollow-scaling-huge", plan.scale.size(64 * GiB), plan.scale);
    Workload small = scalingFile("hollow-scaling-small", plan.scale.size(1 * GiB), plan.scale);
    std::vector<Contender> pair = {corvaneOn(huge, plan), corvaneOn(small, plan)};
    std::printf(
        "\n== hollow-scaling: corvane-cli on one file, %s vs %s apparent, same %s of data at the same offsets\n",
        formatSize(huge.apparentSize).c_str(), formatSize(small.apparentSize).c_str(),
        formatSize(totalLength(huge.dataRangesOfFile(0))).c_str());
    std::printf("   2 commands x (1 warm-up + %d rounds), every copy verified ...\n", plan.options.rounds);
    std::vector<Summary> summaries = timeContenders(pair, plan.options.rounds, plan.folder.path);
    printTable(summaries);
    double ratio = summaries[0].medianWall / summaries[1].medianWall;
    std::vector<Verdict> verdicts = {
        judge(ratio <= kAllowedScalingRatio,
              format("corvane-cli time independent of apparent size: %s / %s = %.3f (limit %.2f)",
                     formatSize(huge.apparentSize).c_str(), formatSize(small.apparentSize).c_str(), ratio,
                     kAllowedScalingRatio)),
        memoryVerdict("hollow-scaling", std::max(summaries[0].maxPeakMemory, summaries[1].maxPeakMemory))};
    printVerdicts(verdicts);
    plan.verdicts.insert(plan.verdicts.end(), verdicts.begin(), verdicts.end());
    removeUnlessKept(plan, pair[0].sourceFolder);
    removeUnlessKept(plan, pair[1].sourceFolder);
}

std::vector<Workload> allWorkloads(const Scale& scale) {
    return {vmImages(scale), fragmentedFiles(scale), denseFiles(scale), hollowFiles(scale), smallFiles(scale)};
}

// Data bytes of all selected workloads, twice (source and one copy), plus
// room for metadata.
uint64_t spaceNeeded(const Plan& plan) {
    uint64_t data = 2 * MiB;  // the hollow-scaling files
    for (const Workload& workload : allWorkloads(plan.scale))
        if (isSelected(plan, workload.name))
            data += totalLength(workload.dataRangesOfFile(0)) * uint64_t(workload.fileCount);
    return 2 * data + 256 * MiB;
}

// The peak RSS a forked child reports when it does nothing: what this driver
// adds to every command's number.
uint64_t peakMemoryFloor(const Plan& plan) {
    return runMeasured({"true"}, plan.folder.path + "/command.log").peakMemoryBytes;
}

void printSetting(const Plan& plan) {
    struct utsname system;
    uname(&system);
    std::printf("sparse-bench%s: %d timed round%s per command, warm page cache\n", plan.options.quick ? " --quick" : "",
                plan.options.rounds, plan.options.rounds == 1 ? "" : "s");
    std::printf("work folder:   %s (%s)\n", plan.folder.path.c_str(), fileSystemTypeOf(plan.folder.path).c_str());
    std::printf("machine:       %s %s, %ld cores\n", system.sysname, system.release, sysconf(_SC_NPROCESSORS_ONLN));
    std::printf("corvane-cli:   %s\n", plan.tools.cli.c_str());
    std::printf("reference:     %s\n", plan.tools.reference.empty()
                                           ? "(none found; its column and the dense target are skipped)"
                                           : plan.tools.reference.c_str());
    std::printf("rsync:         %s\n", plan.tools.haveRsync ? "rsync --sparse" : "not installed, left out");
    std::printf("peak RSS floor (`true` forked by this driver): %s\n", formatMemory(peakMemoryFloor(plan)).c_str());
}

int printSummary(const Plan& plan) {
    int failures = 0;
    std::printf("\n== targets\n");
    if (plan.options.quick)
        std::printf("   (--quick: process start-up dominates these times, so the speed targets say little)\n");
    for (const Verdict& verdict : plan.verdicts) failures += verdict.outcome == "FAIL";
    printVerdicts(plan.verdicts);
    std::printf("\nall copies verified; %d target%s failed\n", failures, failures == 1 ? "" : "s");
    return failures > 0 && plan.options.strict ? 3 : 0;
}

int runBenchmark(Plan& plan) {
    requireFreeSpace(plan.folder.path, spaceNeeded(plan));
    printSetting(plan);
    for (const Workload& workload : allWorkloads(plan.scale))
        if (isSelected(plan, workload.name)) benchmarkWorkload(workload, plan);
    if (isSelected(plan, "hollow-scaling")) benchmarkHollowScaling(plan);
    return printSummary(plan);
}

Tools findTools(const Options& options) {
    return {fs::absolute(options.cli).string(),
            options.reference.empty() ? "" : fs::absolute(options.reference).string(), isOnPath("rsync")};
}

}  // namespace

int main(int argc, char** argv) {
    setvbuf(stdout, nullptr, _IOLBF, 0);
    Options options;
    try {
        options = parseOptions(argc, argv);
    } catch (const UsageError& error) {
        std::fprintf(stderr, "sparse-bench: %s\n%s", error.what(), kUsage);
        return 2;
    }
    if (options.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    std::optional<Plan> plan;
    try {
        plan = Plan{options, findTools(options), prepareWorkFolder(options), Scale{options.quick ? 64u : 1u}, {}};
        int status = runBenchmark(*plan);
        if (!options.keep)
            cleanUp(plan->folder);
        else
            std::printf("work folder kept: %s\n", plan->folder.path.c_str());
        return status;
    } catch (const BenchmarkFailure& failure) {
        std::fprintf(stderr, "\nFAIL: %s\n", failure.what());
        if (plan) std::fprintf(stderr, "work folder kept for inspection: %s\n", plan->folder.path.c_str());
        return 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "sparse-bench: %s\n", error.what());
        if (plan && !options.keep) cleanUp(plan->folder);
        return 1;
    }
}
