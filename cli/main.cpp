// corvane-cli SOURCE DEST: the copy engine from a terminal.
#include <atomic>

#include "cli/copy_command.h"
#include "cli/options.h"
#include "cli/progress_output.h"
#include "platform/console.h"

namespace {

TextSink SinkFor(console::Stream stream)
{
    return [stream](const std::u16string& text) { console::Write(stream, text); };
}

// The stop event is known only once the job runs; an interrupt that comes
// earlier is kept and delivered then.
class InterruptForwarder {
public:
    void OnInterrupt()
    {
        m_interrupted = true;
        if (HANDLE event = m_stopEvent.load())
            SetEvent(event);
    }
    void OnRunning(HANDLE stopEvent)
    {
        m_stopEvent = stopEvent;
        if (m_interrupted)
            SetEvent(stopEvent);
    }

private:
    std::atomic<HANDLE> m_stopEvent{nullptr};
    std::atomic<bool> m_interrupted{false};
};

int RunCopy(const CliOptions& options)
{
    static InterruptForwarder forwarder;
    console::CallOnInterrupt([] { forwarder.OnInterrupt(); });

    StatusLines lines(SinkFor(console::StandardOutput), SinkFor(console::StandardError));
    TerminalLine terminal(SinkFor(console::StandardOutput), SinkFor(console::StandardError),
                          console::TerminalColumns(console::StandardOutput));
    ProgressOutput& output = console::IsTerminal(console::StandardOutput)
                                 ? static_cast<ProgressOutput&>(terminal)
                                 : static_cast<ProgressOutput&>(lines);
    return RunCopyCommand(options.source, options.target, output,
                          [](HANDLE stopEvent) { forwarder.OnRunning(stopEvent); });
}

}  // namespace

int main(int argc, char** argv)
{
    CliOptions options = ParseArguments(console::Arguments(argc, argv));
    switch (options.command) {
    case CliHelp:
        console::Write(console::StandardOutput, kUsageText);
        return 0;
    case CliVersion:
        console::Write(console::StandardOutput, u"corvane-cli " CORVANE_VERSION u"\n");
        return 0;
    case CliUsageError:
        console::Write(console::StandardError,
                       u"corvane-cli: " + options.problem + u" (try --help)\n");
        return ExitUsage;
    case CliCopy:
        break;
    }
    return RunCopy(options);
}
