#include "cli/progress_output.h"

#include "engine/sparse_ops.h"
#include "ui/status_text.h"

namespace {

const char16_t kNotStarted[] = u"corvane-cli: 无法启动复制 / the copy could not be started\n";

std::u16string StatusText(const CopyProgress& progress)
{
    CString text;
    if (!FormatCopyStatus(&progress, text))
        return u"";
    return text.GetString();
}

bool IsEndReport(const CopyProgress& progress)
{
    return progress.nState == CopyStateError || progress.nState == CopyStateFinished;
}

// Columns a text takes on a terminal: wide (CJK) characters take two.
int DisplayWidth(const std::u16string& text)
{
    int width = 0;
    for (char16_t unit : text) {
        if (unit >= 0xDC00 && unit <= 0xDFFF)
            continue;  // the second half of a pair was counted with the first
        width += unit >= 0x1100 && !(unit >= 0xD800 && unit <= 0xDBFF) ? 2 : 1;
    }
    return width;
}

// Keeps the end of a path, the part that names the file.
std::u16string FitFromTheRight(const std::u16string& text, int columns)
{
    if (DisplayWidth(text) <= columns)
        return text;
    std::u16string tail;
    for (size_t i = text.size(); i > 0 && DisplayWidth(tail) + 3 < columns; i--)
        tail.insert(tail.begin(), text[i - 1]);
    return u"..." + tail;
}

std::u16string Bar(int done, int total, int width)
{
    int filled = total > 0 ? (int)((long long)done * width / total) : width;
    return std::u16string(filled, u'#') + std::u16string(width - filled, u'.');
}

}  // namespace

void StatusLines::OnReport(const CopyProgress& progress)
{
    std::u16string text = StatusText(progress);
    if (text.empty() || text == m_lastText)
        return;
    m_lastText = text;
    m_out(text + u"\n");
}

void StatusLines::OnNotStarted()
{
    m_err(kNotStarted);
}

void TerminalLine::OnReport(const CopyProgress& progress)
{
    if (progress.nState == CopyStateStarted)
        m_started = Clock::now();
    TrackBytes(progress);
    if (IsEndReport(progress)) {
        m_out(u"\r\x1b[K" + StatusText(progress) + u"\n");
        return;
    }
    bool fileDone = progress.nCopiedFiles != m_drawnCopiedFiles;
    bool newFile = progress.nState == CopyStateCopying && progress.nRangeIndex == 0;
    if (fileDone || newFile || Clock::now() - m_lastDrawn >= std::chrono::milliseconds(100))
        Redraw(progress);
}

void TerminalLine::OnNotStarted()
{
    m_err(kNotStarted);
}

// The engine reports ranges, not bytes: the lengths come from asking the
// file system for the current file's ranges once, as the engine did.
void TerminalLine::TrackBytes(const CopyProgress& progress)
{
    if (progress.nState != CopyStateCopying)
        return;
    if (progress.nRangeIndex == 0) {
        m_copiedAtFileStart = progress.nCopiedFiles;
        AllocatedRangeList ranges;
        m_rangeLengths.clear();
        if (QueryAllocatedRanges(progress.szCurrentFile, ranges)) {
            for (const FILE_ALLOCATED_RANGE_BUFFER& range : ranges)
                m_rangeLengths.push_back(range.Length.QuadPart);
        }
    } else if (progress.nRangeIndex > 0 && (size_t)progress.nRangeIndex <= m_rangeLengths.size() &&
               progress.nCopiedFiles == m_copiedAtFileStart) {  // not the file's count report
        m_bytesCopied += m_rangeLengths[progress.nRangeIndex - 1];
    }
}

void TerminalLine::Redraw(const CopyProgress& progress)
{
    m_lastDrawn = Clock::now();
    m_drawnCopiedFiles = progress.nCopiedFiles;
    double seconds = std::chrono::duration<double>(m_lastDrawn - m_started).count();
    int tenthsMiBPerSecond = seconds > 0 ? (int)(m_bytesCopied / seconds / (1 << 20) * 10) : 0;

    WCHAR prefix[128];
    StringCchPrintfW(prefix, 128, u"[%s] %d/%d  %d.%d MiB/s  ",
                     Bar(progress.nCopiedFiles, progress.nTotalFiles, 20).c_str(),
                     progress.nCopiedFiles, progress.nTotalFiles, tenthsMiBPerSecond / 10,
                     tenthsMiBPerSecond % 10);
    int room = m_columns - 1 - DisplayWidth(prefix);
    std::u16string line = prefix;
    if (room > 3)
        line += FitFromTheRight(progress.szCurrentFile, room);
    m_out(u"\r\x1b[K" + line);
}
