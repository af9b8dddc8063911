// Folder listing through FindFirstFileW, FindNextFileW and FindClose.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/winapi.h"
#include "tests/support/sparse_files.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wide.h"

namespace {

struct Listed {
    bool folder;
    ULONGLONG size;
    bool operator==(const Listed& other) const { return folder == other.folder && size == other.size; }
};

std::ostream& operator<<(std::ostream& out, const Listed& entry)
{
    return out << (entry.folder ? "folder" : "file") << " of " << entry.size << " bytes";
}

class FindFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::WriteDenseFile(dir / "plain.txt", "12345");
        test::WriteDenseFile(dir / "noextension", "1234567");
        test::WriteDenseFile(dir / "Report.TXT", "");
        test::MakeFolder(dir / "sub");
    }

    std::u16string Pattern(const std::string& mask) const { return test::W(dir.path()) + u"\\" + test::W(mask); }

    // Lists pattern to its end: name -> what was listed. Fails the test when
    // the listing does not end with ERROR_NO_MORE_FILES.
    std::map<std::string, Listed> List(const std::string& mask)
    {
        std::map<std::string, Listed> entries;
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW(Pattern(mask).c_str(), &data);
        if (find == INVALID_HANDLE_VALUE)
            return entries;
        do {
            bool folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            ULONGLONG size = ((ULONGLONG)data.nFileSizeHigh << 32) | data.nFileSizeLow;
            entries[test::U8(data.cFileName)] = Listed{folder, folder ? 0 : size};
        } while (FindNextFileW(find, &data));
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_MORE_FILES);
        EXPECT_TRUE(FindClose(find));
        return entries;
    }

    test::TempDir dir;
};

TEST_F(FindFiles, StarDotStarListsEveryEntry)
{
    const std::map<std::string, Listed> expected = {
        {".", {true, 0}},           {"..", {true, 0}},          {"sub", {true, 0}},
        {"plain.txt", {false, 5}},  {"noextension", {false, 7}}, {"Report.TXT", {false, 0}},
    };
    EXPECT_EQ(List("*.*"), expected);
}

TEST_F(FindFiles, MasksSelectNamesIgnoringCase)
{
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"*", {".", "..", "Report.TXT", "noextension", "plain.txt", "sub"}},
        {"*.txt", {"Report.TXT", "plain.txt"}},
        {"?LAIN.*", {"plain.txt"}},
        {"no*", {"noextension"}},
        {"sub", {"sub"}},
    };
    for (const auto& [mask, names] : cases) {
        SCOPED_TRACE(mask);
        std::vector<std::string> listed;
        for (const auto& entry : List(mask))
            listed.push_back(entry.first);
        EXPECT_EQ(listed, names);
    }
}

TEST_F(FindFiles, FailsWithoutAFolderToList)
{
    const std::pair<const char*, DWORD> cases[] = {
        {"missing\\*.*", ERROR_PATH_NOT_FOUND},
        {"missing\\deeper\\*.*", ERROR_PATH_NOT_FOUND},
        {"plain.txt\\*.*", ERROR_PATH_NOT_FOUND},
        {"*.nothing", ERROR_FILE_NOT_FOUND},
    };
    for (const auto& [mask, error] : cases) {
        SCOPED_TRACE(mask);
        WIN32_FIND_DATAW data;
        SetLastError(NO_ERROR);
        EXPECT_EQ(FindFirstFileW(Pattern(mask).c_str(), &data), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), error);
    }
}

TEST_F(FindFiles, StaysAtTheEndOnceThere)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(Pattern("plain.txt").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_EQ(test::U8(data.cFileName), "plain.txt");
    for (int i = 0; i < 2; i++) {
        SetLastError(NO_ERROR);
        EXPECT_FALSE(FindNextFileW(find, &data));
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_MORE_FILES);
    }
    EXPECT_TRUE(FindClose(find));
    EXPECT_FALSE(FindClose(find));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
}

TEST_F(FindFiles, FindCallsRefuseAFileHandleAndLeaveItOpen)
{
    HANDLE file = CreateFileW(test::W(dir / "plain.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                              OPEN_EXISTING, 0, NULL);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    WIN32_FIND_DATAW data;
    EXPECT_FALSE(FindNextFileW(file, &data));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_FALSE(FindClose(file));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);

    LARGE_INTEGER size;
    EXPECT_TRUE(GetFileSizeEx(file, &size)) << "FindClose closed a file handle";
    EXPECT_TRUE(CloseHandle(file));
}

}  // namespace
