#include "tests/support/program_on_screen.h"

#include "platform/framework/win_app.h"

namespace test {

ProgramOnScreen::ProgramOnScreen(platform::HeadlessView& view) : m_view(view)
{
    platform::SetWindowView(&view);
    m_thread = std::thread([this] {
        WCHAR noArguments[] = {0};
        m_exitCode = AfxWinMain(GetModuleHandleW(nullptr), nullptr, noArguments, SW_SHOWNORMAL);
        m_ended = true;
    });
}

ProgramOnScreen::~ProgramOnScreen()
{
    m_view.WaitUntil([this] {
        if (Ended())
            return true;
        if (!m_view.AnswerMessageBox(IDYES) && !m_view.AnswerMessageBox(IDOK) &&
            !m_view.CancelFolderBrowser())
            m_view.Close();
        return false;
    });
    m_thread.join();
    platform::SetWindowView(nullptr);
}

bool ProgramOnScreen::WaitForEnd() const
{
    return m_view.WaitUntil([this] { return Ended(); });
}

}  // namespace test
