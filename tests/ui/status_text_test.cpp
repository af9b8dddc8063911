#include "ui/status_text.h"

#include <gtest/gtest.h>

#include "tests/support/wide.h"

namespace {

struct StatusCase {
    int state;
    int error;
    const char* file;
    int total;
    int copied;
    const char* expected;  // null: no text
};

TEST(StatusText, EachStateHasItsWords)
{
    const StatusCase cases[] = {
        {CopyStateError, CopyErrorStopped, "", 3, 0, "复制错误,(错误号:0)"},
        {CopyStateError, CopyErrorCopyRange, "D:\\src\\a.img", 3, 1, "复制D:\\src\\a.img错误,(错误号:3)"},
        {CopyStateStarted, 0, "", 0, 0, "开始复制文件(共0个文件)"},
        {CopyStateStarted, 0, "", 2147483647, 0, "开始复制文件(共2147483647个文件)"},
        {CopyStateCopying, 0, "/data/虚拟机.img", 3, 1, "复制/data/虚拟机.img中..."},
        {CopyStateFinished, 0, "x", 3, 2, "复制完毕(共3个文件,复制了2个文件)"},
        {4, 0, "x", 1, 1, nullptr},
        {-1, 0, "x", 1, 1, nullptr},
    };
    for (const StatusCase& c : cases) {
        CopyProgress progress = {};
        progress.nState = c.state;
        progress.nError = c.error;
        StringCchCopyW(progress.szCurrentFile, COPY_PATH_CCH, test::W(c.file).c_str());
        progress.nTotalFiles = c.total;
        progress.nCopiedFiles = c.copied;
        CString text = u"untouched";
        BOOL shown = FormatCopyStatus(&progress, text);
        EXPECT_EQ(shown, c.expected != nullptr) << c.state;
        EXPECT_EQ(test::U8(text.GetString()), c.expected ? c.expected : "untouched");
    }
}

TEST(StatusText, ALongestPathFitsWhole)
{
    CopyProgress progress = {};
    progress.nState = CopyStateError;
    progress.nError = CopyErrorCreateTarget;
    std::u16string path(COPY_PATH_CCH - 1, u'p');
    StringCchCopyW(progress.szCurrentFile, COPY_PATH_CCH, path.c_str());
    CString text;
    ASSERT_TRUE(FormatCopyStatus(&progress, text));
    EXPECT_EQ(std::u16string(text.GetString()), u"复制" + path + u"错误,(错误号:2)");
}

}  // namespace
