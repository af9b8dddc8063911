// Files through the Windows calls: opening and its errors, replacing a name,
// the file pointer, sizes, the sparse attribute and allocated ranges, wrong
// handles and system-call faults.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/linux/syscalls.h"
#include "platform/winapi.h"
#include "tests/support/sparse_files.h"
#include "tests/support/scoped_handle.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wide.h"

namespace {

using test::ContentOf;
using test::ScopedHandle;

using platform::sys::Call;
namespace faults = platform::faults;

const DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;
const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE;
const DWORD kNotAnError = 0xDEADBEEF;  // set before a call that must set the last error itself

HANDLE Open(const std::string& path, DWORD access, DWORD disposition, DWORD share = kShareAll)
{
    return CreateFileW(test::W(path).c_str(), access, share, NULL, disposition, 0, NULL);
}

std::vector<std::string> TemporariesIn(const std::string& folder)
{
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::string name = entry.path().filename().string();
        if (name.rfind(".corvane-", 0) == 0)
            found.push_back(name);
    }
    return found;
}

LONGLONG PositionOf(HANDLE file)
{
    LARGE_INTEGER zero, position;
    zero.QuadPart = 0;
    position.QuadPart = -1;
    EXPECT_TRUE(SetFilePointerEx(file, zero, &position, FILE_CURRENT));
    return position.QuadPart;
}

// ---------------------------------------------------------------------------
// Opening: which error a failing open gives.

struct OpenErrorCase {
    const char* what;
    const char* relative;
    DWORD access;
    DWORD disposition;
    DWORD error;
};

TEST(CreateFileW, FailingOpensSayWhy)
{
    test::TempDir dir;
    test::WriteDenseFile(dir / "file.txt", "x");
    test::MakeFolder(dir / "folder");
    const OpenErrorCase cases[] = {
        {"missing file", "missing.txt", GENERIC_READ, OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
        {"missing folder", "nowhere/missing.txt", GENERIC_READ, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {"create in a missing folder", "nowhere/new.txt", GENERIC_WRITE, CREATE_ALWAYS, ERROR_PATH_NOT_FOUND},
        {"a file used as a folder", "file.txt\\inner", GENERIC_READ, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {"a folder for reading", "folder", GENERIC_READ, OPEN_EXISTING, ERROR_ACCESS_DENIED},
        {"a folder for writing", "folder", GENERIC_WRITE, OPEN_EXISTING, ERROR_ACCESS_DENIED},
        {"a folder replaced", "folder", GENERIC_WRITE, CREATE_ALWAYS, ERROR_ACCESS_DENIED},
    };
    for (const OpenErrorCase& c : cases) {
        SCOPED_TRACE(c.what);
        SetLastError(kNotAnError);
        ScopedHandle file(Open(dir / c.relative, c.access, c.disposition));
        EXPECT_EQ(file.get(), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_TRUE(std::filesystem::is_directory(dir / "folder"));
    EXPECT_TRUE(TemporariesIn(dir.path()).empty());
}

TEST(CreateFileW, ANamedPipeFailsAtOnceInsteadOfBlocking)
{
    test::TempDir dir;
    std::string pipe = dir / "pipe";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0) << strerror(errno);
    for (DWORD access : {GENERIC_READ, GENERIC_WRITE, kReadWrite}) {
        SCOPED_TRACE(access);
        auto opening = std::async(std::launch::async, [&] {
            HANDLE file = Open(pipe, access, OPEN_EXISTING);
            return std::make_pair(file, GetLastError());
        });
        if (opening.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
            int unblock = open(pipe.c_str(), O_RDWR);  // never blocks; frees the stuck open
            opening.wait();
            close(unblock);
            FAIL() << "opening a named pipe blocked";
        }
        auto [file, error] = opening.get();
        EXPECT_EQ(file, INVALID_HANDLE_VALUE);
        EXPECT_NE(error, (DWORD)NO_ERROR);
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
    }
}

TEST(CreateFileW, RefusesWhatItDoesNotSupport)
{
    test::TempDir dir;
    test::WriteDenseFile(dir / "file.txt", "x");
    const std::string path = dir / "file.txt";
    std::function<HANDLE()> calls[] = {
        [&] { return Open(path, GENERIC_READ, OPEN_ALWAYS); },
        [&] { return Open(path, 0x10000000 /* GENERIC_ALL */, OPEN_EXISTING); },
        [&] { return CreateFileW(test::W(path).c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING,
                                 0x40000000 /* FILE_FLAG_OVERLAPPED */, NULL); },
    };
    for (auto& call : calls) {
        ScopedHandle file(call());
        EXPECT_EQ(file.get(), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    }
}

// ---------------------------------------------------------------------------
// CREATE_ALWAYS replaces the directory entry, never the file behind it.

class CreateAlways : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::MakeFolder(work);
        test::MakeFolder(outside);
    }
    void TearDown() override { EXPECT_TRUE(TemporariesIn(work).empty()); }

    // Replaces path and checks that a new, empty, regular file stands there.
    void ExpectReplacedByEmptyFile(const std::string& path)
    {
        SetLastError(kNotAnError);
        ScopedHandle file(Open(path, kReadWrite, CREATE_ALWAYS));
        ASSERT_TRUE(file.valid()) << "error " << GetLastError();
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
        struct stat st;
        ASSERT_EQ(lstat(path.c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode));
        EXPECT_EQ(st.st_size, 0);
        EXPECT_EQ(st.st_nlink, 1u);
    }

    test::TempDir dir;
    const std::string work = dir / "work";
    const std::string outside = dir / "outside";
};

TEST_F(CreateAlways, ANewNameIsCreatedWithNoError)
{
    SetLastError(kNotAnError);
    ScopedHandle file(Open(work + "/new.bin", kReadWrite, CREATE_ALWAYS));
    ASSERT_TRUE(file.valid()) << "error " << GetLastError();
    EXPECT_EQ(GetLastError(), (DWORD)NO_ERROR);
    EXPECT_EQ(test::SizeOf(work + "/new.bin"), 0);
}

TEST_F(CreateAlways, AnExistingFileIsReplacedByAnEmptyOne)
{
    test::WriteDenseFile(work + "/old.bin", "old bytes");
    ExpectReplacedByEmptyFile(work + "/old.bin");
}

TEST_F(CreateAlways, AHardLinkOfTheOldFileKeepsItsBytes)
{
    test::WriteDenseFile(work + "/old.bin", "shared by two names");
    ASSERT_EQ(link((work + "/old.bin").c_str(), (outside + "/link.bin").c_str()), 0) << strerror(errno);
    ExpectReplacedByEmptyFile(work + "/old.bin");
    EXPECT_EQ(ContentOf(outside + "/link.bin"), "shared by two names");
}

TEST_F(CreateAlways, ASymbolicLinksTargetKeepsItsBytes)
{
    test::WriteDenseFile(outside + "/target.bin", "must stay outside");
    ASSERT_EQ(symlink((outside + "/target.bin").c_str(), (work + "/link.bin").c_str()), 0) << strerror(errno);
    ExpectReplacedByEmptyFile(work + "/link.bin");
    EXPECT_EQ(ContentOf(outside + "/target.bin"), "must stay outside");
}

TEST_F(CreateAlways, ADanglingSymbolicLinkIsReplaced)
{
    ASSERT_EQ(symlink((outside + "/absent.bin").c_str(), (work + "/link.bin").c_str()), 0) << strerror(errno);
    ExpectReplacedByEmptyFile(work + "/link.bin");
    EXPECT_FALSE(std::filesystem::exists(outside + "/absent.bin"));
}

TEST_F(CreateAlways, WhatIsWrittenLandsInTheNewFile)
{
    test::WriteDenseFile(work + "/old.bin", "old");
    ScopedHandle file(Open(work + "/old.bin", kReadWrite, CREATE_ALWAYS));
    ASSERT_TRUE(file.valid());
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file.get(), "new content", 11, &written, NULL));
    EXPECT_EQ(written, 11u);
    EXPECT_EQ(ContentOf(work + "/old.bin"), "new content");
}

// ---------------------------------------------------------------------------
// Reading, writing and the file pointer.

class OpenFile : public ::testing::Test {
protected:
    void Reopen(DWORD access, DWORD disposition = OPEN_EXISTING)
    {
        file = std::make_unique<ScopedHandle>(Open(path, access, disposition));
        ASSERT_TRUE(file->valid()) << "error " << GetLastError();
    }
    HANDLE handle() const { return file->get(); }

    test::TempDir dir;
    const std::string path = dir / "file.bin";
    std::unique_ptr<ScopedHandle> file;
};

TEST_F(OpenFile, WritesAndReadsBackAtTheFilePointer)
{
    Reopen(kReadWrite, CREATE_ALWAYS);
    DWORD count = 0;
    ASSERT_TRUE(WriteFile(handle(), "hello world", 11, &count, NULL));
    EXPECT_EQ(count, 11u);
    EXPECT_EQ(PositionOf(handle()), 11);

    ASSERT_EQ(SetFilePointer(handle(), 6, NULL, FILE_BEGIN), 6u);
    char buffer[32] = {};
    ASSERT_TRUE(ReadFile(handle(), buffer, sizeof buffer, &count, NULL));
    EXPECT_EQ(std::string(buffer, count), "world");

    ASSERT_TRUE(ReadFile(handle(), buffer, sizeof buffer, &count, NULL));
    EXPECT_EQ(count, 0u) << "reading at the end succeeds with nothing";

    LARGE_INTEGER size;
    ASSERT_TRUE(GetFileSizeEx(handle(), &size));
    EXPECT_EQ(size.QuadPart, 11);
}

TEST_F(OpenFile, AccessNotAskedForIsDenied)
{
    test::WriteDenseFile(path, "content");
    char buffer[8];
    DWORD count = 0;
    Reopen(GENERIC_READ);
    EXPECT_FALSE(WriteFile(handle(), "x", 1, &count, NULL));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_FALSE(SetEndOfFile(handle()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    Reopen(GENERIC_WRITE);
    EXPECT_FALSE(ReadFile(handle(), buffer, sizeof buffer, &count, NULL));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_EQ(ContentOf(path), "content");
}

struct PointerCase {
    const char* what;
    LONG low;
    bool withHigh;
    LONG high;
    DWORD method;
    DWORD result;
    LONG highAfter;
    DWORD error;
    LONGLONG positionAfter;
};

// Starts from a 100-byte file with the pointer at 10.
TEST_F(OpenFile, SetFilePointerReportsPositionsAndFailures)
{
    test::WriteDenseFile(path, std::string(100, 'x'));
    const PointerCase cases[] = {
        {"forward from the current position", 5, false, 0, FILE_CURRENT, 15, 0, NO_ERROR, 15},
        {"backward from the current position", -4, false, 0, FILE_CURRENT, 6, 0, NO_ERROR, 6},
        {"back from the end", -1, false, 0, FILE_END, 99, 0, NO_ERROR, 99},
        {"past the end", 50, false, 0, FILE_END, 150, 0, NO_ERROR, 150},
        {"beyond 4 GiB", 0x10, true, 1, FILE_BEGIN, 0x10, 1, NO_ERROR, 0x100000010},
        {"beyond 4 GiB from the current position", 0, true, 1, FILE_CURRENT, 10, 1, NO_ERROR, 0x10000000A},
        {"low part 0xFFFFFFFF is no failure", -1, true, 1, FILE_BEGIN, INVALID_SET_FILE_POINTER, 1, NO_ERROR,
         0x1FFFFFFFF},
        {"before the start", -11, false, 0, FILE_CURRENT, INVALID_SET_FILE_POINTER, 0, ERROR_NEGATIVE_SEEK, 10},
        {"negative through the high part", 0, true, -1, FILE_BEGIN, INVALID_SET_FILE_POINTER, -1,
         ERROR_NEGATIVE_SEEK, 10},
        {"unknown method", 0, false, 0, 7, INVALID_SET_FILE_POINTER, 0, ERROR_INVALID_PARAMETER, 10},
    };
    for (const PointerCase& c : cases) {
        SCOPED_TRACE(c.what);
        Reopen(GENERIC_READ);
        ASSERT_EQ(SetFilePointer(handle(), 10, NULL, FILE_BEGIN), 10u);
        LONG high = c.high;
        SetLastError(kNotAnError);
        EXPECT_EQ(SetFilePointer(handle(), c.low, c.withHigh ? &high : NULL, c.method), c.result);
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(high, c.highAfter);
        EXPECT_EQ(PositionOf(handle()), c.positionAfter);
    }
}

TEST_F(OpenFile, SetFilePointerExRefusesANegativeTarget)
{
    test::WriteDenseFile(path, "0123456789");
    Reopen(GENERIC_READ);
    LARGE_INTEGER distance, position;
    distance.QuadPart = -11;
    position.QuadPart = 12345;
    EXPECT_FALSE(SetFilePointerEx(handle(), distance, &position, FILE_END));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NEGATIVE_SEEK);
    EXPECT_EQ(PositionOf(handle()), 0);
    distance.QuadPart = -10;
    EXPECT_TRUE(SetFilePointerEx(handle(), distance, &position, FILE_END));
    EXPECT_EQ(position.QuadPart, 0);
}

TEST_F(OpenFile, WritesBeyond4GiBAtTheHighPart)
{
    SKIP_WITHOUT_HOLES(dir.path());
    Reopen(kReadWrite, CREATE_ALWAYS);
    LONG high = 1;
    ASSERT_EQ(SetFilePointer(handle(), 0x10, &high, FILE_BEGIN), 0x10u);
    DWORD count = 0;
    ASSERT_TRUE(WriteFile(handle(), "far", 3, &count, NULL));

    LARGE_INTEGER size;
    ASSERT_TRUE(GetFileSizeEx(handle(), &size));
    EXPECT_EQ(size.QuadPart, 0x100000013);
    BY_HANDLE_FILE_INFORMATION info;
    ASSERT_TRUE(GetFileInformationByHandle(handle(), &info));
    EXPECT_EQ(info.nFileSizeHigh, 1u);
    EXPECT_EQ(info.nFileSizeLow, 0x13u);

    char buffer[3];
    int fd = open(path.c_str(), O_RDONLY);
    ASSERT_EQ(pread(fd, buffer, 3, 0x100000010), 3);
    close(fd);
    EXPECT_EQ(std::string(buffer, 3), "far");
}

TEST_F(OpenFile, SetEndOfFileAfterSetSparseExtendsWithAHole)
{
    SKIP_WITHOUT_HOLES(dir.path());
    Reopen(kReadWrite, CREATE_ALWAYS);
    DWORD returned = 1;
    ASSERT_TRUE(DeviceIoControl(handle(), FSCTL_SET_SPARSE, NULL, 0, NULL, 0, &returned, NULL));
    EXPECT_EQ(returned, 0u);
    LARGE_INTEGER end;
    end.QuadPart = 8 << 20;
    ASSERT_TRUE(SetFilePointerEx(handle(), end, NULL, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(handle()));

    EXPECT_EQ(test::SizeOf(path), 8 << 20);
    EXPECT_TRUE(test::DataRangesOf(path).empty());
}

TEST_F(OpenFile, SetEndOfFileShrinksToThePointer)
{
    test::WriteDenseFile(path, "0123456789");
    Reopen(GENERIC_WRITE);
    ASSERT_EQ(SetFilePointer(handle(), 4, NULL, FILE_BEGIN), 4u);
    ASSERT_TRUE(SetEndOfFile(handle()));
    EXPECT_EQ(ContentOf(path), "0123");
}

TEST_F(OpenFile, FileInformationDescribesTheFile)
{
    test::WriteDenseFile(path, "12345");
    ASSERT_EQ(link(path.c_str(), (dir / "second name").c_str()), 0);
    Reopen(GENERIC_READ);
    BY_HANDLE_FILE_INFORMATION info;
    ASSERT_TRUE(GetFileInformationByHandle(handle(), &info));
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_EQ(info.nFileSizeHigh, 0u);
    EXPECT_EQ(info.nFileSizeLow, 5u);
    EXPECT_EQ(info.nNumberOfLinks, 2u);
    EXPECT_EQ(info.nFileIndexLow, (DWORD)st.st_ino);
    EXPECT_EQ(info.nFileIndexHigh, (DWORD)((uint64_t)st.st_ino >> 32));
}

// ---------------------------------------------------------------------------
// The sparse attribute: present exactly when a regular file has a hole.

struct SparseAttributeCase {
    const char* what;
    std::function<void(const std::string&)> make;
    bool sparse;
};

TEST(FileAttributeSparse, PresentExactlyWhenAHoleLiesBeforeTheEnd)
{
    test::TempDir dir;
    SKIP_WITHOUT_HOLES(dir.path());
    const SparseAttributeCase cases[] = {
        {"empty file", [](const std::string& p) { test::WriteDenseFile(p, ""); }, false},
        {"dense file", [](const std::string& p) { test::WriteDenseFile(p, std::string(100000, 'd')); }, false},
        {"hole at the start", [](const std::string& p) { test::WriteSparseFile(p, 1 << 20, {{512 << 10, 512 << 10}}); },
         true},
        {"hole in the middle",
         [](const std::string& p) { test::WriteSparseFile(p, 1 << 20, {{0, 64 << 10}, {960 << 10, 64 << 10}}); },
         true},
        {"hole at the end after growing",
         [](const std::string& p) {
             test::WriteDenseFile(p, std::string(64 << 10, 'd'));
             ASSERT_EQ(truncate(p.c_str(), 1 << 20), 0);
         },
         true},
        {"only a hole", [](const std::string& p) { test::WriteSparseFile(p, 1 << 20, {}); }, true},
    };
    for (const SparseAttributeCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::string path = dir / c.what;
        c.make(path);
        ScopedHandle file(Open(path, GENERIC_READ, OPEN_EXISTING));
        ASSERT_TRUE(file.valid());
        BY_HANDLE_FILE_INFORMATION info;
        ASSERT_TRUE(GetFileInformationByHandle(file.get(), &info));
        EXPECT_EQ((info.dwFileAttributes & FILE_ATTRIBUTE_SPARSE_FILE) != 0, c.sparse);
    }
}

// ---------------------------------------------------------------------------
// FSCTL_QUERY_ALLOCATED_RANGES over a file with three data ranges.

using test::KiB;

FILE_ALLOCATED_RANGE_BUFFER Range(LONGLONG offset, LONGLONG length)
{
    FILE_ALLOCATED_RANGE_BUFFER range;
    range.FileOffset.QuadPart = offset;
    range.Length.QuadPart = length;
    return range;
}

// A range record in a form that compares and prints.
struct Extent {
    LONGLONG offset;
    LONGLONG length;
    bool operator==(const Extent& other) const { return offset == other.offset && length == other.length; }
};

std::ostream& operator<<(std::ostream& out, const Extent& extent)
{
    return out << "{" << extent.offset << ", " << extent.length << "}";
}

Extent ExtentOf(const FILE_ALLOCATED_RANGE_BUFFER& range)
{
    return Extent{range.FileOffset.QuadPart, range.Length.QuadPart};
}

class AllocatedRanges : public ::testing::Test {
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_HOLES(dir.path());
        test::WriteSparseFile(path, 1024 * KiB, {{64 * KiB, 8 * KiB}, {256 * KiB, 4 * KiB}, {512 * KiB, 16 * KiB}});
        ASSERT_EQ(test::DataRangesOf(path).size(), 3u) << "the file system merged or moved the data ranges";
    }

    // Queries window into an output with room for room records.
    BOOL Query(HANDLE file, FILE_ALLOCATED_RANGE_BUFFER window, DWORD room)
    {
        output.assign(kOutputRecords, Range(kUntouched, kUntouched));
        returned = kUntouched;
        return DeviceIoControl(file, FSCTL_QUERY_ALLOCATED_RANGES, &window, sizeof window, output.data(),
                               room * sizeof(FILE_ALLOCATED_RANGE_BUFFER), &returned, NULL);
    }

    std::vector<Extent> Returned() const
    {
        std::vector<Extent> extents;
        for (size_t i = 0; i < returned / sizeof(FILE_ALLOCATED_RANGE_BUFFER); i++)
            extents.push_back(ExtentOf(output[i]));
        return extents;
    }

    static const DWORD kUntouched = 0xABABABAB;
    static const size_t kOutputRecords = 8;

    test::TempDir dir;
    const std::string path = dir / "sparse.bin";
    std::vector<FILE_ALLOCATED_RANGE_BUFFER> output;
    DWORD returned = 0;
};

struct RangesCase {
    const char* what;
    FILE_ALLOCATED_RANGE_BUFFER window;
    DWORD room;
    DWORD error;  // NO_ERROR: the call succeeds
    std::vector<Extent> ranges;
};

TEST_F(AllocatedRanges, ReportsTheDataInsideTheWindowAsFarAsItFits)
{
    const Extent first{64 * KiB, 8 * KiB};
    const Extent second{256 * KiB, 4 * KiB};
    const Extent third{512 * KiB, 16 * KiB};
    const FILE_ALLOCATED_RANGE_BUFFER whole = Range(0, 1024 * KiB);
    const RangesCase cases[] = {
        {"room for 1", whole, 1, ERROR_MORE_DATA, {first}},
        {"room for 2", whole, 2, ERROR_MORE_DATA, {first, second}},
        {"room for 3", whole, 3, NO_ERROR, {first, second, third}},
        {"room for 4", whole, 4, NO_ERROR, {first, second, third}},
        {"window whose end overflows", Range(4 * KiB, LLONG_MAX), 4, NO_ERROR, {first, second, third}},
        {"window starting inside a range", Range(68 * KiB, 1024 * KiB), 4, NO_ERROR,
         {{68 * KiB, 4 * KiB}, second, third}},
        {"window ending inside a range", Range(0, 516 * KiB), 4, NO_ERROR, {first, second, {512 * KiB, 4 * KiB}}},
        {"window inside one range", Range(516 * KiB, 4 * KiB), 4, NO_ERROR, {{516 * KiB, 4 * KiB}}},
        {"window ending where a range starts", Range(0, 256 * KiB), 4, NO_ERROR, {first}},
        {"window over a hole only", Range(128 * KiB, 128 * KiB), 4, NO_ERROR, {}},
        {"window over the hole at the end", Range(528 * KiB, 496 * KiB), 4, NO_ERROR, {}},
        {"window past the end of the file", Range(2048 * KiB, 64 * KiB), 4, NO_ERROR, {}},
        {"window of length 0", Range(64 * KiB, 0), 4, NO_ERROR, {}},
        {"negative offset", Range(-1, 64 * KiB), 4, ERROR_INVALID_PARAMETER, {}},
        {"negative length", Range(0, -1), 4, ERROR_INVALID_PARAMETER, {}},
    };
    ScopedHandle file(Open(path, GENERIC_READ, OPEN_EXISTING));
    ASSERT_TRUE(file.valid());
    for (const RangesCase& c : cases) {
        SCOPED_TRACE(c.what);
        SetLastError(kNotAnError);
        BOOL ok = Query(file.get(), c.window, c.room);
        EXPECT_EQ(ok != FALSE, c.error == NO_ERROR);
        if (!ok) {
            EXPECT_EQ(GetLastError(), c.error);
        }
        EXPECT_EQ(returned, c.ranges.size() * sizeof(FILE_ALLOCATED_RANGE_BUFFER));
        EXPECT_EQ(Returned(), c.ranges);
        for (size_t i = c.ranges.size(); i < kOutputRecords; i++)
            EXPECT_EQ(ExtentOf(output[i]), (Extent{kUntouched, kUntouched})) << "record " << i << " was written";
    }
}

TEST_F(AllocatedRanges, RefusesBadBuffersAndHandles)
{
    ScopedHandle reader(Open(path, GENERIC_READ, OPEN_EXISTING));
    ScopedHandle writer(Open(path, GENERIC_WRITE, OPEN_EXISTING));
    ASSERT_TRUE(reader.valid() && writer.valid());
    FILE_ALLOCATED_RANGE_BUFFER window = Range(0, 1024 * KiB);
    FILE_ALLOCATED_RANGE_BUFFER out[2];
    struct ErrorCase {
        const char* what;
        HANDLE file;
        DWORD inSize;
        DWORD outSize;
        DWORD error;
    } cases[] = {
        {"output smaller than one record", reader.get(), sizeof window, 15, ERROR_INSUFFICIENT_BUFFER},
        {"no output", reader.get(), sizeof window, 0, ERROR_INSUFFICIENT_BUFFER},
        {"input smaller than a window", reader.get(), 8, sizeof out, ERROR_INVALID_PARAMETER},
        {"a handle without read access", writer.get(), sizeof window, sizeof out, ERROR_ACCESS_DENIED},
    };
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(c.what);
        DWORD bytes = kUntouched;
        EXPECT_FALSE(DeviceIoControl(c.file, FSCTL_QUERY_ALLOCATED_RANGES, &window, c.inSize, out, c.outSize,
                                     &bytes, NULL));
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(bytes, 0u);
    }
}

// ---------------------------------------------------------------------------
// Handles of the wrong kind, closed or null.

TEST(FileCalls, RefuseHandlesThatAreNoOpenFile)
{
    test::TempDir dir;
    test::WriteDenseFile(dir / "file.bin", "x");
    ScopedHandle event(CreateEventW(NULL, TRUE, FALSE, NULL));
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((test::W(dir.path()) + u"\\*.*").c_str(), &found);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    // Closed last, so no other object takes its slot before the calls.
    HANDLE closed = Open(dir / "file.bin", kReadWrite, OPEN_EXISTING);
    ASSERT_TRUE(CloseHandle(closed));

    char buffer[4];
    DWORD count;
    LARGE_INTEGER value;
    value.QuadPart = 0;
    BY_HANDLE_FILE_INFORMATION info;
    FILE_ALLOCATED_RANGE_BUFFER window = Range(0, 1), out;
    const std::pair<const char*, std::function<BOOL(HANDLE)>> calls[] = {
        {"ReadFile", [&](HANDLE h) { return ReadFile(h, buffer, 4, &count, NULL); }},
        {"WriteFile", [&](HANDLE h) { return WriteFile(h, "x", 1, &count, NULL); }},
        {"SetFilePointer",
         [&](HANDLE h) { return (BOOL)(SetFilePointer(h, 0, NULL, FILE_BEGIN) != INVALID_SET_FILE_POINTER); }},
        {"SetFilePointerEx", [&](HANDLE h) { return SetFilePointerEx(h, value, NULL, FILE_BEGIN); }},
        {"SetEndOfFile", [&](HANDLE h) { return SetEndOfFile(h); }},
        {"GetFileSizeEx", [&](HANDLE h) { return GetFileSizeEx(h, &value); }},
        {"GetFileInformationByHandle", [&](HANDLE h) { return GetFileInformationByHandle(h, &info); }},
        {"FSCTL_SET_SPARSE",
         [&](HANDLE h) { return DeviceIoControl(h, FSCTL_SET_SPARSE, NULL, 0, NULL, 0, &count, NULL); }},
        {"FSCTL_QUERY_ALLOCATED_RANGES",
         [&](HANDLE h) {
             return DeviceIoControl(h, FSCTL_QUERY_ALLOCATED_RANGES, &window, sizeof window, &out, sizeof out,
                                    &count, NULL);
         }},
    };
    const std::pair<const char*, HANDLE> handles[] = {
        {"an event", event.get()},   {"a find handle", find},        {"a closed handle", closed},
        {"NULL", NULL},              {"INVALID_HANDLE_VALUE", INVALID_HANDLE_VALUE},
    };
    for (const auto& [handleName, handle] : handles) {
        for (const auto& [callName, call] : calls) {
            SCOPED_TRACE(std::string(callName) + " on " + handleName);
            SetLastError(kNotAnError);
            EXPECT_FALSE(call(handle));
            EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
        }
    }
    EXPECT_FALSE(CloseHandle(closed));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    FindClose(find);
}

// ---------------------------------------------------------------------------
// System-call faults, armed through the seam.

class FileFaults : public OpenFile {
protected:
    void TearDown() override { faults::Clear(); }
};

TEST_F(FileFaults, AnInterruptedReadIsRetried)
{
    test::WriteDenseFile(path, "all of it");
    Reopen(GENERIC_READ);
    faults::FailNth(Call::Pread, 1, EINTR);
    char buffer[16];
    DWORD count = 0;
    ASSERT_TRUE(ReadFile(handle(), buffer, sizeof buffer, &count, NULL));
    EXPECT_EQ(std::string(buffer, count), "all of it");
}

TEST_F(FileFaults, AReadErrorIsAnIoDeviceError)
{
    test::WriteDenseFile(path, "content");
    Reopen(GENERIC_READ);
    faults::FailNth(Call::Pread, 1, EIO);
    char buffer[16];
    DWORD count = 99;
    EXPECT_FALSE(ReadFile(handle(), buffer, sizeof buffer, &count, NULL));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_IO_DEVICE);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(PositionOf(handle()), 0);
}

struct WriteFaultCase {
    const char* what;
    std::function<void()> arm;
    BOOL ok;
    DWORD written;
    DWORD error;  // checked when the write fails
};

TEST_F(FileFaults, WritesReportHowFarTheyGot)
{
    const std::string data = "0123456789abcdef";
    const WriteFaultCase cases[] = {
        {"interrupted, then retried", [] { faults::FailNth(Call::Pwrite, 1, EINTR); }, TRUE, 16, NO_ERROR},
        {"short, then the rest", [] { faults::ShortNth(Call::Pwrite, 1, 5); }, TRUE, 16, NO_ERROR},
        {"short, then the disk is full",
         [] {
             faults::ShortNth(Call::Pwrite, 1, 5);
             faults::FailNth(Call::Pwrite, 2, ENOSPC);
         },
         TRUE, 5, NO_ERROR},
        {"disk full at once", [] { faults::FailNth(Call::Pwrite, 1, ENOSPC); }, FALSE, 0, ERROR_DISK_FULL},
        {"quota exceeded at once", [] { faults::FailNth(Call::Pwrite, 1, EDQUOT); }, FALSE, 0, ERROR_DISK_FULL},
    };
    for (const WriteFaultCase& c : cases) {
        SCOPED_TRACE(c.what);
        Reopen(GENERIC_WRITE, CREATE_ALWAYS);
        c.arm();
        DWORD written = 99;
        EXPECT_EQ(WriteFile(handle(), data.data(), (DWORD)data.size(), &written, NULL), c.ok);
        if (!c.ok) {
            EXPECT_EQ(GetLastError(), c.error);
        }
        EXPECT_EQ(written, c.written);
        EXPECT_EQ(PositionOf(handle()), c.written);
        EXPECT_EQ(ContentOf(path), data.substr(0, c.written));
        faults::Clear();
    }
}

}  // namespace
