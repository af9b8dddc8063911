#include "platform/console.h"

#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "platform/linux/paths.h"

namespace console {
namespace {

int DescriptorOf(Stream stream)
{
    return stream == StandardOutput ? STDOUT_FILENO : STDERR_FILENO;
}

sigset_t InterruptSignals()
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

}  // namespace

std::vector<std::u16string> Arguments(int argc, char** argv)
{
    std::vector<std::u16string> arguments;
    for (int i = 1; i < argc; i++)
        arguments.push_back(platform::TextFromNative(argv[i]));
    return arguments;
}

void Write(Stream stream, const std::u16string& text)
{
    std::string bytes = platform::TextToNative(text);
    const char* data = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        ssize_t written = write(DescriptorOf(stream), data, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;  // a closed pipe or a full disk: output is lost, the copy goes on
        data += written;
        left -= (size_t)written;
    }
}

bool IsTerminal(Stream stream)
{
    return isatty(DescriptorOf(stream)) == 1;
}

int TerminalColumns(Stream stream)
{
    struct winsize size;
    if (ioctl(DescriptorOf(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

void CallOnInterrupt(std::function<void()> onInterrupt)
{
    // Blocked here, the signals reach only the waiting thread below, which
    // may then call anything; a signal handler could not.
    static const sigset_t signals = InterruptSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    signal(SIGPIPE, SIG_IGN);
    std::thread([onInterrupt] {
        int received;
        sigwait(&signals, &received);
        onInterrupt();
        sigwait(&signals, &received);
        _exit(130);
    }).detach();
}

}  // namespace console
