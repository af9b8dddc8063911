// One copy job from the command line, and its exit status.
#pragma once

#include <functional>
#include <string>

#include "engine/copy_job.h"

enum CliExitStatus {
    ExitAllCopied = 0,
    ExitSomeSkipped = 1,
    ExitUsage = 2,
    ExitJobFailed = 3,
    ExitInterrupted = 130,
};

// Shows the job's reports; called on the worker thread, one report at a time.
class ProgressOutput {
public:
    virtual ~ProgressOutput() = default;
    virtual void OnReport(const CopyProgress& progress) = 0;
    // The job could not be started at all.
    virtual void OnNotStarted() = 0;
};

// Runs one job from source to target and waits for its end. onRunning gets
// the job's stop event as soon as the job runs; setting it stops the job.
// Returns the exit status that the job's last report calls for.
CliExitStatus RunCopyCommand(const std::u16string& source, const std::u16string& target,
                             ProgressOutput& output, const std::function<void(HANDLE)>& onRunning);
