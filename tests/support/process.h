// Runs a program of the project as a user would, and watches its output.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace test {

struct ProcessResult {
    int exitStatus;  // 128 + signal when it was killed
    std::string out;
    std::string err;
};

// Called whenever more standard output has arrived, with all of it so far.
typedef std::function<void(pid_t, const std::string& outSoFar)> OutputWatcher;

ProcessResult RunProcess(const std::vector<std::string>& argv, OutputWatcher watcher = {});

// Runs argv with a pseudo-terminal as its standard output.
ProcessResult RunInTerminal(const std::vector<std::string>& argv);

}  // namespace test
