#include "engine/copy_job.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <ostream>

#include "platform/linux/syscalls.h"
#include "tests/support/sparse_files.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wide.h"

namespace {

using platform::faults::FailNth;
using platform::faults::ShortNth;
using platform::sys::Call;
using test::DataRange;
using test::GiB;
using test::KiB;
using test::MiB;
using test::W;


// One report as the callback saw it.
struct Report {
    int state;
    int error;
    std::string file;
    int total;
    int copied;
    int rangeCount;
    int rangeIndex;
    bool operator==(const Report& o) const
    {
        return state == o.state && error == o.error && file == o.file && total == o.total &&
               copied == o.copied && rangeCount == o.rangeCount && rangeIndex == o.rangeIndex;
    }
};

std::ostream& operator<<(std::ostream& out, const Report& r)
{
    return out << "(state " << r.state << ", error " << r.error << ", \"" << r.file << "\", total "
               << r.total << ", copied " << r.copied << ", ranges " << r.rangeIndex << "/"
               << r.rangeCount << ")";
}

// Records every report; an optional hook runs inside the callback, on the
// worker thread, to make stops and faults happen at an exact report.
struct Recorder {
    std::vector<Report> reports;
    std::function<void(const Report&)> onReport;
};

void RecordReport(CopyProgress* progress)
{
    Recorder* recorder = static_cast<Recorder*>(progress->pOwner);
    // The error number means something only in an error report.
    int error = progress->nState == CopyStateError ? progress->nError : 0;
    Report report{progress->nState,      error,                 test::U8(progress->szCurrentFile),
                  progress->nTotalFiles, progress->nCopiedFiles, progress->nRangeCount,
                  progress->nRangeIndex};
    recorder->reports.push_back(report);
    if (recorder->onReport)
        recorder->onReport(report);
}

// The report sequence of a job that copies names in order, each with the
// given number of ranges, without trouble.
std::vector<Report> CleanRun(const std::string& sourceDir,
                             const std::vector<std::pair<std::string, int>>& files)
{
    int total = (int)files.size();
    std::vector<Report> expected{{1, 0, "", total, 0, 0, 0}};
    int copied = 0;
    for (const auto& [name, ranges] : files) {
        std::string path = sourceDir + "\\" + name;
        for (int i = 0; i <= ranges; i++)
            expected.push_back({2, 0, path, total, copied, ranges, i});
        expected.push_back({2, 0, path, total, ++copied, ranges, ranges});
    }
    expected.push_back({3, 0, expected.back().file, total, copied, expected.back().rangeCount,
                        expected.back().rangeIndex});
    return expected;
}

class CopyJobTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::MakeFolder(source);
        SKIP_WITHOUT_HOLES(source);
        ZeroMemory(&job, sizeof(job));
        ZeroMemory(&progress, sizeof(progress));
        progress.pOwner = &recorder;
    }
    void TearDown() override
    {
        StopCopyJob(&job, NULL);
        platform::faults::Clear();
    }

    void Start(const std::string& from, const std::string& to)
    {
        ASSERT_TRUE(StartCopyJob(W(from).c_str(), &job, RecordReport, &progress, W(to).c_str()));
    }

    // Runs a job to its own end and releases its handles.
    const std::vector<Report>& Run(const std::string& from, const std::string& to)
    {
        Start(from, to);
        EXPECT_EQ(WaitForSingleObject(job.hThread, INFINITE), WAIT_OBJECT_0);
        StopCopyJob(&job, NULL);
        ExpectOneTerminalReportAtTheEnd();
        return recorder.reports;
    }
    const std::vector<Report>& Run() { return Run(source, target); }

    void ExpectOneTerminalReportAtTheEnd()
    {
        int terminal = 0;
        for (const Report& r : recorder.reports)
            terminal += r.state == CopyStateError || r.state == CopyStateFinished;
        EXPECT_EQ(terminal, 1);
        ASSERT_FALSE(recorder.reports.empty());
        EXPECT_TRUE(recorder.reports.back().state == CopyStateError ||
                    recorder.reports.back().state == CopyStateFinished);
    }

    // Names in the order the job will list them.
    std::vector<std::string> ListedNames(const std::string& folder)
    {
        SparseFileList files;
        ListSparseFiles(W(folder).c_str(), files);
        std::vector<std::string> names;
        for (const auto& name : files)
            names.push_back(test::U8(name.c_str()));
        return names;
    }

    void WriteSourceFile(const std::string& name, std::vector<DataRange> ranges, int64_t size = 8 * MiB)
    {
        test::WriteSparseFile(source + "/" + name, size, ranges);
    }

    bool Exists(const std::string& path)
    {
        struct stat st;
        return lstat(path.c_str(), &st) == 0;
    }

    test::TempDir dir;
    std::string source = dir / "source";
    std::string target = dir / "target";
    CopyJob job;
    CopyProgress progress;
    Recorder recorder;
};

TEST_F(CopyJobTest, ReportsEveryStepInOrder)
{
    WriteSourceFile("A", {{0, 64 * KiB}, {4 * MiB, 4 * KiB}});
    WriteSourceFile("B", {{MiB, 4 * KiB}});
    test::WriteDenseFile(source + "/dense", "no holes here");
    test::WriteDenseFile(source + "/empty", "");
    test::MakeFolder(source + "/sub");
    test::WriteSparseFile(source + "/sub/nested", 8 * MiB, {{MiB, 4 * KiB}});

    std::vector<std::string> names = ListedNames(source);
    ASSERT_EQ(names.size(), 2u);
    std::vector<std::pair<std::string, int>> files;
    for (const std::string& name : names)
        files.push_back({name, name == "A" ? 2 : 1});

    EXPECT_EQ(Run(), CleanRun(source, files));
    for (const char* name : {"A", "B"}) {
        EXPECT_TRUE(test::SameBytes(source + "/" + name, target + "/" + name)) << name;
        EXPECT_EQ(test::DataRangesOf(target + "/" + name), test::DataRangesOf(source + "/" + name));
    }
    EXPECT_FALSE(Exists(target + "/dense"));
    EXPECT_FALSE(Exists(target + "/empty"));
    EXPECT_FALSE(Exists(target + "/sub"));
}

TEST_F(CopyJobTest, CopiesHolesAndBytesOfManyShapes)
{
    std::vector<DataRange> thousands;
    for (int64_t i = 0; i < 3000; i++)
        thousands.push_back({i * 16 * KiB, 4 * KiB});
    WriteSourceFile("thousands", thousands, 64 * MiB);
    WriteSourceFile("hollow", {}, 256 * MiB);
    WriteSourceFile("beyond-4GiB", {{5LL << 30, 3 * 64 * KiB + 4 * KiB}}, 6LL << 30);
    WriteSourceFile("中文 name", {{0, 4 * KiB}});

    std::vector<Report> reports = Run();
    EXPECT_EQ(reports.back(), (Report{3, 0, reports.back().file, 4, 4, reports.back().rangeCount,
                                      reports.back().rangeCount}));
    for (const char* name : {"thousands", "hollow", "beyond-4GiB", "中文 name"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(test::SameBytes(source + "/" + name, target + "/" + name));
        EXPECT_EQ(test::DataRangesOf(target + "/" + name), test::DataRangesOf(source + "/" + name));
        EXPECT_EQ(test::SizeOf(target + "/" + name), test::SizeOf(source + "/" + name));
    }
}

TEST_F(CopyJobTest, AFileWithoutDataIsCopiedAsOneEmptyRange)
{
    WriteSourceFile("hollow", {}, 16 * MiB);
    std::string path = source + "\\hollow";
    EXPECT_EQ(Run(), (std::vector<Report>{{1, 0, "", 1, 0, 0, 0},
                                          {2, 0, path, 1, 0, 1, 0},
                                          {2, 0, path, 1, 0, 1, 1},
                                          {2, 0, path, 1, 1, 1, 1},
                                          {3, 0, path, 1, 1, 1, 1}}));
    EXPECT_EQ(test::SizeOf(target + "/hollow"), 16 * MiB);
}

TEST_F(CopyJobTest, NothingToCopyStartsAndFinishesWithoutMakingTheDestination)
{
    std::string notAFolder = dir / "plain-file";
    test::WriteDenseFile(notAFolder, "x");
    test::MakeFolder(dir / "no-sparse");
    test::WriteDenseFile(dir / "no-sparse/dense", "dense");

    for (const std::string& from : {dir / "missing", notAFolder, dir / "no-sparse", source}) {
        SCOPED_TRACE(from);
        recorder.reports.clear();
        EXPECT_EQ(Run(from, target),
                  (std::vector<Report>{{1, 0, "", 0, 0, 0, 0}, {3, 0, "", 0, 0, 0, 0}}));
        EXPECT_FALSE(Exists(target));
    }
}

TEST_F(CopyJobTest, AnUnreadableSourceFolderListsNothing)
{
    WriteSourceFile("A", {{0, 4 * KiB}});
    FailNth(Call::Opendir, 1, EACCES);
    EXPECT_EQ(Run(), (std::vector<Report>{{1, 0, "", 0, 0, 0, 0}, {3, 0, "", 0, 0, 0, 0}}));
}

TEST_F(CopyJobTest, SelectionLeavesOutWhatIsNotAReadableSparseFile)
{
    WriteSourceFile("sparse", {{0, 4 * KiB}});
    ASSERT_EQ(mkfifo((source + "/pipe").c_str(), 0644), 0);  // must not block the scan
    ASSERT_EQ(symlink(dir.path().c_str(), (source + "/link-to-folder").c_str()), 0);
    WriteSourceFile("held", {{0, 4 * KiB}});
    // Held for writing with read sharing only: the scan cannot open it.
    HANDLE writer = CreateFileW(W(source + "/held").c_str(), GENERIC_WRITE, FILE_SHARE_READ, NULL,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);

    EXPECT_EQ(ListedNames(source), std::vector<std::string>{"sparse"});
    CloseHandle(writer);
}

TEST_F(CopyJobTest, AFileWhoseAttributesCannotBeReadIsNotListed)
{
    WriteSourceFile("A", {{0, 4 * KiB}});
    // The scan opens the file (one fstat), then reads its attributes (the second).
    FailNth(Call::Fstat, 2, EIO);
    EXPECT_TRUE(ListedNames(source).empty());
}

TEST_F(CopyJobTest, AFileWhosePathWouldNotFitIsNotListed)
{
    // A source folder of about 1000 units: "folder\short" fits, a long name does not.
    std::string deep = source;
    while (deep.size() < 1000)
        deep += "/" + std::string(std::min<size_t>(100, 1000 - deep.size()), 'd');
    test::MakeFolder(deep);
    test::WriteSparseFile(deep + "/s", 8 * MiB, {{0, 4 * KiB}});
    test::WriteSparseFile(deep + "/" + std::string(40, 'n'), 8 * MiB, {{0, 4 * KiB}});

    EXPECT_EQ(ListedNames(deep), std::vector<std::string>{"s"});
}

TEST_F(CopyJobTest, StartRefusesWhatItCannotRun)
{
    std::u16string tooLong(COPY_PATH_CCH, u'a');
    std::u16string longest(COPY_PATH_CCH - 1, u'a');
    LPCWSTR folder = u"/tmp";
    EXPECT_FALSE(StartCopyJob(folder, &job, NULL, &progress, folder));
    EXPECT_FALSE(StartCopyJob(folder, &job, RecordReport, NULL, folder));
    EXPECT_FALSE(StartCopyJob(tooLong.c_str(), &job, RecordReport, &progress, folder));
    EXPECT_FALSE(StartCopyJob(folder, &job, RecordReport, &progress, tooLong.c_str()));
    EXPECT_EQ(job.hThread, nullptr);
    EXPECT_EQ(job.hStopEvent, nullptr);
    EXPECT_EQ(job.pfnProgress, nullptr);

    // 1023 units is the most a folder may have: the job runs (and finds nothing).
    EXPECT_TRUE(StartCopyJob(longest.c_str(), &job, RecordReport, &progress, longest.c_str()));
    StopCopyJob(&job, NULL);
}

TEST_F(CopyJobTest, StartReportsFailureWhenItCannotCreateTheEventOrTheThread)
{
    struct Case {
        const char* name;
        Call call;
        unsigned nth;
        int err;
    };
    const Case cases[] = {
        {"no event", Call::NewHandle, 1, ENOMEM},
        {"no thread handle", Call::NewHandle, 2, ENOMEM},
        {"no thread", Call::ThreadCreate, 1, EAGAIN},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FailNth(c.call, c.nth, c.err);
        EXPECT_FALSE(StartCopyJob(W(source).c_str(), &job, RecordReport, &progress, W(target).c_str()));
        EXPECT_EQ(job.hThread, nullptr);
        EXPECT_EQ(job.hStopEvent, nullptr);
        platform::faults::Clear();
    }
    EXPECT_TRUE(recorder.reports.empty());
}

TEST_F(CopyJobTest, StopCopyJobOnEmptyAndEndedJobs)
{
    StopCopyJob(&job, NULL);  // empty: nothing happens
    EXPECT_EQ(job.hThread, nullptr);

    Start(source, target);
    ASSERT_EQ(WaitForSingleObject(job.hThread, INFINITE), WAIT_OBJECT_0);
    HANDLE thread = job.hThread;
    HANDLE event = job.hStopEvent;
    StopCopyJob(&job, NULL);  // ended: closes both handles
    EXPECT_EQ(job.hThread, nullptr);
    EXPECT_EQ(job.hStopEvent, nullptr);
    DWORD code;
    EXPECT_FALSE(GetExitCodeThread(thread, &code));
    EXPECT_FALSE(SetEvent(event));
    StopCopyJob(&job, NULL);  // again: nothing
}

TEST_F(CopyJobTest, TheWorkerEndsWithExitCodeZero)
{
    WriteSourceFile("A", {{0, 4 * KiB}});
    Start(source, target);
    ASSERT_EQ(WaitForSingleObject(job.hThread, INFINITE), WAIT_OBJECT_0);
    DWORD code = STILL_ACTIVE;
    EXPECT_TRUE(GetExitCodeThread(job.hThread, &code));
    EXPECT_EQ(code, 0u);
}

// A stop requested by the caller while the worker sits in a given report:
// the callback holds the worker until StopCopyJob has signalled the event.
class StopTest : public CopyJobTest {
protected:
    void StopAt(std::function<bool(const Report&)> isStopPoint)
    {
        HANDLE reached = CreateEventW(NULL, TRUE, FALSE, NULL);
        recorder.onReport = [this, reached, isStopPoint](const Report& report) {
            if (!isStopPoint(report))
                return;
            SetEvent(reached);
            WaitForSingleObject(job.hStopEvent, INFINITE);
        };
        Start(source, target);
        ASSERT_EQ(WaitForSingleObject(reached, INFINITE), WAIT_OBJECT_0);
        StopCopyJob(&job, NULL);
        CloseHandle(reached);
        EXPECT_EQ(job.hThread, nullptr);
        ExpectOneTerminalReportAtTheEnd();
    }
};

TEST_F(StopTest, BeforeTheFirstFileNothingIsCreated)
{
    WriteSourceFile("A", {{0, 4 * KiB}});
    StopAt([](const Report& r) { return r.state == CopyStateStarted; });
    EXPECT_EQ(recorder.reports,
              (std::vector<Report>{{1, 0, "", 1, 0, 0, 0}, {0, 0, "", 1, 0, 0, 0}}));
    EXPECT_FALSE(Exists(target));
}

TEST_F(StopTest, WithNoFileListedTheJobFinishes)
{
    HANDLE reached = CreateEventW(NULL, TRUE, FALSE, NULL);
    recorder.onReport = [&](const Report& r) {
        if (r.state == CopyStateStarted) {
            SetEvent(job.hStopEvent);  // no stop test comes before the end
            SetEvent(reached);
        }
    };
    Start(source, target);
    WaitForSingleObject(reached, INFINITE);
    StopCopyJob(&job, NULL);
    CloseHandle(reached);
    EXPECT_EQ(recorder.reports,
              (std::vector<Report>{{1, 0, "", 0, 0, 0, 0}, {3, 0, "", 0, 0, 0, 0}}));
}

TEST_F(StopTest, DuringAFileTheRangeEndsAndThePartialCopyStays)
{
    WriteSourceFile("A", {{0, 64 * KiB}, {2 * MiB, 64 * KiB}, {4 * MiB, 64 * KiB}});
    std::string path = source + "\\A";
    StopAt([](const Report& r) { return r.state == CopyStateCopying && r.rangeIndex == 1; });
    EXPECT_EQ(recorder.reports, (std::vector<Report>{{1, 0, "", 1, 0, 0, 0},
                                                     {2, 0, path, 1, 0, 3, 0},
                                                     {2, 0, path, 1, 0, 3, 1},
                                                     {0, 0, path, 1, 0, 3, 1}}));
    EXPECT_EQ(test::SizeOf(target + "/A"), 8 * MiB);
    EXPECT_EQ(test::DataRangesOf(target + "/A"), (std::vector<DataRange>{{0, 64 * KiB}}));
}

TEST_F(StopTest, AtAFileBoundaryTheLastFileIsNamed)
{
    WriteSourceFile("A", {{0, 4 * KiB}});
    WriteSourceFile("B", {{0, 4 * KiB}});
    std::string first = source + "\\" + ListedNames(source)[0];
    StopAt([](const Report& r) { return r.state == CopyStateCopying && r.copied == 1; });
    EXPECT_EQ(recorder.reports.back(), (Report{0, 0, first, 2, 1, 1, 1}));
}

TEST_F(StopTest, AfterTheLastStopTestTheJobFinishes)
{
    WriteSourceFile("A", {{0, 4 * KiB}});
    StopAt([](const Report& r) { return r.state == CopyStateCopying && r.copied == 1; });
    EXPECT_EQ(recorder.reports.back().state, CopyStateFinished);
    EXPECT_EQ(recorder.reports.back().copied, 1);
}

// The worker's callback sends messages to a window of the thread that is
// stopping it; the wait must keep them moving instead of deadlocking.
LRESULT CALLBACK CountingWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_APP) {
        auto* count = reinterpret_cast<int*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        ++*count;
        return 42;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST_F(CopyJobTest, StopKeepsTheStoppingThreadsMessagesMoving)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = CountingWindowProc;
    windowClass.lpszClassName = u"CopyJobTestWindow";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, u"CopyJobTestWindow", u"", WS_POPUP, 0, 0, 10, 10, NULL, NULL,
                                  NULL, NULL);
    ASSERT_NE(window, nullptr);
    int handled = 0;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&handled));

    WriteSourceFile("A", {{0, 4 * KiB}, {MiB, 4 * KiB}});
    HANDLE reached = CreateEventW(NULL, TRUE, FALSE, NULL);
    std::vector<LRESULT> answers;
    recorder.onReport = [&](const Report&) {
        SetEvent(reached);
        answers.push_back(SendMessageW(window, WM_APP, 0, 0));
    };
    Start(source, target);
    WaitForSingleObject(reached, INFINITE);  // the worker now waits for this thread
    StopCopyJob(&job, window);

    EXPECT_EQ(job.hThread, nullptr);
    EXPECT_EQ(handled, (int)recorder.reports.size());
    EXPECT_EQ(answers, std::vector<LRESULT>(recorder.reports.size(), 42));
    EXPECT_EQ(recorder.reports.back().state, CopyStateError);
    CloseHandle(reached);
    DestroyWindow(window);
}

TEST_F(CopyJobTest, AFileWhoseRangesCannotBeQueriedIsSkipped)
{
    WriteSourceFile("A", {{0, 4 * KiB}, {2 * MiB, 4 * KiB}, {4 * MiB, 4 * KiB}});
    for (unsigned failingSeek : {1u, 4u}) {
        SCOPED_TRACE(failingSeek);
        recorder.reports.clear();
        // Armed once the scan is done, so the range query meets the fault.
        recorder.onReport = [failingSeek](const Report& r) {
            if (r.state == CopyStateStarted)
                FailNth(Call::Lseek, failingSeek, EIO);
        };
        EXPECT_EQ(Run(), (std::vector<Report>{{1, 0, "", 1, 0, 0, 0}, {3, 0, "", 1, 0, 0, 0}}));
        EXPECT_FALSE(Exists(target + "/A"));
        platform::faults::Clear();
    }
}

TEST_F(CopyJobTest, ASkippedFileCountsInTheTotalOnly)
{
    WriteSourceFile("A", {{0, 4 * KiB}});
    WriteSourceFile("B", {{0, 4 * KiB}});
    std::string skipped = ListedNames(source)[0];
    std::string copied = skipped == "A" ? "B" : "A";
    recorder.onReport = [&](const Report& r) {
        if (r.state == CopyStateStarted)
            unlink((source + "/" + skipped).c_str());
    };
    std::vector<Report> reports = Run();
    EXPECT_EQ(reports.back(), (Report{3, 0, source + "\\" + copied, 2, 1, 1, 1}));
    for (const Report& r : reports)
        EXPECT_NE(r.file, source + "\\" + skipped) << r;
}

struct FailureCase {
    const char* name;
    int error;
};

TEST_F(CopyJobTest, AFailedStepEndsTheJobWithItsError)
{
    WriteSourceFile("A", {{0, 4 * KiB}, {MiB, 128 * KiB}});
    std::string path = source + "\\A";
    test::WriteDenseFile(dir / "file-in-the-way", "x");
    const struct {
        const char* name;
        std::string to;
        std::function<void()> arm;  // runs when A enters the copy stage
        std::vector<Report> tail;
    } cases[] = {
        {"source cannot be opened", target, [] { FailNth(Call::Open, 1, EACCES); },
         {{0, 1, path, 1, 0, 2, 0}}},
        {"destination cannot be made", dir / "file-in-the-way/sub", [] {},
         {{0, 2, path, 1, 0, 2, 0}}},
        {"range cannot be read", target, [] { FailNth(Call::Pread, 2, EIO); },
         {{2, 0, path, 1, 0, 2, 1}, {0, 3, path, 1, 0, 2, 1}}},
        {"source shorter than its range", target, [] { ShortNth(Call::Pread, 1, 0); },
         {{0, 3, path, 1, 0, 2, 0}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        recorder.reports.clear();
        recorder.onReport = [&](const Report& r) {
            if (r.state == CopyStateCopying && r.rangeIndex == 0)
                c.arm();
        };
        std::vector<Report> expected{{1, 0, "", 1, 0, 0, 0}, {2, 0, path, 1, 0, 2, 0}};
        expected.insert(expected.end(), c.tail.begin(), c.tail.end());
        EXPECT_EQ(Run(source, c.to), expected);
        platform::faults::Clear();
    }
}

TEST_F(CopyJobTest, AnExistingDestinationIsReplacedWithoutTouchingItsOtherNames)
{
    WriteSourceFile("A", {{MiB, 4 * KiB}}, 2 * MiB);
    WriteSourceFile("B", {{0, 4 * KiB}}, 2 * MiB);
    test::MakeFolder(target);
    test::MakeFolder(dir / "elsewhere");
    // A: an earlier backup whose data another generation shares by a hard link.
    test::WriteDenseFile(target + "/A", std::string(3 * MiB, 'o'));
    ASSERT_EQ(link((target + "/A").c_str(), (dir / "elsewhere/A-generation").c_str()), 0);
    // B: a symbolic link that points out of the destination.
    test::WriteDenseFile(dir / "elsewhere/outside", "outside data");
    ASSERT_EQ(symlink((dir / "elsewhere/outside").c_str(), (target + "/B").c_str()), 0);
    test::WriteDenseFile(target + "/unrelated", "keep me");
    test::FileFingerprint generation = test::FingerprintOf(dir / "elsewhere/A-generation");
    test::FileFingerprint outside = test::FingerprintOf(dir / "elsewhere/outside");

    EXPECT_EQ(Run().back().copied, 2);
    for (const char* name : {"A", "B"}) {
        EXPECT_TRUE(test::SameBytes(source + "/" + name, target + "/" + name)) << name;
        EXPECT_EQ(test::DataRangesOf(target + "/" + name), test::DataRangesOf(source + "/" + name));
    }
    EXPECT_EQ(test::FingerprintOf(dir / "elsewhere/A-generation"), generation);
    EXPECT_EQ(test::FingerprintOf(dir / "elsewhere/outside"), outside);
    EXPECT_EQ(test::FingerprintOf(target + "/unrelated").size, 7);
}

// Share modes keep a destination that leads back to a source file from
// replacing or truncating it: the job ends at that file instead.
TEST_F(CopyJobTest, ADestinationThatIsTheSourceLeavesTheSourcesAlone)
{
    WriteSourceFile("A", {{0, 64 * KiB}, {MiB, 64 * KiB}});
    test::MakeFolder(dir / "links");
    ASSERT_EQ(symlink(source.c_str(), (dir / "links/to-source").c_str()), 0);
    test::MakeFolder(dir / "hardlinked");
    ASSERT_EQ(link((source + "/A").c_str(), (dir / "hardlinked/A").c_str()), 0);
    test::FileFingerprint before = test::FingerprintOf(source + "/A");

    for (const std::string& to : {source, source + "/.", dir / "links/to-source", dir / "hardlinked"}) {
        SCOPED_TRACE(to);
        recorder.reports.clear();
        EXPECT_EQ(Run(source, to).back(), (Report{0, 2, source + "\\A", 1, 0, 2, 0}));
        EXPECT_EQ(test::FingerprintOf(source + "/A"), before);
    }
}

TEST_F(CopyJobTest, AFullDestinationEndsTheJobAndChangesNoSource)
{
    std::string full = dir / "full";
    test::MakeFolder(full);
    if (mount("corvane-test", full.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a small file system here: " << strerror(errno);
    WriteSourceFile("A", {{0, 4 * MiB}});
    test::FileFingerprint before = test::FingerprintOf(source + "/A");

    std::vector<Report> reports = Run(source, full);
    umount2(full.c_str(), MNT_DETACH);
    EXPECT_EQ(reports.back().state, CopyStateError);
    EXPECT_EQ(reports.back().error, CopyErrorCopyRange);
    EXPECT_EQ(test::FingerprintOf(source + "/A"), before);
}

TEST_F(CopyJobTest, ARootLikeFolderGetsADoubledSeparator)
{
    WriteSourceFile("A", {{0, 4 * KiB}});
    EXPECT_EQ(Run(source + "\\", target + "/").back(),
              (Report{3, 0, source + "\\\\A", 1, 1, 1, 1}));
    EXPECT_TRUE(test::SameBytes(source + "/A", target + "/A"));
}

TEST_F(CopyJobTest, ANewJobStartsOnTheSameRecords)
{
    WriteSourceFile("A", {{0, 4 * KiB}});
    Run();
    recorder.reports.clear();
    ASSERT_EQ(Run(source, dir / "second").back().copied, 1);
    EXPECT_EQ(recorder.reports.front(), (Report{1, 0, "", 1, 0, 0, 0}));
    EXPECT_TRUE(test::SameBytes(source + "/A", dir / "second/A"));
}

}  // namespace
