// The program's entry on Linux, as WinMain is on Windows: it opens the
// view that shows the windows on the desktop, then runs the application
// object.
#include <cstdio>
#include <string>

#include "platform/framework/win_app.h"
#include "platform/gtk_view.h"
#include "platform/linux/paths.h"

namespace {

// The arguments as one line, as Windows hands them to WinMain.
std::u16string CommandLine(int argc, char** argv)
{
    std::string line;
    for (int i = 1; i < argc; ++i)
        line += (i > 1 ? " " : "") + std::string(argv[i]);
    return platform::TextFromNative(line);
}

}  // namespace

int main(int argc, char** argv)
{
    std::unique_ptr<platform::WindowView> view = platform::OpenGtkView(&argc, &argv);
    if (!view) {
        std::fputs("corvane: 没有可用的显示器 (DISPLAY), 无法打开窗口; 请改用 corvane-cli, "
                   "或在 xvfb-run 下运行 / no display to show the window on: use corvane-cli, "
                   "or run under xvfb-run\n",
                   stderr);
        return 1;
    }
    platform::SetWindowView(view.get());
    std::u16string commandLine = CommandLine(argc, argv);
    int exitCode = AfxWinMain(GetModuleHandleW(nullptr), nullptr, &commandLine[0], SW_SHOWNORMAL);
    platform::SetWindowView(nullptr);
    return exitCode;
}
