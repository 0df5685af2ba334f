#include "cli/failure_words.h"

#include "switcher/failure_words.h"

namespace cli
{

std::string FailureText(const platform::FsError& error)
{
    std::string text = "jov-switch: " + switcher::FailureReport(error) + "\n";
    if (!error.Figures().nothingChanged) {
        text += "What was done before this step stays done; nothing after it was done, and the "
                "state file keeps its word.\n";
    }
    if (error.Cause() == platform::FailureCause::InUse) {
        const std::string& holder = error.Figures().holder;
        text += "jov-switch: once " + (holder.empty() ? "the game" : holder) +
                " is closed, run the same command again; \"jov-switch restore\" finishes a "
                "restore.\n";
    }
    return text;
}

} // namespace cli
