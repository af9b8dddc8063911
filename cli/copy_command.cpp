#include "cli/copy_command.h"

namespace {

struct CommandContext {
    ProgressOutput* output;
    int lastState;
    int lastError;
    int totalFiles;
    int copiedFiles;
};

void OnCommandProgress(CopyProgress* progress)
{
    CommandContext* context = static_cast<CommandContext*>(progress->pOwner);
    context->lastState = progress->nState;
    context->lastError = progress->nError;
    context->totalFiles = progress->nTotalFiles;
    context->copiedFiles = progress->nCopiedFiles;
    context->output->OnReport(*progress);
}

CliExitStatus StatusOf(const CommandContext& context)
{
    if (context.lastState == CopyStateFinished)
        return context.copiedFiles == context.totalFiles ? ExitAllCopied : ExitSomeSkipped;
    if (context.lastError == CopyErrorStopped)
        return ExitInterrupted;  // only an interrupt stops a job here
    return ExitJobFailed;
}

}  // namespace

CliExitStatus RunCopyCommand(const std::u16string& source, const std::u16string& target,
                             ProgressOutput& output, const std::function<void(HANDLE)>& onRunning)
{
    CopyJob job;
    ZeroMemory(&job, sizeof(job));
    CopyProgress progress;
    ZeroMemory(&progress, sizeof(progress));
    CommandContext context = {&output, CopyStateError, CopyErrorStopped, 0, 0};
    progress.pOwner = &context;

    if (!StartCopyJob(source.c_str(), &job, OnCommandProgress, &progress, target.c_str())) {
        output.OnNotStarted();
        return ExitJobFailed;
    }
    onRunning(job.hStopEvent);
    WaitForSingleObject(job.hThread, INFINITE);
    StopCopyJob(&job, NULL);
    return StatusOf(context);
}
