// The whole program, running as it does for a person: theApp started
// through the framework's entry on a thread of its own, its windows shown
// by a headless view that the test drives.
#pragma once

#include <atomic>
#include <thread>

#include "platform/headless_view.h"

namespace test {

class ProgramOnScreen {
public:
    explicit ProgramOnScreen(platform::HeadlessView& view);
    // Ends a program still running as a person would (closing it, and
    // saying Yes when asked), then waits for it.
    ~ProgramOnScreen();
    ProgramOnScreen(const ProgramOnScreen&) = delete;
    ProgramOnScreen& operator=(const ProgramOnScreen&) = delete;

    bool Ended() const { return m_ended.load(); }
    // Whether the program ends within the view's patience.
    bool WaitForEnd() const;
    int ExitCode() const { return m_exitCode.load(); }

private:
    platform::HeadlessView& m_view;
    std::atomic<bool> m_ended{false};
    std::atomic<int> m_exitCode{0};
    std::thread m_thread;
};

}  // namespace test
