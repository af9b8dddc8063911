#include "tests/support/sparse_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>

namespace test {
namespace {

class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    int get() const { return m_fd; }

private:
    int m_fd;
};

// Bytes are a function of seed and absolute offset, never zero.
void FillPattern(std::vector<char>& buffer, int64_t offset, unsigned seed)
{
    for (size_t i = 0; i < buffer.size(); i++) {
        uint64_t x = (uint64_t)(offset + (int64_t)i) * 0x9E3779B97F4A7C15ull + seed * 0xBF58476D1CE4E5B9ull;
        x ^= x >> 29;
        buffer[i] = (char)((x & 0xFF) | 1);
    }
}

void WriteAll(int fd, const char* data, size_t length, int64_t offset)
{
    while (length > 0) {
        ssize_t n = pwrite(fd, data, length, offset);
        ASSERT_GT(n, 0) << "pwrite: " << strerror(errno);
        data += n;
        length -= (size_t)n;
        offset += n;
    }
}

}  // namespace

void WriteSparseFile(const std::string& path, int64_t size, const std::vector<DataRange>& ranges,
                     unsigned seed)
{
    Fd fd(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
    ASSERT_GE(fd.get(), 0) << path << ": " << strerror(errno);
    ASSERT_EQ(ftruncate(fd.get(), size), 0);
    std::vector<char> buffer;
    for (const DataRange& range : ranges) {
        for (int64_t done = 0; done < range.length;) {
            size_t piece = (size_t)std::min<int64_t>(range.length - done, 1 << 20);
            buffer.resize(piece);
            FillPattern(buffer, range.offset + done, seed);
            WriteAll(fd.get(), buffer.data(), piece, range.offset + done);
            done += (int64_t)piece;
        }
    }
}

void WriteDenseFile(const std::string& path, const std::string& content)
{
    Fd fd(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
    ASSERT_GE(fd.get(), 0) << path << ": " << strerror(errno);
    WriteAll(fd.get(), content.data(), content.size(), 0);
}

std::vector<DataRange> DataRangesOf(const std::string& path)
{
    std::vector<DataRange> ranges;
    Fd fd(open(path.c_str(), O_RDONLY));
    if (fd.get() < 0) {
        ADD_FAILURE() << path << ": " << strerror(errno);
        return ranges;
    }
    for (off_t next = 0;;) {
        off_t data = lseek(fd.get(), next, SEEK_DATA);
        if (data < 0)
            break;
        off_t hole = lseek(fd.get(), data, SEEK_HOLE);
        ranges.push_back(DataRange{data, hole - data});
        next = hole;
    }
    return ranges;
}

int64_t SizeOf(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

std::string ContentOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool SameBytes(const std::string& a, const std::string& b)
{
    if (SizeOf(a) != SizeOf(b))
        return false;
    Fd fa(open(a.c_str(), O_RDONLY));
    Fd fb(open(b.c_str(), O_RDONLY));
    std::vector<char> ba(1 << 20), bb(1 << 20);
    // Compare only where either file has data; elsewhere both read zeros.
    std::vector<DataRange> ranges = DataRangesOf(a);
    std::vector<DataRange> others = DataRangesOf(b);
    ranges.insert(ranges.end(), others.begin(), others.end());
    for (const DataRange& range : ranges) {
        for (int64_t done = 0; done < range.length;) {
            size_t piece = (size_t)std::min<int64_t>(range.length - done, (int64_t)ba.size());
            ssize_t na = pread(fa.get(), ba.data(), piece, range.offset + done);
            ssize_t nb = pread(fb.get(), bb.data(), piece, range.offset + done);
            if (na != nb || na <= 0 || memcmp(ba.data(), bb.data(), (size_t)na) != 0)
                return false;
            done += na;
        }
    }
    return true;
}

bool FileSystemKeepsHoles(const std::string& folder)
{
    std::string probe = folder + "/.hole-probe";
    WriteSparseFile(probe, 1 << 22, {{1 << 21, 4096}});
    std::vector<DataRange> ranges = DataRangesOf(probe);
    unlink(probe.c_str());
    return !ranges.empty() && ranges.front().offset > 0;
}

FileFingerprint FingerprintOf(const std::string& path)
{
    FileFingerprint print{SizeOf(path), 1469598103934665603ull, DataRangesOf(path)};
    Fd fd(open(path.c_str(), O_RDONLY));
    std::vector<char> buffer(1 << 20);
    for (const DataRange& range : print.ranges) {
        for (int64_t done = 0; done < range.length;) {
            size_t piece = (size_t)std::min<int64_t>(range.length - done, (int64_t)buffer.size());
            ssize_t n = pread(fd.get(), buffer.data(), piece, range.offset + done);
            if (n <= 0)
                break;
            for (ssize_t i = 0; i < n; i++)
                print.digest = (print.digest ^ (unsigned char)buffer[i]) * 1099511628211ull;
            done += n;
        }
    }
    return print;
}

}  // namespace test
