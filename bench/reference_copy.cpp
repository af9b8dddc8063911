// reference-copy SRC_DIR DST_DIR
//
// The plainest correct sparse copy, used as the benchmark's floor: every
// regular file in SRC_DIR that has a hole is recreated in DST_DIR at its full
// size, and only the data ranges that SEEK_DATA/SEEK_HOLE report are copied,
// with pread/pwrite through one 64 KiB buffer. Nothing clever on purpose.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const size_t kPieceSize = 64 * 1024;
char pieceBuffer[kPieceSize];

bool reportFailure(const std::string& what, const std::string& path) {
    std::fprintf(stderr, "reference-copy: %s %s: %s\n", what.c_str(), path.c_str(), std::strerror(errno));
    return false;
}

bool readFully(int fd, char* buffer, size_t length, off_t offset) {
    while (length > 0) {
        ssize_t got = pread(fd, buffer, length, offset);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            if (got == 0) errno = EIO;  // the file shrank under us
            return false;
        }
        buffer += got;
        length -= static_cast<size_t>(got);
        offset += got;
    }
    return true;
}

bool writeFully(int fd, const char* buffer, size_t length, off_t offset) {
    while (length > 0) {
        ssize_t put = pwrite(fd, buffer, length, offset);
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) return false;
        buffer += put;
        length -= static_cast<size_t>(put);
        offset += put;
    }
    return true;
}

bool copyRange(int source, int target, off_t offset, off_t end) {
    while (offset < end) {
        size_t piece = static_cast<size_t>(std::min<off_t>(end - offset, kPieceSize));
        if (!readFully(source, pieceBuffer, piece, offset)) return false;
        if (!writeFully(target, pieceBuffer, piece, offset)) return false;
        offset += static_cast<off_t>(piece);
    }
    return true;
}

// Walks the data ranges of source and copies each one. ENXIO from SEEK_DATA
// means no data is left before the end.
bool copyDataRanges(int source, int target, off_t size) {
    off_t offset = 0;
    while (offset < size) {
        off_t dataStart = lseek(source, offset, SEEK_DATA);
        if (dataStart < 0) return errno == ENXIO;
        off_t dataEnd = lseek(source, dataStart, SEEK_HOLE);
        if (dataEnd < 0) return false;
        if (!copyRange(source, target, dataStart, dataEnd)) return false;
        offset = dataEnd;
    }
    return true;
}

bool copySparseFile(int source, off_t size, const std::string& sourcePath, const std::string& targetPath) {
    int target = open(targetPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (target < 0) return reportFailure("cannot create", targetPath);
    bool copied = ftruncate(target, size) == 0 || reportFailure("cannot size", targetPath);
    copied = copied && (copyDataRanges(source, target, size) || reportFailure("cannot copy", sourcePath));
    if (close(target) != 0 && copied) copied = reportFailure("cannot close", targetPath);
    return copied;
}

bool hasHole(int fd, off_t size) {
    off_t firstHole = lseek(fd, 0, SEEK_HOLE);
    return firstHole >= 0 && firstHole < size;
}

// Copies the file when it is a regular file with a hole; anything else is
// left alone and counts as success.
bool copyIfSparse(const std::string& sourcePath, const std::string& targetPath) {
    int source = open(sourcePath.c_str(), O_RDONLY | O_CLOEXEC);
    if (source < 0) return reportFailure("cannot open", sourcePath);
    struct stat status;
    bool copied = fstat(source, &status) == 0 || reportFailure("cannot stat", sourcePath);
    if (copied && S_ISREG(status.st_mode) && hasHole(source, status.st_size))
        copied = copySparseFile(source, status.st_size, sourcePath, targetPath);
    close(source);
    return copied;
}

bool copySparseFilesIn(const std::string& sourceDir, const std::string& targetDir) {
    DIR* listing = opendir(sourceDir.c_str());
    if (!listing) return reportFailure("cannot list", sourceDir);
    bool allCopied = true;
    while (dirent* entry = readdir(listing)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        allCopied = copyIfSparse(sourceDir + "/" + name, targetDir + "/" + name) && allCopied;
    }
    closedir(listing);
    return allCopied;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: reference-copy SRC_DIR DST_DIR\n");
        return 2;
    }
    if (mkdir(argv[2], 0777) != 0 && errno != EEXIST) {
        reportFailure("cannot create", argv[2]);
        return 1;
    }
    return copySparseFilesIn(argv[1], argv[2]) ? 0 : 1;
}
