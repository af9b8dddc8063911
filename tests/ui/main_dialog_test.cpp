// The program as a person uses it: the real application object and main
// dialog, the real engine on real sparse files, driven through the
// headless view.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/copy_job.h"
#include "platform/headless_view.h"
#include "platform/linux/syscalls.h"
#include "res/resource.h"
#include "tests/support/program_on_screen.h"
#include "tests/support/sparse_files.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wide.h"

namespace {

using platform::HeadlessView;
using platform::MessageBoxContent;
using platform::WindowChange;
using platform::WindowSnapshot;
using platform::faults::HoldNth;
using platform::faults::ReleaseHeld;
using platform::sys::Call;
using test::KiB;
using test::MiB;
using test::W;

const UINT kInputMessage = MB_OK | MB_ICONEXCLAMATION;
const UINT kQuestion = MB_YESNO | MB_ICONQUESTION;

// Message boxes carry the program's title: its file name without extension.
std::u16string ProgramTitle()
{
    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    std::string name(path, size_t(length > 0 ? length : 0));
    return W(name.substr(name.find_last_of('/') + 1));
}

// The sparse files of folder in the order the folder lists them, which is
// the order a job copies them in.
std::vector<std::string> ListedNames(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    while (dirent* entry = dir ? readdir(dir) : nullptr) {
        std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    if (dir)
        closedir(dir);
    return names;
}

int ThreadsOfProcess()
{
    return int(ListedNames("/proc/self/task").size());
}

bool Exists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

class MainDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        source = dir / "source";
        target = dir / "target";
        test::MakeFolder(source);
    }

    void TearDown() override
    {
        ReleaseHeld();
        program.reset();
        platform::faults::Clear();
    }

    void StartProgram()
    {
        program = std::make_unique<test::ProgramOnScreen>(view);
        ASSERT_TRUE(view.WaitForMainWindow());
        threadsWhenIdle = ThreadsOfProcess();
    }

    // A sparse file of 4 MiB in the source folder, with data at its start
    // and in its middle.
    void WriteSourceFile(const std::string& name)
    {
        test::WriteSparseFile(source + "/" + name, 4 * MiB, {{0, 64 * KiB}, {2 * MiB, 200 * KiB}});
    }

    std::u16string Text(int id) const { return view.Control(id).text; }
    bool IsEnabled(int id) const { return view.Control(id).enabled(); }
    bool ButtonsAreIdle() const { return IsEnabled(IDC_START) && !IsEnabled(IDC_STOP); }
    bool ButtonsAreRunning() const { return !IsEnabled(IDC_START) && IsEnabled(IDC_STOP); }

    bool WaitForText(int id, const std::u16string& text)
    {
        bool shown = view.WaitUntil([&] { return Text(id) == text; });
        EXPECT_TRUE(shown) << "waited for \"" << test::U8(text.c_str()) << "\", saw \""
                           << test::U8(Text(id).c_str()) << "\"";
        return shown;
    }

    // The view hears of a change just after the window has it: the status
    // line is shown once the history of changes has its text too.
    bool WaitForStatus(const std::string& text)
    {
        return WaitForText(IDC_STATUS, W(text)) && view.WaitUntil([&] {
                   std::vector<std::string> texts = StatusTexts();
                   return !texts.empty() && texts.back() == text;
               });
    }

    // The end report shows its text first and then turns the buttons.
    bool WaitForEnd(const std::string& text)
    {
        return WaitForStatus(text) && view.WaitUntil([&] { return ButtonsAreIdle(); });
    }

    // Until the worker thread has returned, which it does just after its
    // end report; a job counts as running until then.
    bool WaitForWorkerToReturn()
    {
        return view.WaitUntil([&] { return ThreadsOfProcess() == threadsWhenIdle; });
    }

    // The status text while the source file name is copied.
    std::string CopyingText(const std::string& name) const
    {
        return "复制" + source + "\\" + name + "中...";
    }

    // Types both folders into their fields and waits until they show.
    void EnterFolders(const std::string& sourceText, const std::string& targetText)
    {
        ASSERT_TRUE(view.Type(IDC_SOURCE_EDIT, W(sourceText)));
        ASSERT_TRUE(view.Type(IDC_TARGET_EDIT, W(targetText) + u"."));
        // The field shows the dot once all the typing has been handled.
        ASSERT_TRUE(WaitForText(IDC_TARGET_EDIT, W(targetText) + u"."));
        ASSERT_TRUE(view.Type(IDC_TARGET_EDIT, u"\b"));
        ASSERT_TRUE(WaitForText(IDC_TARGET_EDIT, W(targetText)));
        ASSERT_EQ(Text(IDC_SOURCE_EDIT), W(sourceText));
    }

    MessageBoxContent WaitForMessageBox()
    {
        EXPECT_TRUE(view.WaitForMessageBox());
        MessageBoxContent content;
        platform::DescribeMessageBox(view.OpenMessageBox(), &content);
        return content;
    }

    // Starts a job on the two folders that waits at the first read of its
    // data, while the first file is being copied.
    void StartJobHeldWhileCopying()
    {
        HoldNth(Call::Pread, 1);
        ASSERT_NO_FATAL_FAILURE(EnterFolders(source, target));
        ASSERT_TRUE(view.Click(IDC_START));
        ASSERT_TRUE(platform::faults::WaitUntilHeld(HeadlessView::kPatience));
        ASSERT_TRUE(view.WaitUntil([&] { return ButtonsAreRunning(); }));
    }

    // The status texts in the order they were shown, each once.
    std::vector<std::string> StatusTexts() const
    {
        std::vector<std::string> texts;
        for (const HeadlessView::Change& change : view.Changes()) {
            if (change.what != WindowChange::Text || change.window.id != IDC_STATUS)
                continue;
            std::string text = test::U8(change.window.text.c_str());
            if (!text.empty() && (texts.empty() || texts.back() != text))
                texts.push_back(text);
        }
        return texts;
    }

    test::TempDir dir;
    std::string source;
    std::string target;
    HeadlessView view;
    std::unique_ptr<test::ProgramOnScreen> program;
    int threadsWhenIdle = 0;
};

// ---- The window as it opens.

TEST_F(MainDialog, OpensAsTheTemplateDescribesIt)
{
    StartProgram();
    WindowSnapshot main;
    ASSERT_TRUE(platform::SnapshotWindow(view.MainWindow(), &main));
    EXPECT_EQ(test::U8(main.text.c_str()), "个人磁盘备份工具");
    EXPECT_EQ(main.style, 0x90CA00C8u);
    EXPECT_EQ(main.exStyle, DWORD(WS_EX_APPWINDOW));

    RECT size = {0, 0, 267, 101};
    MapDialogRect(main.hwnd, &size);
    EXPECT_EQ(main.client.cx, size.right);
    EXPECT_EQ(main.client.cy, size.bottom);
    platform::DisplayMetrics screen;
    EXPECT_EQ(main.rect.left, (screen.screenWidth - (main.rect.right - main.rect.left)) / 2);
    EXPECT_EQ(main.rect.top, (screen.screenHeight - (main.rect.bottom - main.rect.top)) / 2);

    HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(main.bigIcon, icon);
    EXPECT_EQ(main.smallIcon, icon);

    const struct {
        int id;
        const char* text;
        bool enabled;
    } controls[] = {
        {IDC_SOURCE_EDIT, "", true},   {IDC_TARGET_EDIT, "", true},
        {IDC_BROWSE_SOURCE, "...", true}, {IDC_BROWSE_TARGET, "...", true},
        {IDC_START, "开始复制", true}, {IDC_STOP, "停止复制", false},
        {IDC_STATUS, "", true},
    };
    for (const auto& c : controls) {
        WindowSnapshot control = view.Control(c.id);
        EXPECT_EQ(test::U8(control.text.c_str()), c.text) << c.id;
        EXPECT_EQ(control.enabled(), c.enabled) << c.id;
    }
    WindowSnapshot bar = view.Control(IDC_COPY_PROGRESS);
    EXPECT_EQ(bar.rangeLow, 0);
    EXPECT_EQ(bar.rangeHigh, 100);
    EXPECT_EQ(bar.position, 0);
    EXPECT_EQ(view.Focus(), view.Control(IDC_SOURCE_EDIT).hwnd);
}

TEST_F(MainDialog, AMinimisedWindowDrawsItsIconInTheMiddle)
{
    StartProgram();
    ASSERT_TRUE(view.Minimise());
    ASSERT_TRUE(view.WaitUntil([&] { return !view.IconsDrawn().empty(); }));
    WindowSnapshot main;
    ASSERT_TRUE(platform::SnapshotWindow(view.MainWindow(), &main));
    HeadlessView::IconDrawing drawn = view.IconsDrawn().front();
    EXPECT_TRUE(main.minimized());
    EXPECT_EQ(drawn.hwnd, main.hwnd);
    EXPECT_EQ(drawn.icon, main.bigIcon);
    EXPECT_EQ(drawn.x, (main.client.cx - 32 + 1) / 2);
    EXPECT_EQ(drawn.y, (main.client.cy - 32 + 1) / 2);
}

// ---- Input.

TEST_F(MainDialog, AnEmptyFieldIsAskedForAndNoJobStarts)
{
    const struct {
        const char* source;
        const char* target;
        const char* message;
    } cases[] = {
        {"", "", "请输入源路径!"},
        {"", "/somewhere", "请输入源路径!"},
        {"/somewhere", "", "请输入目的路径!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message + std::string(" for \"") + c.source + "\", \"" + c.target + "\"");
        view.ForgetHistory();
        StartProgram();
        ASSERT_NO_FATAL_FAILURE(EnterFolders(c.source, c.target));
        ASSERT_TRUE(view.Click(IDC_START));
        MessageBoxContent box = WaitForMessageBox();
        EXPECT_EQ(test::U8(box.text.c_str()), c.message);
        EXPECT_EQ(box.caption, ProgramTitle());
        EXPECT_EQ(box.type, kInputMessage);
        EXPECT_FALSE(view.Click(IDC_START)) << "the dialog takes no input under the box";
        ASSERT_TRUE(view.AnswerMessageBox(IDOK));
        ASSERT_TRUE(view.WaitUntil([&] { return view.OpenMessageBox() == nullptr; }));
        EXPECT_EQ(view.MessageBoxesShown().size(), 1u);
        EXPECT_EQ(Text(IDC_STATUS), u"");
        EXPECT_TRUE(ButtonsAreIdle());
        program.reset();
    }
}

TEST_F(MainDialog, AFolderTooLongForAJobIsRefused)
{
    StartProgram();
    std::string longFolder = "/" + std::string(COPY_PATH_CCH - 1, 'f');
    ASSERT_NO_FATAL_FAILURE(EnterFolders(longFolder, target));
    ASSERT_TRUE(view.Click(IDC_START));
    MessageBoxContent box = WaitForMessageBox();
    EXPECT_EQ(test::U8(box.text.c_str()), "源路径太长(最多1023个字符)!");
    EXPECT_EQ(box.type, kInputMessage);
    ASSERT_TRUE(view.AnswerMessageBox(IDOK));
    ASSERT_TRUE(view.WaitUntil([&] { return view.OpenMessageBox() == nullptr; }));
    EXPECT_EQ(Text(IDC_STATUS), u"");
    EXPECT_TRUE(ButtonsAreIdle());
}

TEST_F(MainDialog, FieldsOfSpacesAreFilledFieldsAndGoToTheJobUnchanged)
{
    StartProgram();
    ASSERT_NO_FATAL_FAILURE(EnterFolders("  ", " "));
    ASSERT_TRUE(view.Click(IDC_START));
    ASSERT_TRUE(WaitForEnd("复制完毕(共0个文件,复制了0个文件)"));
    EXPECT_TRUE(view.MessageBoxesShown().empty());
    EXPECT_TRUE(ButtonsAreIdle());
}

TEST_F(MainDialog, EnterAndEscapeDoNothing)
{
    WriteSourceFile("a.img");
    StartProgram();
    ASSERT_NO_FATAL_FAILURE(EnterFolders(source, target));
    for (UINT key : {VK_RETURN, VK_ESCAPE}) {
        ASSERT_TRUE(view.PressKey(key));
        // Typing after the key shows when the key has been handled.
        ASSERT_TRUE(view.Type(IDC_TARGET_EDIT, u"x"));
        target += "x";
        ASSERT_TRUE(WaitForText(IDC_TARGET_EDIT, W(target)));
    }
    EXPECT_EQ(Text(IDC_STATUS), u"");
    EXPECT_TRUE(view.MessageBoxesShown().empty());
    EXPECT_FALSE(program->Ended());
}

// ---- A whole job.

TEST_F(MainDialog, AJobShowsEveryFileAndEndsIdle)
{
    for (const char* name : {"a.img", "b.img", "c.img"})
        WriteSourceFile(name);
    test::WriteDenseFile(source + "/dense.txt", "not sparse");
    test::MakeFolder(source + "/folder");
    SKIP_WITHOUT_HOLES(source);
    StartProgram();
    ASSERT_NO_FATAL_FAILURE(EnterFolders(source, target));
    ASSERT_TRUE(view.Click(IDC_START));
    ASSERT_TRUE(WaitForEnd("复制完毕(共3个文件,复制了3个文件)"));
    EXPECT_TRUE(ButtonsAreIdle());

    std::vector<std::string> expected = {"开始复制文件(共3个文件)"};
    for (const std::string& name : ListedNames(source)) {
        if (name.find(".img") != std::string::npos) {
            expected.push_back(CopyingText(name));
            EXPECT_TRUE(test::SameBytes(source + "/" + name, target + "/" + name)) << name;
            EXPECT_EQ(test::DataRangesOf(target + "/" + name), test::DataRangesOf(source + "/" + name));
        }
    }
    expected.push_back("复制完毕(共3个文件,复制了3个文件)");
    EXPECT_EQ(StatusTexts(), expected);
    EXPECT_FALSE(Exists(target + "/dense.txt"));
    WindowSnapshot bar = view.Control(IDC_COPY_PROGRESS);
    EXPECT_EQ(bar.rangeLow, 0);
    EXPECT_EQ(bar.rangeHigh, 3);
    EXPECT_EQ(bar.position, 3);
}

TEST_F(MainDialog, StartTurnsTheButtonsBeforeTheFirstReport)
{
    WriteSourceFile("a.img");
    StartProgram();
    ASSERT_NO_FATAL_FAILURE(EnterFolders(source, target));
    view.ForgetHistory();
    ASSERT_TRUE(view.Click(IDC_START));
    ASSERT_TRUE(WaitForEnd("复制完毕(共1个文件,复制了1个文件)"));
    auto buttonsAndReports = [&] {
        std::vector<std::string> order;
        for (const HeadlessView::Change& change : view.Changes()) {
            int id = change.window.id;
            if (change.what == WindowChange::Enabled && (id == IDC_START || id == IDC_STOP))
                order.push_back(std::string(id == IDC_START ? "start " : "stop ") +
                                (change.window.enabled() ? "on" : "off"));
            else if (change.what == WindowChange::Text && id == IDC_STATUS && order.size() < 3)
                order.push_back("report");
        }
        return order;
    };
    // The history hears of the last change just after the window has it.
    view.WaitUntil([&] {
        std::vector<std::string> order = buttonsAndReports();
        return !order.empty() && order.back() == "stop off";
    });
    std::vector<std::string> order = buttonsAndReports();
    ASSERT_GE(order.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(order.begin(), order.begin() + 3),
              (std::vector<std::string>{"start off", "stop on", "report"}));
    EXPECT_EQ(std::vector<std::string>(order.end() - 2, order.end()),
              (std::vector<std::string>{"start on", "stop off"}));
}

TEST_F(MainDialog, AnEmptySourceFolderFinishesWithNoFiles)
{
    StartProgram();
    ASSERT_NO_FATAL_FAILURE(EnterFolders(source, target));
    ASSERT_TRUE(view.Click(IDC_START));
    ASSERT_TRUE(WaitForEnd("复制完毕(共0个文件,复制了0个文件)"));
    EXPECT_EQ(StatusTexts(), (std::vector<std::string>{"开始复制文件(共0个文件)",
                                                       "复制完毕(共0个文件,复制了0个文件)"}));
    EXPECT_TRUE(ButtonsAreIdle());
    EXPECT_EQ(view.Control(IDC_COPY_PROGRESS).rangeHigh, 0);
}

TEST_F(MainDialog, AFileTheJobPassesOverIsNeverNamed)
{
    WriteSourceFile("a.img");
    WriteSourceFile("b.img");
    SKIP_WITHOUT_HOLES(source);
    std::string skipped = ListedNames(source)[0];
    // Each listed file is opened once by the scan; the next open is the
    // first file's range query, which finds the file gone.
    HoldNth(Call::Open, 3);
    StartProgram();
    ASSERT_NO_FATAL_FAILURE(EnterFolders(source, target));
    ASSERT_TRUE(view.Click(IDC_START));
    ASSERT_TRUE(platform::faults::WaitUntilHeld(HeadlessView::kPatience));
    ASSERT_EQ(unlink((source + "/" + skipped).c_str()), 0);
    ReleaseHeld();
    ASSERT_TRUE(WaitForEnd("复制完毕(共2个文件,复制了1个文件)"));
    for (const std::string& text : StatusTexts())
        EXPECT_EQ(text.find(skipped), std::string::npos) << text;
    WindowSnapshot bar = view.Control(IDC_COPY_PROGRESS);
    EXPECT_EQ(bar.rangeHigh, 2);
    EXPECT_EQ(bar.position, 1);
}

TEST_F(MainDialog, AFailedStepShowsItsErrorNumberAndEndsIdle)
{
    WriteSourceFile("a.img");
    test::WriteDenseFile(dir / "file-in-the-way", "x");
    StartProgram();
    ASSERT_NO_FATAL_FAILURE(EnterFolders(source, dir / "file-in-the-way/sub"));
    ASSERT_TRUE(view.Click(IDC_START));
    ASSERT_TRUE(WaitForEnd("复制" + source + "\\a.img错误,(错误号:2)"));
    EXPECT_TRUE(ButtonsAreIdle());
    EXPECT_EQ(StatusTexts().back(), "复制" + source + "\\a.img错误,(错误号:2)");
}

TEST_F(MainDialog, ASecondJobKeepsTheBarUntilItsFirstCopyingReport)
{
    WriteSourceFile("a.img");
    WriteSourceFile("b.img");
    StartProgram();
    ASSERT_NO_FATAL_FAILURE(EnterFolders(source, target));
    ASSERT_TRUE(view.Click(IDC_START));
    ASSERT_TRUE(WaitForEnd("复制完毕(共2个文件,复制了2个文件)"));
    ASSERT_EQ(view.Control(IDC_COPY_PROGRESS).position, 2);

    WriteSourceFile("c.img");
    HoldNth(Call::Open, 4);  // after the scan's three opens: the first range query
    ASSERT_TRUE(view.Click(IDC_START));
    ASSERT_TRUE(platform::faults::WaitUntilHeld(HeadlessView::kPatience));
    ASSERT_TRUE(WaitForStatus("开始复制文件(共3个文件)"));
    WindowSnapshot bar = view.Control(IDC_COPY_PROGRESS);
    EXPECT_EQ(bar.rangeHigh, 3);
    EXPECT_EQ(bar.position, 2);
    ReleaseHeld();
    ASSERT_TRUE(WaitForEnd("复制完毕(共3个文件,复制了3个文件)"));
    EXPECT_EQ(view.Control(IDC_COPY_PROGRESS).position, 3);
}

// ---- Stop.

TEST_F(MainDialog, StopAnsweredNoLetsTheCopyGoOn)
{
    WriteSourceFile("a.img");
    StartProgram();
    ASSERT_NO_FATAL_FAILURE(StartJobHeldWhileCopying());
    ASSERT_TRUE(view.Click(IDC_STOP));
    MessageBoxContent box = WaitForMessageBox();
    EXPECT_EQ(test::U8(box.text.c_str()), "确定要停止复制吗?");
    EXPECT_EQ(box.caption, ProgramTitle());
    EXPECT_EQ(box.type, kQuestion);
    ASSERT_TRUE(view.AnswerMessageBox(IDNO));
    ASSERT_TRUE(view.WaitUntil([&] { return view.OpenMessageBox() == nullptr; }));
    EXPECT_TRUE(ButtonsAreRunning());
    ReleaseHeld();
    ASSERT_TRUE(WaitForEnd("复制完毕(共1个文件,复制了1个文件)"));
    EXPECT_TRUE(ButtonsAreIdle());
}

TEST_F(MainDialog, StopAnsweredYesEndsTheJobWithTheFileItWasCopying)
{
    WriteSourceFile("a.img");
    StartProgram();
    ASSERT_NO_FATAL_FAILURE(StartJobHeldWhileCopying());
    ASSERT_TRUE(view.Click(IDC_STOP));
    WaitForMessageBox();
    ASSERT_TRUE(view.AnswerMessageBox(IDYES));
    // The handler now waits for the worker, which still holds its read.
    ASSERT_TRUE(view.WaitUntil([&] { return view.OpenMessageBox() == nullptr; }));
    EXPECT_TRUE(ButtonsAreRunning());
    ReleaseHeld();
    ASSERT_TRUE(WaitForStatus("复制" + source + "\\a.img错误,(错误号:0)"));
    ASSERT_TRUE(view.WaitUntil([&] { return ButtonsAreIdle(); }));
    // Idle again: a new job starts at once.
    ASSERT_TRUE(view.Click(IDC_START));
    ASSERT_TRUE(WaitForEnd("复制完毕(共1个文件,复制了1个文件)"));
}

TEST_F(MainDialog, StopDuringTheScanEndsBeforeTheFirstFile)
{
    WriteSourceFile("a.img");
    HoldNth(Call::Open, 1);  // the scan's look at the first file
    StartProgram();
    ASSERT_NO_FATAL_FAILURE(EnterFolders(source, target));
    ASSERT_TRUE(view.Click(IDC_START));
    ASSERT_TRUE(platform::faults::WaitUntilHeld(HeadlessView::kPatience));
    ASSERT_TRUE(view.WaitUntil([&] { return ButtonsAreRunning(); }));
    ASSERT_TRUE(view.Click(IDC_STOP));
    WaitForMessageBox();
    ASSERT_TRUE(view.AnswerMessageBox(IDYES));
    // Once the box is gone the handler sets the stop event before it serves
    // any report; a report served while the box was still open could let
    // the worker pass its check before the event is set.
    ASSERT_TRUE(view.WaitUntil([&] { return view.OpenMessageBox() == nullptr; }));
    ReleaseHeld();
    ASSERT_TRUE(WaitForStatus("复制错误,(错误号:0)"));
    EXPECT_EQ(StatusTexts(),
              (std::vector<std::string>{"开始复制文件(共1个文件)", "复制错误,(错误号:0)"}));
    ASSERT_TRUE(view.WaitUntil([&] { return ButtonsAreIdle(); }));
    EXPECT_FALSE(Exists(target + "/a.img"));
}

TEST_F(MainDialog, AJobThatEndsUnderTheStopQuestionLeavesTheButtonsIdle)
{
    for (int answer : {IDYES, IDNO}) {
        SCOPED_TRACE(answer == IDYES ? "Yes" : "No");
        WriteSourceFile("a.img");
        view.ForgetHistory();
        StartProgram();
        ASSERT_NO_FATAL_FAILURE(StartJobHeldWhileCopying());
        ASSERT_TRUE(view.Click(IDC_STOP));
        WaitForMessageBox();
        ReleaseHeld();
        ASSERT_TRUE(WaitForEnd("复制完毕(共1个文件,复制了1个文件)"));
        ASSERT_TRUE(view.WaitUntil([&] { return ButtonsAreIdle(); }));
        EXPECT_NE(view.OpenMessageBox(), nullptr);
        ASSERT_TRUE(view.AnswerMessageBox(answer));
        ASSERT_TRUE(view.WaitUntil([&] { return view.OpenMessageBox() == nullptr; }));
        EXPECT_TRUE(ButtonsAreIdle());
        EXPECT_EQ(StatusTexts().back(), "复制完毕(共1个文件,复制了1个文件)");
        program.reset();
        platform::faults::Clear();
    }
}

// ---- Closing.

TEST_F(MainDialog, ClosingWhileIdleEndsAtOnce)
{
    WriteSourceFile("a.img");
    for (bool afterAJob : {false, true}) {
        SCOPED_TRACE(afterAJob ? "after a job" : "before any job");
        view.ForgetHistory();
        StartProgram();
        if (afterAJob) {
            ASSERT_NO_FATAL_FAILURE(EnterFolders(source, target));
            ASSERT_TRUE(view.Click(IDC_START));
            ASSERT_TRUE(WaitForEnd("复制完毕(共1个文件,复制了1个文件)"));
            ASSERT_TRUE(WaitForWorkerToReturn());
        }
        ASSERT_TRUE(view.Close());
        ASSERT_TRUE(program->WaitForEnd());
        EXPECT_EQ(program->ExitCode(), 0);
        EXPECT_TRUE(view.MessageBoxesShown().empty());
        program.reset();
    }
}

TEST_F(MainDialog, ClosingWhileRunningAsksFirst)
{
    WriteSourceFile("a.img");
    StartProgram();
    ASSERT_NO_FATAL_FAILURE(StartJobHeldWhileCopying());

    ASSERT_TRUE(view.Close());
    MessageBoxContent box = WaitForMessageBox();
    EXPECT_EQ(test::U8(box.text.c_str()), "确定要退出吗?");
    EXPECT_EQ(box.type, kQuestion);
    ASSERT_TRUE(view.AnswerMessageBox(IDNO));
    ASSERT_TRUE(view.WaitUntil([&] { return view.OpenMessageBox() == nullptr; }));
    EXPECT_FALSE(program->Ended());
    EXPECT_TRUE(ButtonsAreRunning());

    ASSERT_TRUE(view.Close());
    WaitForMessageBox();
    ASSERT_TRUE(view.AnswerMessageBox(IDYES));
    // The program waits for the worker, which still holds its read.
    ASSERT_TRUE(view.WaitUntil([&] { return view.OpenMessageBox() == nullptr; }));
    EXPECT_FALSE(program->Ended());
    ReleaseHeld();
    ASSERT_TRUE(program->WaitForEnd());
    EXPECT_EQ(program->ExitCode(), 0);
    EXPECT_TRUE(Exists(target + "/a.img")) << "a partly copied file stays";
}

// ---- Browsing.

TEST_F(MainDialog, BrowsingFillsTheFieldOnlyWithAChosenFolder)
{
    StartProgram();
    ASSERT_NO_FATAL_FAILURE(EnterFolders("typed source", "typed target"));
    const struct {
        int button;
        int field;
        const char* title;
    } browsers[] = {
        {IDC_BROWSE_SOURCE, IDC_SOURCE_EDIT, "请选择源路径:"},
        {IDC_BROWSE_TARGET, IDC_TARGET_EDIT, "请选择目的路径:"},
    };
    for (const auto& b : browsers) {
        SCOPED_TRACE(b.title);
        std::u16string typed = Text(b.field);
        std::u16string chosen = W(dir / "已选的文件夹");
        const struct {
            std::function<bool()> answer;
            std::u16string expected;
        } answers[] = {
            {[&] { return view.CancelFolderBrowser(); }, typed},
            {[&] { return view.ChooseItemWithoutPath(); }, typed},
            {[&] { return view.ChooseFolder(u"/" + std::u16string(MAX_PATH, u'p')); }, typed},
            {[&] { return view.ChooseFolder(chosen); }, chosen},
        };
        for (const auto& a : answers) {
            view.ForgetHistory();
            ASSERT_TRUE(view.Click(b.button));
            ASSERT_TRUE(view.WaitUntil([&] { return view.FolderBrowsersShown().size() == 1; }));
            EXPECT_EQ(test::U8(view.FolderBrowsersShown()[0].title.c_str()), b.title);
            EXPECT_EQ(view.FolderBrowsersShown()[0].flags, UINT(BIF_RETURNONLYFSDIRS));
            ASSERT_TRUE(a.answer());
            ASSERT_TRUE(view.WaitUntil([&] { return view.OpenFolderBrowser() == nullptr; }));
            // Typing after the browser shows when its answer has been handled.
            ASSERT_TRUE(view.Type(b.field, u"+"));
            ASSERT_TRUE(WaitForText(b.field, a.expected + u"+"));
            ASSERT_TRUE(view.Type(b.field, u"\b"));
            ASSERT_TRUE(WaitForText(b.field, a.expected));
        }
    }
}

// ---- Start-up.

TEST_F(MainDialog, WithoutSocketsTheProgramSaysSoAndEnds)
{
    platform::faults::FailNth(Call::Socket, 1, EAFNOSUPPORT);
    program = std::make_unique<test::ProgramOnScreen>(view);
    MessageBoxContent box = WaitForMessageBox();
    EXPECT_EQ(test::U8(box.text.c_str()), "Windows 套接字初始化失败。");
    EXPECT_EQ(box.caption, ProgramTitle());
    EXPECT_EQ(box.type, kInputMessage);
    ASSERT_TRUE(view.AnswerMessageBox(IDOK));
    ASSERT_TRUE(program->WaitForEnd());
    for (const HeadlessView::Change& change : view.Changes())
        EXPECT_NE(change.window.className, u"#32770") << "no dialog is shown";
}

}  // namespace
