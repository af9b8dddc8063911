// The dialog template reader: the program's main dialog as the resource
// compiler made it, samples of the classic and the extended form, and
// templates cut short.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/api/resource.h"
#include "platform/linux/dialog_template.h"
#include "platform/linux/resource_image.h"
#include "res/resource.h"
#include "tests/support/sparse_files.h"

namespace {

using platform::DialogItemTemplate;
using platform::DialogTemplate;

struct ExpectedItem {
    int id;
    std::u16string className;  // compared without regard to case, as classes are looked up
    std::u16string title;
    short x, y, cx, cy;
    DWORD style;
    DWORD exStyle = 0;
    DWORD helpId = 0;
    WORD titleOrdinal = 0;  // nonzero: the title is this ordinal
    std::vector<BYTE> creationData = {};
};

std::u16string Upper(std::u16string text)
{
    for (char16_t& c : text)
        c = c >= u'a' && c <= u'z' ? c - u'a' + u'A' : c;
    return text;
}

void ExpectItems(const std::vector<DialogItemTemplate>& items, const std::vector<ExpectedItem>& expected)
{
    ASSERT_EQ(items.size(), expected.size());
    for (size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE("item " + std::to_string(i + 1));
        const DialogItemTemplate& item = items[i];
        const ExpectedItem& want = expected[i];
        EXPECT_EQ(item.id, want.id);
        EXPECT_EQ(Upper(item.className), Upper(want.className));
        EXPECT_EQ(item.title, want.title);
        EXPECT_EQ(item.titleIsOrdinal, want.titleOrdinal != 0);
        EXPECT_EQ(item.titleOrdinal, want.titleOrdinal);
        EXPECT_EQ(item.x, want.x);
        EXPECT_EQ(item.y, want.y);
        EXPECT_EQ(item.cx, want.cx);
        EXPECT_EQ(item.cy, want.cy);
        EXPECT_EQ(item.style, want.style) << std::hex << "0x" << item.style << " against 0x" << want.style;
        EXPECT_EQ(item.exStyle, want.exStyle);
        EXPECT_EQ(item.helpId, want.helpId);
        EXPECT_EQ(item.creationData, want.creationData);
    }
}

std::vector<BYTE> MainDialogBytes()
{
    HRSRC resource = FindResourceW(NULL, MAKEINTRESOURCEW(IDD_MAIN), RT_DIALOG);
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(NULL, resource)));
    return data ? std::vector<BYTE>(data, data + SizeofResource(NULL, resource)) : std::vector<BYTE>();
}

// The bytes of dialog id in the compiled samples.
std::vector<BYTE> SampleDialogBytes(WORD id)
{
    const std::string image = test::ContentOf(CORVANE_SAMPLES_RES);
    const BYTE* bytes = reinterpret_cast<const BYTE*>(image.data());
    std::vector<platform::ResourceEntry> entries;
    EXPECT_TRUE(platform::ParseResourceImage(bytes, image.size(), &entries));
    for (const platform::ResourceEntry& entry : entries) {
        if (entry.type.isOrdinal && entry.type.ordinal == LOWORD(RT_DIALOG) && entry.name.isOrdinal &&
            entry.name.ordinal == id)
            return std::vector<BYTE>(bytes + entry.dataOffset, bytes + entry.dataOffset + entry.dataSize);
    }
    ADD_FAILURE() << "no dialog " << id << " in the samples";
    return {};
}

bool Parse(const std::vector<BYTE>& bytes, DialogTemplate* dialog)
{
    return platform::ParseDialogTemplate(bytes.data(), bytes.size(), dialog);
}

// The one description of the main dialog's layout; the template is its
// only source, and this guards it.
TEST(DialogTemplate, MainDialogIsLaidOutAsDesigned)
{
    DialogTemplate dialog;
    ASSERT_TRUE(Parse(MainDialogBytes(), &dialog));
    EXPECT_TRUE(dialog.extended);
    EXPECT_EQ(dialog.style, 0x90CA00C8u);  // popup, visible, caption, system menu, minimise box, modal frame, shell font
    EXPECT_EQ(dialog.exStyle, 0x00040000u);  // WS_EX_APPWINDOW
    EXPECT_EQ(dialog.helpId, 0u);
    EXPECT_EQ(dialog.x, 0);
    EXPECT_EQ(dialog.y, 0);
    EXPECT_EQ(dialog.cx, 267);
    EXPECT_EQ(dialog.cy, 101);
    EXPECT_EQ(dialog.menu, u"");
    EXPECT_EQ(dialog.className, u"");
    EXPECT_EQ(dialog.title, u"个人磁盘备份工具");
    EXPECT_TRUE(dialog.hasFont);
    EXPECT_EQ(dialog.pointSize, 9);
    EXPECT_EQ(dialog.weight, 0);
    EXPECT_EQ(dialog.italic, 0);
    EXPECT_EQ(dialog.charset, 1);  // DEFAULT_CHARSET
    EXPECT_EQ(dialog.typeface, u"MS Shell Dlg");

    const DWORD label = 0x50020000, field = 0x50810080, button = 0x50010000;
    ExpectItems(dialog.items, {
        {IDC_STATIC, u"Static", u"个人磁盘文件源路径:", 12, 13, 71, 8, label},
        {IDC_STATIC, u"Static", u"个人磁盘文件目的路径:", 12, 30, 71, 8, label},
        {IDC_SOURCE_EDIT, u"Edit", u"", 85, 11, 147, 14, field},
        {IDC_TARGET_EDIT, u"Edit", u"", 85, 28, 146, 14, field},
        {IDC_BROWSE_SOURCE, u"Button", u"...", 234, 11, 20, 14, button},
        {IDC_BROWSE_TARGET, u"Button", u"...", 234, 28, 20, 14, button},
        {IDC_STATIC, u"Static", u"复制进度:", 12, 48, 37, 8, label},
        {IDC_COPY_PROGRESS, u"msctls_progress32", u"", 85, 45, 169, 14, 0x50800000},
        {IDC_START, u"Button", u"开始复制", 147, 80, 50, 14, button},
        {IDC_STOP, u"Button", u"停止复制", 204, 80, 50, 14, 0x58010000},
        {IDC_STATUS, u"Static", u"", 85, 62, 168, 8, label},
    });
}

TEST(DialogTemplate, ReadsTheClassicForm)
{
    DialogTemplate dialog;
    ASSERT_TRUE(Parse(SampleDialogBytes(300), &dialog));
    EXPECT_FALSE(dialog.extended);
    EXPECT_EQ(dialog.style, 0x80C00040u);
    EXPECT_EQ(dialog.x, 10);
    EXPECT_EQ(dialog.y, 20);
    EXPECT_EQ(dialog.cx, 200);
    EXPECT_EQ(dialog.cy, 100);
    EXPECT_EQ(dialog.menu, u"#5");
    EXPECT_EQ(Upper(dialog.className), u"SAMPLECLASS");
    EXPECT_EQ(dialog.title, u"Classic");
    EXPECT_TRUE(dialog.hasFont);
    EXPECT_EQ(dialog.pointSize, 8);
    EXPECT_EQ(dialog.typeface, u"MS Sans Serif");

    ExpectItems(dialog.items, {
        {-1, u"Static", u"Name:", 1, 2, 3, 4, 0x50020000},
        {10, u"Edit", u"", 5, 6, 7, 8, 0x50810000},
        {1, u"Button", u"OK", 9, 10, 11, 12, 0x50010000},
        {11, u"ListBox", u"", 13, 14, 15, 16, 0x50800001},
        {12, u"ScrollBar", u"", 17, 18, 19, 20, 0x50000000},
        {13, u"ComboBox", u"", 21, 22, 23, 24, 0x50010001},
        {14, u"Static", u"", 25, 26, 0, 0, 0x50000003, 0, 0, 128},
        {15, u"SampleControl", u"Own", 29, 30, 31, 32, 0x50010000},
    });
}

TEST(DialogTemplate, ReadsHelpIdsFontAndCreationDataOfTheExtendedForm)
{
    DialogTemplate dialog;
    ASSERT_TRUE(Parse(SampleDialogBytes(301), &dialog));
    EXPECT_TRUE(dialog.extended);
    EXPECT_EQ(dialog.helpId, 77u);
    EXPECT_EQ(dialog.exStyle, 0x80u);  // WS_EX_TOOLWINDOW
    EXPECT_EQ(Upper(dialog.menu), u"SAMPLEMENU");
    EXPECT_EQ(dialog.title, u"Extended");
    EXPECT_EQ(dialog.pointSize, 10);
    EXPECT_EQ(dialog.weight, 700);
    EXPECT_EQ(dialog.italic, 1);
    EXPECT_EQ(dialog.charset, 134);
    EXPECT_EQ(dialog.typeface, u"Segoe UI");

    ExpectItems(dialog.items, {
        {40, u"Button", u"With data", 1, 2, 3, 4, 0x50000000, 0x200, 55, 0, {0x01, 0x02, 0x03, 0x04}},
        {65535, u"Static", u"", 5, 6, 7, 8, 0x50000000},  // a 32-bit id: 65535 is not -1 here
    });
}

TEST(DialogTemplate, RefusesTemplatesCutShortAndOtherData)
{
    struct Case {
        const char* what;
        std::vector<BYTE> whole;
    };
    const Case templates[] = {
        {"main dialog", MainDialogBytes()},
        {"classic sample", SampleDialogBytes(300)},
        {"extended sample", SampleDialogBytes(301)},
    };
    for (const Case& c : templates) {
        DialogTemplate dialog;
        ASSERT_TRUE(Parse(c.whole, &dialog)) << c.what;
        for (size_t length = 0; length < c.whole.size(); ++length) {
            // An exact copy, so that a read past its end is a sanitizer error.
            std::vector<BYTE> cut(c.whole.begin(), c.whole.begin() + length);
            EXPECT_FALSE(Parse(cut, &dialog)) << c.what << " cut at " << length;
        }
    }

    std::vector<BYTE> otherVersion = MainDialogBytes();
    otherVersion[0] = 2;  // the extended form's signature with a version it does not have
    DialogTemplate dialog;
    EXPECT_FALSE(Parse(otherVersion, &dialog));
}

}  // namespace
