// What the command line asks for.
#pragma once

#include <string>
#include <vector>

enum CliCommand { CliCopy, CliHelp, CliVersion, CliUsageError };

struct CliOptions {
    CliCommand command;
    std::u16string source;
    std::u16string target;
    std::u16string problem;  // for CliUsageError: one line saying what is wrong
};

CliOptions ParseArguments(const std::vector<std::u16string>& arguments);

extern const char16_t kUsageText[];
