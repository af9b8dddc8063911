// Share modes among the process's own handles: every access and share pair
// of two opens of one file, checked against a reference rule.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>

#include "platform/winapi.h"
#include "tests/support/sparse_files.h"
#include "tests/support/scoped_handle.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wide.h"

namespace {

using test::ContentOf;
using test::ScopedHandle;

const char kOriginal[] = "original bytes";

HANDLE Open(const std::string& path, DWORD access, DWORD share, DWORD disposition = OPEN_EXISTING)
{
    return CreateFileW(test::W(path).c_str(), access, share, NULL, disposition, 0, NULL);
}

std::string ReadThrough(HANDLE file)
{
    char buffer[64];
    DWORD count = 0;
    EXPECT_TRUE(ReadFile(file, buffer, sizeof buffer, &count, NULL));
    return std::string(buffer, count);
}

// The rule, as the documentation states it: each open must share every
// access that the other one has.
bool Shares(DWORD share, DWORD access)
{
    bool readShared = !(access & GENERIC_READ) || (share & FILE_SHARE_READ);
    bool writeShared = !(access & GENERIC_WRITE) || (share & FILE_SHARE_WRITE);
    return readShared && writeShared;
}

bool MayOpenTogether(DWORD firstAccess, DWORD firstShare, DWORD secondAccess, DWORD secondShare)
{
    return Shares(firstShare, secondAccess) && Shares(secondShare, firstAccess);
}

const DWORD kAccesses[] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE};
const DWORD kShares[] = {0, FILE_SHARE_READ, FILE_SHARE_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE};

// first access, first share, second access, second share, second disposition
using SharePair = std::tuple<DWORD, DWORD, DWORD, DWORD, DWORD>;

std::string AccessName(DWORD access)
{
    std::string name = (access & GENERIC_READ) ? "R" : "";
    return name + ((access & GENERIC_WRITE) ? "W" : "");
}

std::string ShareName(DWORD share)
{
    if (share == 0)
        return "none";
    std::string name = (share & FILE_SHARE_READ) ? "R" : "";
    return name + ((share & FILE_SHARE_WRITE) ? "W" : "");
}

std::string PairName(const ::testing::TestParamInfo<SharePair>& info)
{
    auto [firstAccess, firstShare, secondAccess, secondShare, disposition] = info.param;
    return AccessName(firstAccess) + "_share" + ShareName(firstShare) + "_then_" + AccessName(secondAccess) +
           "_share" + ShareName(secondShare) + (disposition == CREATE_ALWAYS ? "_createAlways" : "_open");
}

class SharePairs : public ::testing::TestWithParam<SharePair> {
protected:
    void SetUp() override { test::WriteDenseFile(path, kOriginal); }

    test::TempDir dir;
    const std::string path = dir / "file.bin";
};

TEST_P(SharePairs, SecondOpenFollowsTheRule)
{
    auto [firstAccess, firstShare, secondAccess, secondShare, disposition] = GetParam();
    ScopedHandle first(Open(path, firstAccess, firstShare));
    ASSERT_TRUE(first.valid()) << "error " << GetLastError();

    SetLastError(NO_ERROR);
    ScopedHandle second(Open(path, secondAccess, secondShare, disposition));
    if (!MayOpenTogether(firstAccess, firstShare, secondAccess, secondShare)) {
        EXPECT_FALSE(second.valid());
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
        EXPECT_EQ(ContentOf(path), kOriginal);
    } else {
        EXPECT_TRUE(second.valid()) << "error " << GetLastError();
        EXPECT_EQ(ContentOf(path), disposition == CREATE_ALWAYS ? "" : kOriginal);
        if (firstAccess & GENERIC_READ) {
            EXPECT_EQ(ReadThrough(first.get()), kOriginal) << "the first handle lost its file";
        }
    }
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename().string(), "file.bin");
}

INSTANTIATE_TEST_SUITE_P(EveryAccessAndShare, SharePairs,
                         ::testing::Combine(::testing::ValuesIn(kAccesses), ::testing::ValuesIn(kShares),
                                            ::testing::ValuesIn(kAccesses), ::testing::ValuesIn(kShares),
                                            ::testing::Values((DWORD)OPEN_EXISTING, (DWORD)CREATE_ALWAYS)),
                         PairName);

// A second name of the same file is the same file.
struct SecondNameCase {
    const char* what;
    int (*make)(const char* target, const char* name);
};

class SameFileByAnotherName : public ::testing::TestWithParam<SecondNameCase> {
protected:
    void SetUp() override
    {
        test::WriteDenseFile(path, kOriginal);
        ASSERT_EQ(GetParam().make(path.c_str(), other.c_str()), 0) << strerror(errno);
    }

    test::TempDir dir;
    const std::string path = dir / "file.bin";
    const std::string other = dir / "other name.bin";
};

TEST_P(SameFileByAnotherName, CountsAsTheSameFile)
{
    ScopedHandle reader(Open(path, GENERIC_READ, FILE_SHARE_READ));
    ASSERT_TRUE(reader.valid());
    for (DWORD disposition : {(DWORD)OPEN_EXISTING, (DWORD)CREATE_ALWAYS}) {
        SCOPED_TRACE(disposition);
        ScopedHandle writer(Open(other, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, disposition));
        EXPECT_FALSE(writer.valid());
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    }
    EXPECT_EQ(ContentOf(path), kOriginal);
    EXPECT_EQ(ContentOf(other), kOriginal);
}

INSTANTIATE_TEST_SUITE_P(Links, SameFileByAnotherName,
                         ::testing::Values(SecondNameCase{"hardLink", link}, SecondNameCase{"symbolicLink", symlink}),
                         [](const ::testing::TestParamInfo<SecondNameCase>& name) { return name.param.what; });

TEST(ShareModes, ClosingTheFirstHandleLiftsTheRestriction)
{
    test::TempDir dir;
    const std::string path = dir / "file.bin";
    test::WriteDenseFile(path, kOriginal);
    ScopedHandle reader(Open(path, GENERIC_READ, 0));
    ASSERT_TRUE(reader.valid());
    ScopedHandle refused(Open(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE));
    ASSERT_FALSE(refused.valid());

    reader.Close();
    ScopedHandle writer(Open(path, GENERIC_WRITE, 0, CREATE_ALWAYS));
    EXPECT_TRUE(writer.valid()) << "error " << GetLastError();
}

TEST(ShareModes, AnotherFileIsNotAffected)
{
    test::TempDir dir;
    test::WriteDenseFile(dir / "one.bin", kOriginal);
    test::WriteDenseFile(dir / "two.bin", kOriginal);
    ScopedHandle one(Open(dir / "one.bin", GENERIC_READ | GENERIC_WRITE, 0));
    ASSERT_TRUE(one.valid());
    ScopedHandle two(Open(dir / "two.bin", GENERIC_READ | GENERIC_WRITE, 0));
    EXPECT_TRUE(two.valid()) << "error " << GetLastError();
}

}  // namespace
