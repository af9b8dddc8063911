// The predefined controls on their own: what each keeps and what it tells
// its parent.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/view.h"
#include "platform/winapi.h"

namespace {

// A parent window that records the commands its controls send it.
struct Parent {
    HWND hwnd = nullptr;
    std::vector<WPARAM> commands;
};

Parent* g_parent = nullptr;

LRESULT CALLBACK ParentProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND && g_parent)
        g_parent->commands.push_back(wParam);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        static ATOM registered = [] {
            WNDCLASSW cls = {};
            cls.lpfnWndProc = ParentProc;
            cls.lpszClassName = u"ControlsTestParent";
            return RegisterClassW(&cls);
        }();
        ASSERT_NE(registered, 0);
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS};
        ASSERT_TRUE(InitCommonControlsEx(&icc));
        parent.hwnd = CreateWindowExW(0, u"ControlsTestParent", u"", WS_POPUP | WS_VISIBLE, 0, 0,
                                      200, 100, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(parent.hwnd, nullptr);
        g_parent = &parent;
    }

    void TearDown() override
    {
        DestroyWindow(parent.hwnd);
        g_parent = nullptr;
    }

    HWND MakeControl(LPCWSTR className, DWORD style = 0, int id = 7)
    {
        return CreateWindowExW(0, className, u"", WS_CHILD | WS_VISIBLE | style, 0, 0, 50, 20,
                               parent.hwnd, reinterpret_cast<HMENU>(INT_PTR(id)), nullptr, nullptr);
    }

    Parent parent;
};

TEST_F(ControlsTest, AProgressBarKeepsItsPositionInsideItsRange)
{
    HWND bar = MakeControl(PROGRESS_CLASSW);
    const struct {
        int low, high;   // the range set, or -1, -1 to leave it
        int position;    // the position set
        int expected;    // the position kept
    } steps[] = {
        {-1, -1, 50, 50}, {-1, -1, 150, 100}, {-1, -1, -5, 0},
        {0, 3, 2, 2},     {0, 3, 7, 3},       {0, 0, 1, 0},
        {10, 20, 5, 10},
    };
    for (const auto& step : steps) {
        if (step.low != -1)
            SendMessageW(bar, PBM_SETRANGE32, WPARAM(step.low), LPARAM(step.high));
        SendMessageW(bar, PBM_SETPOS, WPARAM(step.position), 0);
        EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), step.expected)
            << step.low << ".." << step.high << " at " << step.position;
    }
    PBRANGE range = {};
    EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range)), 10);
    EXPECT_EQ(range.iHigh, 20);
    EXPECT_EQ(SendMessageW(bar, PBM_SETRANGE32, 0, 5), MAKELONG(10, 20));
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 5) << "a new range moves the position into it";
}

TEST_F(ControlsTest, AnEditFieldTakesTypingAndErasesWholeCharacters)
{
    HWND edit = MakeControl(u"Edit");
    for (char16_t unit : std::u16string(u"a\U0001F600b\b\b\x01" u"c"))
        SendMessageW(edit, WM_CHAR, unit, 0);
    WCHAR text[16];
    GetWindowTextW(edit, text, 16);
    EXPECT_EQ(std::u16string(text), u"ac");
    // Each change that typing made, and only those, told the parent.
    EXPECT_EQ(parent.commands, std::vector<WPARAM>(7, MAKEWPARAM(7, EN_CHANGE)));
}

TEST_F(ControlsTest, OnlyAnEnabledButtonIsClicked)
{
    HWND button = MakeControl(u"Button", 0, 42);
    SendMessageW(button, BM_CLICK, 0, 0);
    SendMessageW(button, WM_LBUTTONUP, 0, 0);  // a release without a press
    EnableWindow(button, FALSE);
    SendMessageW(button, BM_CLICK, 0, 0);
    EnableWindow(button, TRUE);
    SendMessageW(button, WM_LBUTTONDOWN, 0, 0);
    SendMessageW(button, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(parent.commands, std::vector<WPARAM>(2, MAKEWPARAM(42, BN_CLICKED)));
}

// A view that notes on which thread it heard of each enabled change.
struct ThreadNotingView : platform::WindowView {
    std::vector<DWORD> enabledChangeThreads;
    void WindowChanged(HWND, platform::WindowChange change) override
    {
        if (change == platform::WindowChange::Enabled)
            enabledChangeThreads.push_back(GetCurrentThreadId());
    }
};

TEST_F(ControlsTest, AChangeFromAnotherThreadIsMadeAndShownOnTheWindowsOwnThread)
{
    ThreadNotingView view;
    platform::SetWindowView(&view);
    HWND button = MakeControl(u"Button");
    std::atomic<bool> done{false};
    std::thread other([&] {
        EXPECT_FALSE(EnableWindow(button, FALSE)) << "it was enabled";
        EXPECT_TRUE(EnableWindow(button, TRUE)) << "it was disabled";
        done = true;
        PostMessageW(parent.hwnd, WM_NULL, 0, 0);  // wakes the loop below
    });
    MSG msg;
    while (!done && GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    other.join();
    platform::SetWindowView(nullptr);
    EXPECT_EQ(view.enabledChangeThreads, std::vector<DWORD>(2, GetCurrentThreadId()));
}

}  // namespace
