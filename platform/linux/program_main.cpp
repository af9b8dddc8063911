// The program's entry on Linux, as WinMain is on Windows: it picks the
// view that shows the windows, then runs the application object.
#include <cstdio>

#include "platform/framework/win_app.h"

int main()
{
    // No desktop view is built into this version yet: without one, the
    // window could be neither seen nor used.
    std::fputs("corvane: 此版本还不能在 Linux 上显示窗口, 请使用 corvane-cli。\n"
               "corvane: this build cannot show its window on Linux yet; use corvane-cli.\n",
               stderr);
    return 2;
}
