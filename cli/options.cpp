#include "cli/options.h"

#include "engine/copy_job.h"

const char16_t kUsageText[] =
    u"用法: corvane-cli 源文件夹 目的文件夹\n"
    u"Usage: corvane-cli SOURCE DEST\n"
    u"\n"
    u"把源文件夹中的每个稀疏文件复制到目的文件夹, 只读写已分配的区域, 空洞保持为空洞。\n"
    u"Copies every sparse file directly inside SOURCE into DEST, reading and\n"
    u"writing only the allocated ranges, so that holes stay holes.\n"
    u"\n"
    u"退出状态 / Exit status:\n"
    u"  0    全部复制 / every sparse file copied\n"
    u"  1    有文件被跳过 / some files were skipped\n"
    u"  2    用法错误 / wrong usage\n"
    u"  3    复制出错 / the copy failed\n"
    u"  130  被中断 / stopped by Ctrl+C or a termination request\n"
    u"\n"
    u"  --help     显示本帮助 / show this help\n"
    u"  --version  显示版本 / show the version\n";

namespace {

CliOptions UsageError(const std::u16string& problem)
{
    return CliOptions{CliUsageError, u"", u"", problem};
}

// Returns an empty text when folder can be given to a copy job.
std::u16string FolderProblem(const std::u16string& folder, const char16_t* which)
{
    if (folder.empty())
        return std::u16string(which) + u" is empty";
    if (folder.size() >= (size_t)COPY_PATH_CCH)
        return std::u16string(which) + u" is longer than 1023 UTF-16 units";
    return u"";
}

}  // namespace

CliOptions ParseArguments(const std::vector<std::u16string>& arguments)
{
    if (arguments.size() == 1 && arguments[0] == u"--help")
        return CliOptions{CliHelp, u"", u"", u""};
    if (arguments.size() == 1 && arguments[0] == u"--version")
        return CliOptions{CliVersion, u"", u"", u""};
    if (arguments.size() != 2)
        return UsageError(u"expected SOURCE and DEST, got " + std::u16string(arguments.size() < 2 ? u"fewer" : u"more") + u" arguments");
    for (const std::u16string& argument : arguments) {
        if (argument.size() > 2 && argument.compare(0, 2, u"--") == 0)
            return UsageError(u"unknown option " + argument);
    }
    std::u16string problem = FolderProblem(arguments[0], u"SOURCE");
    if (problem.empty())
        problem = FolderProblem(arguments[1], u"DEST");
    if (!problem.empty())
        return UsageError(problem);
    return CliOptions{CliCopy, arguments[0], arguments[1], u""};
}
