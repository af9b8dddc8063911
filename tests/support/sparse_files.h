// Sparse files made and inspected with plain POSIX calls, independent of
// the platform layer under test.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace test {

const int64_t KiB = 1024;
const int64_t MiB = 1024 * KiB;
const int64_t GiB = 1024 * MiB;

struct DataRange {
    int64_t offset;
    int64_t length;
    bool operator==(const DataRange& other) const
    {
        return offset == other.offset && length == other.length;
    }
};

// Writes pseudo-random, non-zero bytes (derived from seed and offset) into
// each range and gives the file size bytes; everything else stays a hole.
void WriteSparseFile(const std::string& path, int64_t size, const std::vector<DataRange>& ranges,
                     unsigned seed = 1);

// Writes a plain file that has no hole.
void WriteDenseFile(const std::string& path, const std::string& content);

// The data ranges of a file as SEEK_DATA/SEEK_HOLE report them.
std::vector<DataRange> DataRangesOf(const std::string& path);

int64_t SizeOf(const std::string& path);

// The whole content of a small file.
std::string ContentOf(const std::string& path);

// Whether two files have the same size and the same bytes.
bool SameBytes(const std::string& a, const std::string& b);

// Whether this file system keeps holes in a file (some do not).
bool FileSystemKeepsHoles(const std::string& folder);

// A snapshot of a file to prove it unchanged: bytes digest, size, data map.
struct FileFingerprint {
    int64_t size;
    uint64_t digest;
    std::vector<DataRange> ranges;
    bool operator==(const FileFingerprint& other) const
    {
        return size == other.size && digest == other.digest && ranges == other.ranges;
    }
};
FileFingerprint FingerprintOf(const std::string& path);

}  // namespace test

#define SKIP_WITHOUT_HOLES(folder)                                                \
    do {                                                                          \
        if (!test::FileSystemKeepsHoles(folder))                                  \
            GTEST_SKIP() << "the file system under " << (folder)                 \
                         << " does not keep holes, so sparse copies cannot be checked"; \
    } while (0)
