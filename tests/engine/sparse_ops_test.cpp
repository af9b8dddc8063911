#include "engine/sparse_ops.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "platform/linux/syscalls.h"
#include "tests/support/sparse_files.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wide.h"

namespace {

using platform::faults::FailNth;
using platform::faults::ShortNth;
using platform::sys::Call;
using test::DataRange;
using test::GiB;
using test::KiB;
using test::MiB;
using test::W;


std::vector<DataRange> AsRanges(const AllocatedRangeList& list)
{
    std::vector<DataRange> ranges;
    for (const FILE_ALLOCATED_RANGE_BUFFER& range : list)
        ranges.push_back(DataRange{range.FileOffset.QuadPart, range.Length.QuadPart});
    return ranges;
}

class SparseOpsTest : public ::testing::Test {
protected:
    void SetUp() override { SKIP_WITHOUT_HOLES(dir.path()); }
    void TearDown() override { platform::faults::Clear(); }

    HANDLE OpenForReading(const std::string& path)
    {
        return CreateFileW(W(path).c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    }

    // Copies every range of source into a new sparse target with the engine's
    // own operations; returns the error code thrown, or NO_ERROR.
    DWORD CopyWithRanges(const std::string& source, const std::string& target)
    {
        AllocatedRangeList ranges;
        EXPECT_TRUE(QueryAllocatedRanges(W(source).c_str(), ranges));
        HANDLE hSource = OpenForReading(source);
        LARGE_INTEGER size;
        size.QuadPart = test::SizeOf(source);
        HANDLE hTarget = CreateSparseTarget(W(target).c_str(), size);
        EXPECT_NE(hTarget, INVALID_HANDLE_VALUE);
        DWORD thrown = NO_ERROR;
        try {
            for (const FILE_ALLOCATED_RANGE_BUFFER& range : ranges)
                CopyFileRange(hSource, hTarget, range.FileOffset, range.Length);
        } catch (DWORD error) {
            thrown = error;
        }
        CloseHandle(hSource);
        CloseHandle(hTarget);
        return thrown;
    }

    test::TempDir dir;
};

struct QueryCase {
    const char* name;
    int64_t size;
    std::vector<DataRange> data;
    std::vector<DataRange> expected;
};

TEST_F(SparseOpsTest, QueryListsEachAllocatedRangeInFileOrder)
{
    const QueryCase cases[] = {
        {"one range", 4 * MiB, {{MiB, 64 * KiB}}, {{MiB, 64 * KiB}}},
        {"three ranges", 8 * MiB,
         {{0, 4 * KiB}, {2 * MiB, 128 * KiB}, {7 * MiB, 8 * KiB}},
         {{0, 4 * KiB}, {2 * MiB, 128 * KiB}, {7 * MiB, 8 * KiB}}},
        {"data up to the end", 2 * MiB, {{MiB, MiB}}, {{MiB, MiB}}},
        // A file without data gets the cleared record: one entry that copies nothing.
        {"all hole", 16 * MiB, {}, {{0, 0}}},
        {"empty", 0, {}, {{0, 0}}},
    };
    for (const QueryCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = dir / c.name;
        test::WriteSparseFile(path, c.size, c.data);
        AllocatedRangeList ranges;
        EXPECT_TRUE(QueryAllocatedRanges(W(path).c_str(), ranges));
        EXPECT_EQ(AsRanges(ranges), c.expected);
    }
}

TEST_F(SparseOpsTest, QueryAppendsToWhatTheListHolds)
{
    std::string path = dir / "file";
    test::WriteSparseFile(path, 4 * MiB, {{MiB, 4 * KiB}});
    AllocatedRangeList ranges(1);
    ranges[0].FileOffset.QuadPart = 7;
    ranges[0].Length.QuadPart = 9;
    EXPECT_TRUE(QueryAllocatedRanges(W(path).c_str(), ranges));
    EXPECT_EQ(AsRanges(ranges), (std::vector<DataRange>{{7, 9}, {MiB, 4 * KiB}}));
}

TEST_F(SparseOpsTest, QueryFailsAndLeavesTheListWhenTheFileCannotBeRead)
{
    std::string held = dir / "held";
    test::WriteSparseFile(held, 4 * MiB, {{MiB, 4 * KiB}});
    // Another writer that shares reading only refuses a reader's share mode.
    HANDLE writer = CreateFileW(W(held).c_str(), GENERIC_WRITE, FILE_SHARE_READ, NULL,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);

    for (const std::string& path : {dir / "missing", held}) {
        SCOPED_TRACE(path);
        AllocatedRangeList ranges(2);
        EXPECT_FALSE(QueryAllocatedRanges(W(path).c_str(), ranges));
        EXPECT_EQ(ranges.size(), 2u);
    }
    CloseHandle(writer);
}

// A list cut short by a failing query would make a copy that lacks data,
// so any failure but "more data" refuses the whole file.
TEST_F(SparseOpsTest, QueryFailingPartWayRefusesTheFile)
{
    std::string path = dir / "file";
    test::WriteSparseFile(path, 8 * MiB, {{0, 4 * KiB}, {2 * MiB, 4 * KiB}, {4 * MiB, 4 * KiB}});
    // Each query seeks for data, then for the hole after it, then for more data.
    for (unsigned failingSeek : {1u, 2u, 3u, 4u, 7u}) {
        SCOPED_TRACE(failingSeek);
        FailNth(Call::Lseek, failingSeek, EIO);
        AllocatedRangeList ranges;
        EXPECT_FALSE(QueryAllocatedRanges(W(path).c_str(), ranges));
        EXPECT_TRUE(ranges.empty());
        platform::faults::Clear();
    }
}

TEST_F(SparseOpsTest, QueryOfAnEmptyFileSucceedsEvenWhenTheQueryFails)
{
    std::string path = dir / "empty";
    test::WriteSparseFile(path, 0, {});
    FailNth(Call::Lseek, 1, EIO);
    AllocatedRangeList ranges;
    EXPECT_TRUE(QueryAllocatedRanges(W(path).c_str(), ranges));
}

TEST_F(SparseOpsTest, CreateSparseTargetIsOneHoleOfTheGivenSize)
{
    std::string path = dir / "target";
    test::WriteDenseFile(path, std::string(100000, 'x'));  // replaced, not reused
    LARGE_INTEGER size;
    size.QuadPart = 5 * GiB;
    HANDLE target = CreateSparseTarget(W(path).c_str(), size);
    ASSERT_NE(target, INVALID_HANDLE_VALUE);

    LARGE_INTEGER zero, position;
    zero.QuadPart = 0;
    ASSERT_TRUE(SetFilePointerEx(target, zero, &position, FILE_CURRENT));
    EXPECT_EQ(position.QuadPart, 5 * GiB);
    CloseHandle(target);
    EXPECT_EQ(test::SizeOf(path), 5 * GiB);
    EXPECT_TRUE(test::DataRangesOf(path).empty());
}

TEST_F(SparseOpsTest, CreateSparseTargetFailsWhereNoFileCanBeMade)
{
    LARGE_INTEGER size;
    size.QuadPart = MiB;
    test::MakeFolder(dir / "folder");
    for (const std::string& path : {dir / "no/such/folder/file", dir / "folder"}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(CreateSparseTarget(W(path).c_str(), size), INVALID_HANDLE_VALUE);
    }
}

TEST_F(SparseOpsTest, CopiesKeepBytesAndHoles)
{
    const QueryCase cases[] = {
        {"one range", 4 * MiB, {{MiB, 64 * KiB}}, {}},
        {"three ranges", 8 * MiB, {{0, 4 * KiB}, {2 * MiB, 128 * KiB}, {7 * MiB, 8 * KiB}}, {}},
        {"exactly one chunk", MiB, {{256 * KiB, 64 * KiB}}, {}},
        {"chunks and a rest", 2 * MiB, {{0, 3 * 64 * KiB + 100}}, {}},
        {"beyond 4 GiB", 6 * GiB, {{4 * GiB - 8 * KiB, 80 * KiB}, {5 * GiB, MiB + 4 * KiB}}, {}},
        {"all hole", 64 * MiB, {}, {}},
    };
    for (const QueryCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string source = dir / (std::string(c.name) + ".src");
        std::string target = dir / (std::string(c.name) + ".dst");
        test::WriteSparseFile(source, c.size, c.data);
        EXPECT_EQ(CopyWithRanges(source, target), (DWORD)NO_ERROR);
        EXPECT_TRUE(test::SameBytes(source, target));
        EXPECT_EQ(test::DataRangesOf(target), test::DataRangesOf(source));
    }
}

struct FaultCase {
    const char* name;
    Call call;
    unsigned nth;
    int err;          // 0: a short transfer of shortBytes
    size_t shortBytes;
    DWORD thrown;     // NO_ERROR: the copy must come out whole
};

TEST_F(SparseOpsTest, CopyFileRangeThrowsTheErrorOfTheFailingStep)
{
    const FaultCase cases[] = {
        {"interrupted read", Call::Pread, 1, EINTR, 0, NO_ERROR},
        {"interrupted write", Call::Pwrite, 2, EINTR, 0, NO_ERROR},
        {"short read", Call::Pread, 2, 0, 1000, NO_ERROR},
        {"read error", Call::Pread, 2, EIO, 0, ERROR_IO_DEVICE},
        {"source ends early", Call::Pread, 2, 0, 0, ERROR_HANDLE_EOF},
        {"disk full", Call::Pwrite, 2, ENOSPC, 0, ERROR_DISK_FULL},
    };
    std::string source = dir / "source";
    test::WriteSparseFile(source, 4 * MiB, {{MiB, 256 * KiB}});
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.err != 0)
            FailNth(c.call, c.nth, c.err);
        else
            ShortNth(c.call, c.nth, c.shortBytes);
        std::string target = dir / (std::string(c.name) + ".dst");
        EXPECT_EQ(CopyWithRanges(source, target), c.thrown);
        if (c.thrown == NO_ERROR) {
            EXPECT_TRUE(test::SameBytes(source, target));
        }
        platform::faults::Clear();
    }
}

TEST_F(SparseOpsTest, CopyFileRangeReportsAWriteThatStopsShort)
{
    std::string source = dir / "source";
    test::WriteSparseFile(source, 4 * MiB, {{MiB, 256 * KiB}});
    ShortNth(Call::Pwrite, 1, 4096);
    FailNth(Call::Pwrite, 2, ENOSPC);
    EXPECT_EQ(CopyWithRanges(source, dir / "target"), (DWORD)ERROR_HANDLE_DISK_FULL);
}

TEST_F(SparseOpsTest, CopyFileRangeOfNothingOnlyPositions)
{
    std::string path = dir / "file";
    test::WriteSparseFile(path, MiB, {{0, 4 * KiB}});
    HANDLE source = OpenForReading(path);
    LARGE_INTEGER size, offset, length;
    size.QuadPart = MiB;
    offset.QuadPart = 512 * KiB;
    length.QuadPart = 0;
    HANDLE target = CreateSparseTarget(W(dir / "target").c_str(), size);
    EXPECT_NO_THROW(CopyFileRange(source, target, offset, length));
    for (HANDLE file : {source, target}) {
        LARGE_INTEGER zero, position;
        zero.QuadPart = 0;
        SetFilePointerEx(file, zero, &position, FILE_CURRENT);
        EXPECT_EQ(position.QuadPart, 512 * KiB);
        CloseHandle(file);
    }
    EXPECT_TRUE(test::DataRangesOf(dir / "target").empty());
}

TEST_F(SparseOpsTest, CopyFileRangeThrowsForAnInvalidHandle)
{
    LARGE_INTEGER offset, length;
    offset.QuadPart = 0;
    length.QuadPart = 10;
    EXPECT_THROW(CopyFileRange(INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE, offset, length), DWORD);
}

}  // namespace
