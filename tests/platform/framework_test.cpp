// The dialog framework's own rules: the string's formatting, and which
// handler a message map picks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/framework/afx.h"

namespace {

TEST(CStringTest, FormatGrowsToTheWholeText)
{
    std::u16string path(5000, u'p');
    CString text;
    text.Format(u"复制%s中...", path.c_str());
    EXPECT_EQ(std::u16string(text.GetString()), u"复制" + path + u"中...");
    text.Format(u"%d个", -7);
    EXPECT_EQ(std::u16string(text.GetString()), u"-7个");
    text.Format(u"%q");
    EXPECT_TRUE(text.IsEmpty()) << "a format the formatter refuses gives no text";
}

TEST(CStringTest, ABufferWrittenDirectlyEndsAtItsTerminator)
{
    CString text(u"old");
    LPWSTR buffer = text.GetBuffer(10);
    buffer[0] = u'n';
    buffer[1] = u'e';
    buffer[2] = u'w';
    buffer[3] = 0;
    text.ReleaseBuffer();
    EXPECT_EQ(text.GetLength(), 3);
    EXPECT_EQ(std::u16string(text.GetString()), u"new");
}

std::vector<std::string> g_calls;

class CBaseTarget : public CCmdTarget {
public:
    void OnFirst() { g_calls.push_back("base first"); }
    void OnSecond() { g_calls.push_back("base second"); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CBaseTarget, CCmdTarget)
    ON_COMMAND(1, &CBaseTarget::OnFirst)
    ON_COMMAND(2, &CBaseTarget::OnSecond)
    ON_BN_CLICKED(3, &CBaseTarget::OnSecond)
END_MESSAGE_MAP()

class CDerivedTarget : public CBaseTarget {
public:
    void OnOverride() { g_calls.push_back("derived first"); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CDerivedTarget, CBaseTarget)
    ON_COMMAND(1, &CDerivedTarget::OnOverride)
END_MESSAGE_MAP()

TEST(MessageMapTest, TheMostDerivedEntryWinsAndBasesCatchTheRest)
{
    g_calls.clear();
    CDerivedTarget target;
    EXPECT_TRUE(target.OnCmdMsg(1, BN_CLICKED));
    EXPECT_TRUE(target.OnCmdMsg(2, BN_CLICKED));
    EXPECT_FALSE(target.OnCmdMsg(3, EN_CHANGE)) << "the notification code must match too";
    EXPECT_FALSE(target.OnCmdMsg(4, BN_CLICKED));
    EXPECT_EQ(g_calls, (std::vector<std::string>{"derived first", "base second"}));
}

}  // namespace
