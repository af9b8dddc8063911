// What a command-line front end needs from the system, in the program's
// UTF-16 text: its arguments, its two output streams, whether the output is
// a terminal, and a way to hear Ctrl+C.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace console {

enum Stream { StandardOutput, StandardError };

// The arguments after the program name, decoded as text a person typed.
std::vector<std::u16string> Arguments(int argc, char** argv);

// Writes text as it stands (no newline is added).
void Write(Stream stream, const std::u16string& text);

bool IsTerminal(Stream stream);

// Columns of the terminal behind stream, or 80 when unknown.
int TerminalColumns(Stream stream);

// From now on the first Ctrl+C (or termination request) calls onInterrupt on
// a thread of its own; a second one ends the process with status 130. Call
// it before starting other threads, so that none of them is interrupted.
// It also lets writes to a closed pipe fail instead of ending the process.
void CallOnInterrupt(std::function<void()> onInterrupt);

}  // namespace console
