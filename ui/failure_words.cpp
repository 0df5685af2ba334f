#include "ui/failure_words.h"

#include "platform/path_text.h"
#include "switcher/set_table.h"

namespace ui::forms
{
namespace
{

using platform::FailureCause;

constexpr char kControlled[] =
    "Windows Security may be blocking changes in Documents and on the Desktop: allow JOV "
    "Enable-Disable under \"Ransomware protection\" > \"Allow an app through Controlled folder "
    "access\", or move the game folder.";

std::string MegaBytes(std::uintmax_t bytes)
{
    return std::to_string((bytes + (1 << 20) - 1) >> 20) + " MB";
}

// What the player can do about the cause; empty where there is nothing to say.
std::string Advice(const platform::FsError& error)
{
    const platform::FailureFigures& figures = error.Figures();
    const bool unchanged = figures.nothingChanged;
    std::string advice;
    switch (error.Cause()) {
    case FailureCause::InUse: {
        const std::string& holder = figures.holder;
        advice = "The file is in use by " +
                 (holder.empty() ? "another program, most likely the game" : holder) + ". " +
                 (unchanged ? "Nothing was changed. " : "") + "Close " +
                 (holder.empty() ? "the game" : holder) +
                 ", start JOV Enable-Disable again and press the same button" +
                 (unchanged ? "."
                            : "; a restore is finished by pressing \"" +
                                  std::string(switcher::RowOf(switcher::SetFolder::Stock).caption) +
                                  "\" again.");
        break;
    }
    case FailureCause::Protected:
        advice = "The game folder may be in a protected location such as Program Files: run JOV "
                 "Enable-Disable as administrator, or move the game to a folder of your own.";
        break;
    case FailureCause::ControlledFolderAccess:
        return kControlled;
    case FailureCause::ReadOnly:
        // A Windows file's attribute, which Properties shows; on Linux the failure's own words
        // (permission denied) say it.
        if (platform::kNativeStyle == platform::PathStyle::Windows) {
            advice =
                "The file is read-only: clear \"Read-only\" in its Properties, then try again.";
        }
        break;
    case FailureCause::NoRoom:
        if (figures.needed > figures.free) {
            advice = "The copies need " + MegaBytes(figures.needed) + " and only " +
                     MegaBytes(figures.free) + " are free" +
                     (unchanged ? "; nothing was changed." : ".");
        }
        break;
    case FailureCause::SameFile:
        advice = "It is \"" + figures.other +
                 "\" itself, through a link, so it is no copy to take or delete. Replace the "
                 "link with a real copy, then try again. Nothing was changed.";
        break;
    case FailureCause::NotAFolder:
        advice = "Something that is not a folder stands at that name: move it away, then try "
                 "again." +
                 std::string(unchanged ? " Nothing was changed." : "");
        break;
    case FailureCause::ShortName:
        advice = "Windows gives this name to \"" + figures.other +
                 "\" as its short 8.3 name, so writing it would change that file." +
                 (unchanged ? " Nothing was changed." : "") + " Rename \"" + figures.other +
                 "\", then try again.";
        break;
    case FailureCause::WineLink:
        advice = "The file is a symbolic link to " + figures.other +
                 "; under Wine, deleting or moving it would delete or move that file." +
                 (unchanged ? " Nothing was changed." : "") +
                 " On Linux, use the Linux build of JOV Enable-Disable, which treats links as "
                 "links, or put a copy of the file in place of the link.";
        break;
    case FailureCause::Other:
        break;
    }
    if (figures.alsoControlled) {
        advice += (advice.empty() ? "" : " ") + std::string(kControlled);
    }
    return advice;
}

std::string Closing(const std::string& report)
{
    return report + "\n\nJOV Enable-Disable will close now.";
}

} // namespace

std::string FailureText(const platform::FsError& error)
{
    const platform::Split file = platform::SplitPath(error.Path());
    const std::string advice = Advice(error);
    return Closing("Error " + std::to_string(error.Number()) + ": " + error.Explanation() +
                   "\nCould not " + error.Operation() + " \"" + file.leaf + "\"" +
                   (file.folder.empty() ? "" : " in " + file.folder) + "." +
                   (advice.empty() ? "" : " " + advice));
}

std::string UnexpectedFailureText(const char* what)
{
    return Closing(what != nullptr ? "Unexpected failure: " + std::string(what)
                                   : std::string("Unexpected failure."));
}

} // namespace ui::forms
