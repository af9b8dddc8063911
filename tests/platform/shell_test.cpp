// SHCreateDirectory: a folder and its missing parents.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/winapi.h"
#include "tests/support/sparse_files.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wide.h"

namespace {

int CreateFolder(const std::string& path)
{
    return SHCreateDirectory(NULL, test::W(path).c_str());
}

TEST(SHCreateDirectory, MakesTheFolderWithItsMissingParents)
{
    test::TempDir dir;
    struct Case {
        const char* what;
        const char* relative;  // as the program passes it
        const char* made;      // the folder that must exist afterwards
    } cases[] = {
        {"three missing levels", "one\\two\\three", "one/two/three"},
        {"forward slashes", "a/b/c", "a/b/c"},
        {"a trailing separator", "trailing\\x\\", "trailing/x"},
        {"doubled separators", "doubled\\\\y//z", "doubled/y/z"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(CreateFolder(dir.path() + "\\" + c.relative), ERROR_SUCCESS);
        EXPECT_TRUE(std::filesystem::is_directory(dir / c.made)) << c.made;
    }
}

TEST(SHCreateDirectory, AnExistingFolderIsReportedAsSuch)
{
    test::TempDir dir;
    test::MakeFolder(dir / "there");
    EXPECT_EQ(CreateFolder(dir / "there"), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(CreateFolder(dir / "there\\"), ERROR_ALREADY_EXISTS);
}

TEST(SHCreateDirectory, AFileInTheWayFails)
{
    test::TempDir dir;
    test::WriteDenseFile(dir / "file", "content");
    for (const char* relative : {"file", "file\\below", "file\\below\\deeper"}) {
        SCOPED_TRACE(relative);
        int result = CreateFolder(dir / relative);
        EXPECT_NE(result, ERROR_SUCCESS);
        EXPECT_NE(result, ERROR_ALREADY_EXISTS);
        EXPECT_EQ(GetLastError(), (DWORD)result);
    }
    EXPECT_EQ(test::SizeOf(dir / "file"), 7);
}

}  // namespace
