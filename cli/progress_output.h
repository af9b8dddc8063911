// The two ways the command line shows a job: status lines for logs and
// pipes, one line redrawn in place for a person at a terminal.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "cli/copy_command.h"

typedef std::function<void(const std::u16string&)> TextSink;

// Each status text once, in order, one per line: the range reports of a
// file repeat its text and are not printed again.
class StatusLines : public ProgressOutput {
public:
    StatusLines(TextSink out, TextSink err) : m_out(std::move(out)), m_err(std::move(err)) {}
    void OnReport(const CopyProgress& progress) override;
    void OnNotStarted() override;

private:
    TextSink m_out;
    TextSink m_err;
    std::u16string m_lastText;
};

// One line, redrawn at most ten times a second: a bar of files done out of
// found, the data rate and the current file; the end text on its own line.
class TerminalLine : public ProgressOutput {
public:
    TerminalLine(TextSink out, TextSink err, int columns)
        : m_out(std::move(out)), m_err(std::move(err)), m_columns(columns)
    {
    }
    void OnReport(const CopyProgress& progress) override;
    void OnNotStarted() override;

private:
    void TrackBytes(const CopyProgress& progress);
    void Redraw(const CopyProgress& progress);

    typedef std::chrono::steady_clock Clock;
    TextSink m_out;
    TextSink m_err;
    int m_columns;
    Clock::time_point m_started;
    Clock::time_point m_lastDrawn;
    std::vector<LONGLONG> m_rangeLengths;  // of the current file
    int m_copiedAtFileStart = 0;
    LONGLONG m_bytesCopied = 0;
    int m_drawnCopiedFiles = -1;
};
