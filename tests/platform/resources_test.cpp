// The program's resources as the resource calls find them, lookup by every
// name form, and images of compiled resources that are not well formed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/api/kernel.h"
#include "platform/api/resource.h"
#include "platform/linux/byte_reader.h"
#include "platform/linux/resources.h"
#include "res/resource.h"
#include "tests/support/sparse_files.h"
#include "tests/support/wide.h"

namespace {

const WORD kChinese = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);
const WORD kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
const HMODULE kBogusModule = (HMODULE)(ULONG_PTR)0x12340000;

// The text of string 103 as the program shows it.
const std::u16string kSocketsFailed = u"Windows 套接字初始化失败。";

std::string ResourceBytes(HRSRC resource)
{
    const char* data = static_cast<const char*>(LockResource(LoadResource(NULL, resource)));
    return data ? std::string(data, SizeofResource(NULL, resource)) : std::string();
}

// Installs image as the program's resources, from a buffer of exactly its
// size, so that a read past its end is an error the sanitizer sees.
void InstallResources(const std::string& image)
{
    std::vector<BYTE> exact(image.begin(), image.end());
    platform::SetProgramResources(exact.data(), exact.size());
}

// Gives a test other resources and the program its own back afterwards.
class OtherResources : public ::testing::Test {
protected:
    void TearDown() override { InstallResources(test::ContentOf(CORVANE_PROGRAM_RES)); }
};

// --- The program's own resources, linked into the test. ------------------

TEST(ProgramResources, AllButTheManifestAreInSimplifiedChinese)
{
    struct Case {
        const char* what;
        LPCWSTR type;
        WORD name;
    };
    const Case resources[] = {
        {"main dialog", RT_DIALOG, IDD_MAIN},
        {"string block of 103", RT_STRING, IDP_SOCKETS_INIT_FAILED / 16 + 1},
        {"icon group", RT_GROUP_ICON, IDR_MAINFRAME},
        {"version block", RT_VERSION, 1},
    };
    for (const Case& c : resources) {
        EXPECT_NE(FindResourceExW(NULL, c.type, MAKEINTRESOURCEW(c.name), kChinese), nullptr) << c.what;
        EXPECT_EQ(FindResourceExW(NULL, c.type, MAKEINTRESOURCEW(c.name), kEnglish), nullptr) << c.what;
    }
    EXPECT_NE(FindResourceExW(NULL, RT_MANIFEST, MAKEINTRESOURCEW(1), kEnglish), nullptr);
    EXPECT_EQ(FindResourceExW(NULL, RT_MANIFEST, MAKEINTRESOURCEW(1), kChinese), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_RESOURCE_LANG_NOT_FOUND);
}

TEST(ProgramResources, LoadStringCopiesTruncatesAndReportsMissingStrings)
{
    struct Case {
        const char* what;
        UINT id;
        int room;
        int result;
        std::u16string text;
        DWORD error;  // checked when the result is 0
    };
    const int length = (int)kSocketsFailed.size();
    const Case cases[] = {
        {"room to spare", IDP_SOCKETS_INIT_FAILED, 64, length, kSocketsFailed, 0},
        {"exact fit with the terminator", IDP_SOCKETS_INIT_FAILED, length + 1, length, kSocketsFailed, 0},
        {"one unit short", IDP_SOCKETS_INIT_FAILED, length, length - 1, kSocketsFailed.substr(0, length - 1), 0},
        {"room for four", IDP_SOCKETS_INIT_FAILED, 5, 4, u"Wind", 0},
        {"room only for the terminator", IDP_SOCKETS_INIT_FAILED, 1, 0, u"", NO_ERROR},
        {"empty slot of the same block", IDP_SOCKETS_INIT_FAILED + 1, 64, 0, u"",
         ERROR_RESOURCE_NAME_NOT_FOUND},
        {"block that does not exist", 5000, 64, 0, u"", ERROR_RESOURCE_NAME_NOT_FOUND},
    };
    for (const Case& c : cases) {
        std::vector<WCHAR> buffer(70, u'#');
        SetLastError(NO_ERROR);
        EXPECT_EQ(LoadStringW(GetModuleHandleW(NULL), c.id, buffer.data(), c.room), c.result) << c.what;
        EXPECT_EQ(std::u16string(buffer.data()), c.text) << c.what;
        if (c.result == 0 && c.error != NO_ERROR) {
            EXPECT_EQ(GetLastError(), c.error) << c.what;
        }
    }
}

TEST(ProgramResources, LoadStringWithoutRoomGivesAPointerToTheText)
{
    const WCHAR* text = nullptr;
    ASSERT_EQ(LoadStringW(NULL, IDP_SOCKETS_INIT_FAILED, (LPWSTR)&text, 0), (int)kSocketsFailed.size());
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::u16string(text, kSocketsFailed.size()), kSocketsFailed);
}

TEST(ProgramResources, IconIsOneImageOf48PixelsWithAlpha)
{
    std::string group = ResourceBytes(FindResourceW(NULL, MAKEINTRESOURCEW(IDR_MAINFRAME), RT_GROUP_ICON));
    platform::ByteReader reader(group.data(), group.size());
    WORD reserved, type, count, planes, bitCount;
    BYTE width, height;
    ASSERT_TRUE(reader.Read(&reserved) && reader.Read(&type) && reader.Read(&count) && reader.Read(&width) &&
                reader.Read(&height) && reader.Skip(2) && reader.Read(&planes) && reader.Read(&bitCount));
    EXPECT_EQ(count, 1);
    EXPECT_EQ(width, 48);
    EXPECT_EQ(height, 48);
    EXPECT_EQ(bitCount, 32);

    HICON icon = LoadIconW(NULL, MAKEINTRESOURCEW(IDR_MAINFRAME));
    const platform::IconImage* image = platform::IconImageOf(icon);
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(image->width, 48);
    ASSERT_EQ(image->height, 48);
    ASSERT_EQ(image->argb.size(), 48u * 48u);
    auto alpha = [](uint32_t p) { return p >> 24; };
    auto pixel = [&](int x, int y) { return image->argb[y * 48 + x]; };
    EXPECT_EQ(alpha(pixel(0, 0)), 0u) << "the corners are transparent";
    EXPECT_TRUE(std::any_of(image->argb.begin(), image->argb.end(),
                            [&](uint32_t p) { return alpha(p) > 0 && alpha(p) < 255; }))
        << "edges are antialiased";
    // Rows run top to bottom: the arrow arcs over the top, the drive sits
    // at the bottom.
    uint32_t arrow = pixel(24, 10), drive = pixel(24, 43);
    EXPECT_EQ(alpha(arrow), 255u);
    EXPECT_GT((int)(arrow & 0xFF), (int)((arrow >> 16) & 0xFF) + 60) << "blue";
    EXPECT_EQ(alpha(drive), 255u);
    EXPECT_LT(std::abs((int)(drive & 0xFF) - (int)((drive >> 16) & 0xFF)), 40) << "grey";
}

TEST(ProgramResources, IconLoadsOnceUnderEveryName)
{
    HICON icon = LoadIconW(NULL, MAKEINTRESOURCEW(IDR_MAINFRAME));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(LoadIconW(GetModuleHandleW(NULL), MAKEINTRESOURCEW(IDR_MAINFRAME)), icon);
    EXPECT_EQ(LoadIconW(NULL, u"#128"), icon);
    EXPECT_EQ(platform::IconImageOf((HICON)&icon), nullptr);
    EXPECT_EQ(platform::IconImageOf(NULL), nullptr);

    EXPECT_EQ(LoadIconW(NULL, MAKEINTRESOURCEW(129)), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_RESOURCE_NAME_NOT_FOUND);
}

TEST(ProgramResources, OnlyTheProgramIsAModule)
{
    EXPECT_NE(GetModuleHandleW(NULL), nullptr);
    EXPECT_EQ(GetModuleHandleW(NULL), GetModuleHandleW(NULL));
    EXPECT_EQ(GetModuleHandleW(u"kernel32.dll"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_MOD_NOT_FOUND);

    HRSRC dialog = FindResourceW(NULL, MAKEINTRESOURCEW(IDD_MAIN), RT_DIALOG);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(FindResourceW(GetModuleHandleW(NULL), MAKEINTRESOURCEW(IDD_MAIN), RT_DIALOG), dialog);

    struct Call {
        const char* what;
        bool (*failsWithBogusModule)();
    };
    const Call calls[] = {
        {"FindResourceW", [] { return FindResourceW(kBogusModule, MAKEINTRESOURCEW(IDD_MAIN), RT_DIALOG) == NULL; }},
        {"FindResourceExW",
         [] { return FindResourceExW(kBogusModule, RT_DIALOG, MAKEINTRESOURCEW(IDD_MAIN), 0) == NULL; }},
        {"LoadResource",
         [] { return LoadResource(kBogusModule, FindResourceW(NULL, MAKEINTRESOURCEW(IDD_MAIN), RT_DIALOG)) == NULL; }},
        {"SizeofResource",
         [] { return SizeofResource(kBogusModule, FindResourceW(NULL, MAKEINTRESOURCEW(IDD_MAIN), RT_DIALOG)) == 0; }},
        {"LoadStringW",
         [] {
             WCHAR buffer[8];
             return LoadStringW((HINSTANCE)kBogusModule, IDP_SOCKETS_INIT_FAILED, buffer, 8) == 0;
         }},
        {"LoadIconW", [] { return LoadIconW((HINSTANCE)kBogusModule, MAKEINTRESOURCEW(IDR_MAINFRAME)) == NULL; }},
    };
    for (const Call& call : calls) {
        SetLastError(NO_ERROR);
        EXPECT_TRUE(call.failsWithBogusModule()) << call.what;
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE) << call.what;
    }
}

TEST(ProgramResources, ResourceHandlesThatWereNeverGivenOutAreRefused)
{
    for (ULONG_PTR bogus : {(ULONG_PTR)0, (ULONG_PTR)100000}) {
        SetLastError(NO_ERROR);
        EXPECT_EQ(LoadResource(NULL, (HRSRC)bogus), nullptr) << bogus;
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE) << bogus;
        EXPECT_EQ(SizeofResource(NULL, (HRSRC)bogus), 0u) << bogus;
    }
}

// --- Lookup by every name form, in the compiled samples. -----------------

class ResourceLookup : public OtherResources {
protected:
    void SetUp() override { InstallResources(test::ContentOf(CORVANE_SAMPLES_RES)); }
};

TEST_F(ResourceLookup, FindsByOrdinalStringAndNumberText)
{
    struct Case {
        const char* what;
        LPCWSTR type;
        LPCWSTR name;
        int language;  // -1: FindResourceW, which takes the first language
        std::string data;
        DWORD error;
    };
    const Case cases[] = {
        {"string type and name", u"SampleType", u"SampleData", -1, "english", 0},
        {"in another case", u"sAMPLEtYPE", u"sampledata", -1, "english", 0},
        {"in a given language", u"SampleType", u"SampleData", kChinese, "chinese", 0},
        {"neutral means any", u"SampleType", u"SampleData", LANG_NEUTRAL, "english", 0},
        {"language it is not in", u"SampleType", u"SampleData", MAKELANGID(0x07, 0x01), "",
         ERROR_RESOURCE_LANG_NOT_FOUND},
        {"ordinal name", u"SampleType", MAKEINTRESOURCEW(7), -1, "seven", 0},
        {"ordinal name as #7", u"SampleType", u"#7", -1, "seven", 0},
        {"ordinal type as #5", u"#5", MAKEINTRESOURCEW(300), -1, "", 0},
        {"#007 is 7 too", u"SampleType", u"#007", -1, "seven", 0},
        {"#70000 is no ordinal", u"SampleType", u"#70000", -1, "", ERROR_RESOURCE_NAME_NOT_FOUND},
        {"'#' alone is a string", u"SampleType", u"#", -1, "", ERROR_RESOURCE_NAME_NOT_FOUND},
        {"ordinal 7 is not the string \"7\"", u"SampleType", u"7", -1, "", ERROR_RESOURCE_NAME_NOT_FOUND},
        {"missing name", u"SampleType", u"Nothing", -1, "", ERROR_RESOURCE_NAME_NOT_FOUND},
        {"missing type", u"NoType", u"SampleData", -1, "", ERROR_RESOURCE_TYPE_NOT_FOUND},
        {"missing ordinal type", RT_STRING, MAKEINTRESOURCEW(1), -1, "", ERROR_RESOURCE_TYPE_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SetLastError(NO_ERROR);
        HRSRC found = c.language < 0 ? FindResourceW(NULL, c.name, c.type)
                                     : FindResourceExW(NULL, c.type, c.name, (WORD)c.language);
        if (c.error != 0) {
            EXPECT_EQ(found, nullptr) << c.what;
            EXPECT_EQ(GetLastError(), c.error) << c.what;
            continue;
        }
        ASSERT_NE(found, nullptr) << c.what;
        if (!c.data.empty()) {
            EXPECT_EQ(ResourceBytes(found), c.data + '\0') << c.what;
        }
    }
}

// --- Images that are not well formed. ------------------------------------

class MalformedImages : public OtherResources {};

TEST_F(MalformedImages, AreRejectedAsAWhole)
{
    const std::string samples = test::ContentOf(CORVANE_SAMPLES_RES);
    // The first resource after the 32-byte marker entry: its data size, its
    // header size, and its type and name as strings.
    const size_t dataSize = 32, headerSize = 36;
    struct Case {
        const char* what;
        std::string image;
    };
    auto changed = [&](size_t offset, DWORD value) {
        std::string image = samples;
        for (int i = 0; i < 4; ++i)
            image[offset + i] = (char)(value >> (8 * i));
        return image;
    };
    const Case cases[] = {
        {"data past the end", changed(dataSize, 0x7FFFFFF0)},
        {"data as long as the rest of the image", changed(dataSize, (DWORD)(samples.size() - 32))},
        {"header shorter than its fields", changed(headerSize, 16)},
        {"header past the end", changed(headerSize, 0xFFFFFFF0)},
        {"header size not a multiple of four", changed(headerSize, 0x46)},
        {"no marker entry", samples.substr(32)},
        {"marker entry with data", changed(0, 4)},
        {"last resource cut short by a byte", samples.substr(0, samples.size() - 1)},
        {"bytes after the last resource", samples + std::string(4, '\0')},
        {"nothing", ""},
        {"not a resource file", std::string(64, '\x5A')},
    };
    for (const Case& c : cases) {
        InstallResources(c.image);
        SetLastError(NO_ERROR);
        EXPECT_EQ(FindResourceW(NULL, u"SampleData", u"SampleType"), nullptr) << c.what;
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_RESOURCE_DATA_NOT_FOUND) << c.what;
    }
    InstallResources(samples);
    EXPECT_NE(FindResourceW(NULL, u"SampleData", u"SampleType"), nullptr) << "the unchanged samples";
}

TEST_F(MalformedImages, CutAtAnyLengthGivesWholeResourcesOrNone)
{
    const std::string image = test::ContentOf(CORVANE_PROGRAM_RES);
    struct Known {
        LPCWSTR type;
        WORD name;
        std::string bytes;
    };
    std::vector<Known> known;
    for (auto [type, name] : {std::pair<LPCWSTR, WORD>{RT_ICON, 1}, {RT_DIALOG, IDD_MAIN}, {RT_STRING, 7},
                              {RT_GROUP_ICON, IDR_MAINFRAME}, {RT_VERSION, 1}, {RT_MANIFEST, 1}})
        known.push_back({type, name, ResourceBytes(FindResourceW(NULL, MAKEINTRESOURCEW(name), type))});

    for (size_t length = 0; length < image.size(); ++length) {
        InstallResources(image.substr(0, length));
        int found = 0;
        for (const Known& resource : known) {
            HRSRC handle = FindResourceW(NULL, MAKEINTRESOURCEW(resource.name), resource.type);
            if (handle == NULL)
                continue;
            ++found;
            ASSERT_EQ(ResourceBytes(handle), resource.bytes) << "cut at " << length;
        }
        ASSERT_LT(found, (int)known.size()) << "cut at " << length;
    }
}

}  // namespace
