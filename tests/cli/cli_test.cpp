#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <cerrno>
#include <sstream>

#include "cli/copy_command.h"
#include "cli/progress_output.h"
#include "engine/copy_job.h"
#include "platform/linux/syscalls.h"
#include "tests/support/process.h"
#include "tests/support/sparse_files.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wide.h"

namespace {

using test::DataRange;
using test::GiB;
using test::KiB;
using test::MiB;
using test::W;

const char kCli[] = CORVANE_CLI_PATH;

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::MakeFolder(source);
        SKIP_WITHOUT_HOLES(source);
    }
    void TearDown() override { platform::faults::Clear(); }

    test::ProcessResult Cli(const std::vector<std::string>& arguments,
                            test::OutputWatcher watcher = {})
    {
        std::vector<std::string> argv{kCli};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return test::RunProcess(argv, watcher);
    }

    // Source paths in the order the engine lists them, as it composes them.
    std::vector<std::string> ListedPaths()
    {
        SparseFileList files;
        ListSparseFiles(W(source).c_str(), files);
        std::vector<std::string> paths;
        for (const auto& name : files)
            paths.push_back(source + "\\" + test::U8(name.c_str()));
        return paths;
    }

    test::TempDir dir;
    std::string source = dir / "source";
    std::string target = dir / "target";
};

TEST_F(CliTest, WrongUsageSaysSoInOneLineAndRunsNothing)
{
    const std::vector<std::vector<std::string>> cases = {
        {},
        {source},
        {source, target, "extra"},
        {"", target},
        {source, ""},
        {std::string(1024, 'a'), target},
        {"--fast", target},
    };
    for (const auto& arguments : cases) {
        SCOPED_TRACE(testing::PrintToString(arguments));
        test::ProcessResult result = Cli(arguments);
        EXPECT_EQ(result.exitStatus, 2);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(Lines(result.err).size(), 1u) << result.err;
        EXPECT_EQ(result.err.rfind("corvane-cli: ", 0), 0u) << result.err;
    }
    struct stat st;
    EXPECT_NE(stat(target.c_str(), &st), 0);
}

TEST_F(CliTest, HelpAndVersion)
{
    test::ProcessResult help = Cli({"--help"});
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_NE(help.out.find("用法: corvane-cli 源文件夹 目的文件夹"), std::string::npos);
    EXPECT_NE(help.out.find("Usage: corvane-cli SOURCE DEST"), std::string::npos);

    test::ProcessResult version = Cli({"--version"});
    EXPECT_EQ(version.exitStatus, 0);
    EXPECT_EQ(version.out, "corvane-cli 2015.10.15.1420\n");
}

TEST_F(CliTest, PrintsEachStatusTextOnceAndCopiesEverything)
{
    test::WriteSparseFile(source + "/a.img", 16 * MiB, {{0, 64 * KiB}, {8 * MiB, 4 * KiB}});
    test::WriteSparseFile(source + "/b.img", 16 * MiB, {{4 * MiB, 4 * KiB}});
    test::WriteDenseFile(source + "/notes.txt", "not sparse");

    test::ProcessResult result = Cli({source, target});
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    std::vector<std::string> expected{"开始复制文件(共2个文件)"};
    for (const std::string& path : ListedPaths())
        expected.push_back("复制" + path + "中...");
    expected.push_back("复制完毕(共2个文件,复制了2个文件)");
    EXPECT_EQ(Lines(result.out), expected);
    EXPECT_EQ(result.err, "");
    for (const char* name : {"a.img", "b.img"}) {
        EXPECT_TRUE(test::SameBytes(source + "/" + name, target + "/" + name)) << name;
        EXPECT_EQ(test::DataRangesOf(target + "/" + name), test::DataRangesOf(source + "/" + name));
    }
}

TEST_F(CliTest, NamesThatAreNotUtf8AreCopiedUnderTheirOwnBytes)
{
    std::string oddFolder = dir / "src-\xff";
    test::MakeFolder(oddFolder);
    test::WriteSparseFile(oddFolder + "/\xfe\xff name\\with backslash", 8 * MiB, {{MiB, 4 * KiB}});
    test::ProcessResult result = Cli({oddFolder, dir / "dst-\xfe"});
    EXPECT_EQ(result.exitStatus, 0) << result.out << result.err;
    EXPECT_TRUE(test::SameBytes(oddFolder + "/\xfe\xff name\\with backslash",
                                dir / "dst-\xfe/\xfe\xff name\\with backslash"));
}

TEST_F(CliTest, AnEmptySourceFinishesWithNothingCopied)
{
    test::ProcessResult result = Cli({source, target});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(Lines(result.out),
              (std::vector<std::string>{"开始复制文件(共0个文件)", "复制完毕(共0个文件,复制了0个文件)"}));
}

TEST_F(CliTest, AJobThatFailsEndsWithItsErrorAndStatus3)
{
    test::WriteSparseFile(source + "/a.img", 8 * MiB, {{0, 4 * KiB}});
    test::WriteDenseFile(dir / "file", "in the way");
    test::ProcessResult result = Cli({source, dir / "file/sub"});
    EXPECT_EQ(result.exitStatus, 3);
    EXPECT_EQ(Lines(result.out).back(), "复制" + source + "\\a.img错误,(错误号:2)");
}

TEST_F(CliTest, AFullDestinationEndsWithStatus3)
{
    std::string full = dir / "full";
    test::MakeFolder(full);
    if (mount("corvane-test", full.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a small file system here: " << strerror(errno);
    test::WriteSparseFile(source + "/a.img", 8 * MiB, {{0, 4 * MiB}});
    test::FileFingerprint before = test::FingerprintOf(source + "/a.img");
    test::ProcessResult result = Cli({source, full});
    umount2(full.c_str(), MNT_DETACH);
    EXPECT_EQ(result.exitStatus, 3);
    EXPECT_EQ(Lines(result.out).back(), "复制" + source + "\\a.img错误,(错误号:3)");
    EXPECT_EQ(test::FingerprintOf(source + "/a.img"), before);
}

TEST_F(CliTest, InterruptStopsTheJobAndLeavesThePartialCopy)
{
    // Many ranges, so the stop is seen after the range in progress.
    std::vector<DataRange> ranges;
    for (int64_t i = 0; i < 4096; i++)
        ranges.push_back({i * 128 * KiB, 64 * KiB});
    test::WriteSparseFile(source + "/big.img", 512 * MiB, ranges);

    for (int signalNumber : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(strsignal(signalNumber));
        bool sent = false;
        test::ProcessResult result = Cli({source, target}, [&](pid_t pid, const std::string& out) {
            if (!sent && out.find("中...") != std::string::npos) {
                kill(pid, signalNumber);
                sent = true;
            }
        });
        EXPECT_EQ(result.exitStatus, 130) << result.out;
        EXPECT_EQ(Lines(result.out).back(), "复制" + source + "\\big.img错误,(错误号:0)");
        EXPECT_EQ(test::SizeOf(target + "/big.img"), 512 * MiB);
        EXPECT_LT(test::DataRangesOf(target + "/big.img").size(), ranges.size());
    }
}

TEST_F(CliTest, ATerminalGetsOneLineRedrawnInPlace)
{
    test::WriteSparseFile(source + "/a.img", 16 * MiB, {{0, 64 * KiB}, {8 * MiB, 4 * KiB}});
    test::ProcessResult result = test::RunInTerminal({kCli, source, target});
    EXPECT_EQ(result.exitStatus, 0) << result.out;
    EXPECT_NE(result.out.find("\r\x1b[K[....................] 0/1"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("a.img"), std::string::npos);
    EXPECT_NE(result.out.find("MiB/s"), std::string::npos);
    // The terminal turns the final newline into CR LF.
    const std::string end = "\r\x1b[K复制完毕(共1个文件,复制了1个文件)\r\n";
    ASSERT_GE(result.out.size(), end.size());
    EXPECT_EQ(result.out.substr(result.out.size() - end.size()), end);
}

// In-process, where the system-call seam can make a listed file unreadable.
TEST_F(CliTest, ASkippedFileGivesStatus1)
{
    test::WriteSparseFile(source + "/a.img", 8 * MiB, {{0, 4 * KiB}});
    std::string out;
    StatusLines lines([&](const std::u16string& text) { out += test::U8(text.c_str()); },
                      [](const std::u16string&) {});
    // The scan's hole test is the first seek; the range query's the second.
    platform::faults::FailNth(platform::sys::Call::Lseek, 2, EIO);
    EXPECT_EQ(RunCopyCommand(W(source), W(target), lines, [](HANDLE) {}), ExitSomeSkipped);
    EXPECT_EQ(Lines(out), (std::vector<std::string>{"开始复制文件(共1个文件)",
                                                    "复制完毕(共1个文件,复制了0个文件)"}));
}

}  // namespace
