// The reversible mapping between names on disk and the program's UTF-16
// text, first as pure conversions, then through a real folder listing.
#include "platform/linux/paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "platform/winapi.h"
#include "tests/support/sparse_files.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wide.h"

namespace {

struct NameCase {
    const char* what;
    std::string bytes;
};

// Names a Linux folder may hold, valid UTF-8 or not.
const std::vector<NameCase>& OnDiskNames()
{
    static const std::vector<NameCase> names = {
        {"plain ascii", "report.txt"},
        {"chinese utf-8", "\xe6\x8a\xa5\xe5\x91\x8a.txt"},
        {"invalid byte ff", "bad\xff.bin"},
        {"lone continuation byte", "x\x80y"},
        {"truncated 3-byte sequence", "cut\xe4\xb8"},
        {"truncated sequence before ascii", "cut\xe4\xb8z"},
        {"overlong slash", "over\xc0\xaflong"},
        {"overlong backslash", "over\xc1\x9clong"},
        {"encoded high surrogate", "sur\xed\xa0\x80"},
        {"encoded low surrogate", "sur\xed\xb2\x80"},
        {"above U+10FFFF", "big\xf4\x90\x80\x80"},
        {"backslash inside a name", "a\\b"},
        {"name really holding U+F05C", "real\xef\x81\x9c"},
        {"4-byte emoji", "smile\xf0\x9f\x98\x80"},
        {"supplementary char whose low half looks like an escape", "\xf0\x90\x82\x80"},
    };
    return names;
}

std::string ToPath(const std::u16string& text)
{
    std::string bytes;
    EXPECT_TRUE(platform::PathToNative(text.c_str(), bytes)) << "refused: " << test::U8(text.c_str());
    return bytes;
}

TEST(NameMapping, EveryOnDiskNameRoundTripsByteExact)
{
    for (const NameCase& name : OnDiskNames()) {
        SCOPED_TRACE(name.what);
        std::u16string text = platform::NameFromNative(name.bytes);
        EXPECT_EQ(text.find(u'\\'), std::u16string::npos) << "a name must never hold a separator";
        EXPECT_EQ(text.find(u'/'), std::u16string::npos) << "a name must never hold a separator";
        EXPECT_EQ(ToPath(text), name.bytes);
    }
}

TEST(NameMapping, DistinctNamesStayDistinct)
{
    std::map<std::u16string, std::string> seen;
    for (const NameCase& name : OnDiskNames()) {
        auto inserted = seen.emplace(platform::NameFromNative(name.bytes), name.bytes);
        EXPECT_TRUE(inserted.second) << name.what << " maps like " << inserted.first->second;
    }
}

TEST(NameMapping, ValidUtf8DecodesToItsCharacters)
{
    EXPECT_EQ(platform::NameFromNative("\xe6\x8a\xa5\xe5\x91\x8a"), u"\u62a5\u544a");
    EXPECT_EQ(platform::NameFromNative("\xf0\x9f\x98\x80"), u"\U0001F600");
    EXPECT_EQ(platform::TextToNative(u"\u62a5\u544a \U0001F600"), "\xe6\x8a\xa5\xe5\x91\x8a \xf0\x9f\x98\x80");
}

TEST(NameMapping, TextKeepsABackslashButANameDoesNot)
{
    EXPECT_EQ(platform::TextFromNative("C:\\folder"), u"C:\\folder");
    EXPECT_NE(platform::NameFromNative("a\\b"), u"a\\b");
}

TEST(PathMapping, BothSlashAndBackslashSeparate)
{
    EXPECT_EQ(ToPath(u"/tmp\\one/two\\three"), "/tmp/one/two/three");
}

TEST(PathMapping, ANameFromDiskKeepsItsBackslashInsideAPath)
{
    std::u16string path = u"/tmp\\" + platform::NameFromNative("a\\b");
    EXPECT_EQ(ToPath(path), "/tmp/a\\b");
}

TEST(PathMapping, SurrogatesNoNameCanCarryAreRefused)
{
    const std::u16string refused[] = {
        std::u16string(u"/tmp/x") + char16_t(0xD83D),                    // lone high, at the end
        std::u16string(u"/tmp/") + char16_t(0xD83D) + u"x",              // lone high, mid-name
        std::u16string(u"/tmp/") + char16_t(0xDC41),                     // low, below the escapes
        std::u16string(u"/tmp/") + char16_t(0xDE00),                     // low, above the escapes
    };
    for (const std::u16string& path : refused) {
        std::string bytes;
        EXPECT_FALSE(platform::PathToNative(path.c_str(), bytes)) << test::U8(path.c_str());
    }
}

// Files with awkward names, each with its own content, listed and opened
// through the Windows calls.
class NamesOnDisk : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const NameCase& name : OnDiskNames())
            Create(name.bytes, "content of " + std::string(name.what));
        test::MakeFolder(dir / "a");
        Create("a/b", "content of b inside folder a");
    }

    void Create(const std::string& relative, const std::string& content)
    {
        test::WriteDenseFile(dir / relative, content);
        expected[relative] = content;
    }

    std::u16string WideDir() const { return test::W(dir.path()); }

    test::TempDir dir;
    std::map<std::string, std::string> expected;  // on-disk relative path -> content
};

std::string ReadThroughHandle(const std::u16string& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        ADD_FAILURE() << "cannot open " << test::U8(path.c_str()) << ": error " << GetLastError();
        return {};
    }
    char buffer[256];
    DWORD count = 0;
    EXPECT_TRUE(ReadFile(file, buffer, sizeof buffer, &count, NULL));
    CloseHandle(file);
    return std::string(buffer, count);
}

std::vector<WIN32_FIND_DATAW> ListAll(const std::u16string& pattern)
{
    std::vector<WIN32_FIND_DATAW> entries;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        ADD_FAILURE() << "cannot list " << test::U8(pattern.c_str()) << ": error " << GetLastError();
        return entries;
    }
    do
        entries.push_back(data);
    while (FindNextFileW(find, &data));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_MORE_FILES);
    FindClose(find);
    return entries;
}

TEST_F(NamesOnDisk, EachListedNameOpensExactlyItsOwnFile)
{
    std::map<std::string, std::string> found;
    for (const WIN32_FIND_DATAW& entry : ListAll(WideDir() + u"\\*.*")) {
        std::u16string name = entry.cFileName;
        if (name == u"." || name == u".." || (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        std::string onDisk = ToPath(name);
        EXPECT_EQ(found.count(onDisk), 0u) << "listed twice: " << onDisk;
        found[onDisk] = ReadThroughHandle(WideDir() + u"\\" + name);
    }
    found["a/b"] = ReadThroughHandle(WideDir() + u"\\a\\b");

    EXPECT_EQ(found, expected);
}

TEST_F(NamesOnDisk, TheFolderAListsOnlyItsOwnFile)
{
    std::vector<std::u16string> names;
    for (const WIN32_FIND_DATAW& entry : ListAll(WideDir() + u"/a\\*.*"))
        names.push_back(entry.cFileName);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::u16string>{u".", u"..", u"b"}));
}

}  // namespace
