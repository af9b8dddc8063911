// The program in a real window: the GTK view on a virtual X server, the
// program's thread being this process's main thread as on a desktop, and a
// person at the keyboard and mouse played through the X server by xdotool.
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/framework/win_app.h"
#include "platform/gtk_view.h"
#include "platform/headless_view.h"
#include "platform/linux/syscalls.h"
#include "res/resource.h"
#include "tests/support/process.h"
#include "tests/support/sparse_files.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wide.h"

namespace {

using platform::faults::HoldNth;
using platform::faults::ReleaseHeld;
using platform::sys::Call;
using test::KiB;
using test::MiB;
using test::W;

platform::WindowView* g_gtkView = nullptr;

// Runs xdotool with arguments; its output without the last newline, or
// null when it failed.
bool TryXdotool(const std::vector<std::string>& arguments, std::string* out)
{
    std::vector<std::string> argv = {CORVANE_XDOTOOL};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    test::ProcessResult result = test::RunProcess(argv);
    *out = result.out;
    while (!out->empty() && out->back() == '\n')
        out->pop_back();
    return result.exitStatus == 0;
}

std::string Xdotool(const std::vector<std::string>& arguments)
{
    std::string out;
    EXPECT_TRUE(TryXdotool(arguments, &out)) << "xdotool failed";
    return out;
}

// What a person at the screen does. Reads what is on screen from the
// windowing layer; acts only through the X server.
class Person {
public:
    std::u16string Text(int id) const { return m_screen.Control(id).text; }
    bool IsEnabled(int id) const { return m_screen.Control(id).enabled(); }
    bool ButtonsAreIdle() const { return IsEnabled(IDC_START) && !IsEnabled(IDC_STOP); }
    bool WaitUntil(const std::function<bool()>& condition) const { return m_screen.WaitUntil(condition); }
    bool WaitForStatus(const std::string& text) const
    {
        bool shown = WaitUntil([&] { return Text(IDC_STATUS) == W(text); });
        EXPECT_TRUE(shown) << "waited for " << text << ", saw " << test::U8(Text(IDC_STATUS).c_str());
        return shown;
    }
    bool WaitForMessageBox(const std::string& text) const
    {
        return WaitUntil([&] {
            platform::MessageBoxContent box;
            return platform::DescribeMessageBox(m_screen.OpenMessageBox(), &box) && box.text == W(text);
        });
    }
    bool WaitForNoMessageBox() const
    {
        return WaitUntil([&] { return m_screen.OpenMessageBox() == nullptr; });
    }

    // Finds the window on the screen, as the X server shows it. The
    // window of an earlier run may still be on its way out meanwhile.
    bool FindWindow()
    {
        return WaitUntil([&] {
            std::string found;
            if (!TryXdotool({"search", "--onlyvisible", "--name", "个人磁盘备份工具"}, &found) ||
                found.empty() || found.find('\n') != std::string::npos)
                return false;
            std::string name;
            m_windowId = found;
            return TryXdotool({"getwindowname", m_windowId}, &name);
        });
    }
    const std::string& WindowId() const { return m_windowId; }

    void Click(int id)
    {
        platform::WindowSnapshot control = m_screen.Control(id);
        int x = (control.rect.left + control.rect.right) / 2;
        int y = (control.rect.top + control.rect.bottom) / 2;
        Xdotool({"mousemove", "--window", m_windowId, std::to_string(x), std::to_string(y)});
        Xdotool({"click", "1"});
    }
    // Clicks into the field id and types text at its end.
    void TypeInto(int id, const std::string& text)
    {
        std::u16string expected = Text(id) + W(text);
        Click(id);
        Xdotool({"key", "End"});
        Xdotool({"type", "--delay", "2", text});
        EXPECT_TRUE(WaitUntil([&] { return Text(id) == expected; }))
            << "the field shows " << test::U8(Text(id).c_str());
    }
    void Key(const std::string& keys) { Xdotool({"key", "--clearmodifiers", keys}); }
    // The window manager's close command, as its title bar's close button.
    void Close()
    {
        Xdotool({"windowactivate", "--sync", m_windowId});
        Key("alt+F4");
    }

private:
    platform::HeadlessView m_screen;  // only reads the layer's state here
    std::string m_windowId;
};

class WindowOnDesktop : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!g_gtkView)
            g_gtkView = platform::OpenGtkView(nullptr, nullptr).release();
    }

    void SetUp() override
    {
        if (!g_gtkView)
            GTEST_SKIP() << "no X display; run under tests/e2e/on_virtual_desktop.sh";
        source = dir / "source";
        target = dir / "target";
        test::MakeFolder(source);
    }

    void TearDown() override { platform::faults::Clear(); }

    // Runs the program on this thread while the person acts on another;
    // whatever the person's part does, the program is ended afterwards.
    int Run(const std::function<void(Person&)> part)
    {
        platform::SetWindowView(g_gtkView);
        std::thread personThread([&] {
            Person person;
            bool shown = person.WaitUntil([&] { return person.IsEnabled(IDC_START); });
            EXPECT_TRUE(shown) << "the window did not open";
            bool found = shown && person.FindWindow();
            EXPECT_TRUE(found) << "the X server shows no such window";
            if (found)
                part(person);
            EndProgramIfRunning();
        });
        WCHAR noArguments[] = {0};
        int exitCode = AfxWinMain(GetModuleHandleW(nullptr), nullptr, noArguments, SW_SHOWNORMAL);
        programEnded = true;
        personThread.join();
        g_gtkView->PollEvents();  // the X server forgets the closed windows
        platform::SetWindowView(nullptr);
        return exitCode;
    }

    void EndProgramIfRunning()
    {
        platform::HeadlessView screen;
        screen.WaitUntil([&] {
            if (programEnded)
                return true;
            ReleaseHeld();
            if (HWND box = screen.OpenMessageBox())
                platform::EndModalLoop(box, IDYES);
            else if (HWND main = screen.MainWindow())
                PostMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
            return false;
        });
    }

    void WriteSourceFile(const std::string& name)
    {
        test::WriteSparseFile(source + "/" + name, 8 * MiB, {{0, 64 * KiB}, {4 * MiB, 300 * KiB}});
    }

    test::TempDir dir;
    std::string source;
    std::string target;
    std::atomic<bool> programEnded{false};
};

TEST_F(WindowOnDesktop, BacksUpAFolderTypedIntoTheWindow)
{
    for (const char* name : {"a.img", "b.img", "c.img"})
        WriteSourceFile(name);
    SKIP_WITHOUT_HOLES(source);
    int exitCode = Run([&](Person& person) {
        person.TypeInto(IDC_SOURCE_EDIT, source);
        person.TypeInto(IDC_TARGET_EDIT, target);
        for (const char* key : {"Return", "Escape"})
            person.Key(key);
        // The keys have been handled once typing after them shows.
        person.TypeInto(IDC_TARGET_EDIT, "/");
        EXPECT_EQ(person.Text(IDC_STATUS), u"") << "Enter and Escape start nothing";
        person.Click(IDC_START);
        ASSERT_TRUE(person.WaitForStatus("复制完毕(共3个文件,复制了3个文件)"));
        ASSERT_TRUE(person.WaitUntil([&] { return person.ButtonsAreIdle(); }));
        test::RunProcess({CORVANE_SCREENSHOT, CORVANE_WINDOW_PNG, person.WindowId()});
        usleep(200 * 1000);  // lets the job's thread return, so closing asks nothing
        person.Close();
    });
    EXPECT_EQ(exitCode, 0);
    for (const char* name : {"a.img", "b.img", "c.img"}) {
        EXPECT_TRUE(test::SameBytes(source + "/" + name, target + "/" + name)) << name;
        EXPECT_EQ(test::DataRangesOf(target + "/" + name), test::DataRangesOf(source + "/" + name));
    }
}

TEST_F(WindowOnDesktop, StopAnsweredYesStopsTheCopy)
{
    WriteSourceFile("a.img");
    HoldNth(Call::Pread, 1);
    Run([&](Person& person) {
        person.TypeInto(IDC_SOURCE_EDIT, source);
        person.TypeInto(IDC_TARGET_EDIT, target);
        person.Click(IDC_START);
        ASSERT_TRUE(platform::faults::WaitUntilHeld(platform::HeadlessView::kPatience));
        ASSERT_TRUE(person.WaitUntil([&] { return person.IsEnabled(IDC_STOP); }));
        person.Click(IDC_STOP);
        ASSERT_TRUE(person.WaitForMessageBox("确定要停止复制吗?"));
        person.Key("alt+y");
        ASSERT_TRUE(person.WaitForNoMessageBox());
        ReleaseHeld();
        ASSERT_TRUE(person.WaitForStatus("复制" + source + "\\a.img错误,(错误号:0)"));
        EXPECT_TRUE(person.WaitUntil([&] { return person.ButtonsAreIdle(); }));
    });
}

TEST_F(WindowOnDesktop, ClosingDuringACopyAsksFirst)
{
    WriteSourceFile("a.img");
    HoldNth(Call::Pread, 1);
    std::atomic<bool> stillOpenAfterNo{false};
    int exitCode = Run([&](Person& person) {
        person.TypeInto(IDC_SOURCE_EDIT, source);
        person.TypeInto(IDC_TARGET_EDIT, target);
        person.Click(IDC_START);
        ASSERT_TRUE(platform::faults::WaitUntilHeld(platform::HeadlessView::kPatience));
        person.Close();
        ASSERT_TRUE(person.WaitForMessageBox("确定要退出吗?"));
        person.Key("alt+n");
        ASSERT_TRUE(person.WaitForNoMessageBox());
        stillOpenAfterNo = !programEnded && person.IsEnabled(IDC_STOP);
        person.Close();
        ASSERT_TRUE(person.WaitForMessageBox("确定要退出吗?"));
        person.Key("alt+y");
        ASSERT_TRUE(person.WaitForNoMessageBox());
        ReleaseHeld();
        EXPECT_TRUE(person.WaitUntil([&] { return bool(programEnded); }));
    });
    EXPECT_TRUE(stillOpenAfterNo);
    EXPECT_EQ(exitCode, 0);
}

TEST_F(WindowOnDesktop, TheFolderChooserFillsAFieldOnlyWhenAFolderIsChosen)
{
    Run([&](Person& person) {
        person.TypeInto(IDC_SOURCE_EDIT, "typed");
        for (bool choose : {false, true}) {
            person.Click(IDC_BROWSE_SOURCE);
            std::string chooser;
            ASSERT_TRUE(person.WaitUntil([&] {
                return TryXdotool({"search", "--onlyvisible", "--name", "^请选择源路径:$"}, &chooser);
            })) << "no folder chooser titled 请选择源路径:";
            if (choose) {
                // Typed into the chooser's location field, Enter opens the
                // folder; Enter again chooses the open folder.
                Xdotool({"key", "ctrl+l"});
                Xdotool({"type", "--delay", "2", source});
                Xdotool({"key", "Return"});
                usleep(700 * 1000);
                Xdotool({"key", "Return"});
            } else {
                Xdotool({"key", "Escape"});
            }
            std::u16string expected = choose ? W(source) : u"typed";
            EXPECT_TRUE(person.WaitUntil([&] { return person.Text(IDC_SOURCE_EDIT) == expected; }))
                << "the field shows " << test::U8(person.Text(IDC_SOURCE_EDIT).c_str());
            ASSERT_TRUE(person.WaitUntil([&] {
                return platform::HeadlessView().OpenFolderBrowser() == nullptr;
            }));
        }
    });
}

}  // namespace
