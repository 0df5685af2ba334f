#include "switcher/failure_words.h"

#include "platform/path_text.h"
#include "switcher/set_table.h"

#include <array>
#include <string_view>

namespace switcher
{
namespace
{

using platform::FailureCause;
using platform::FailureFigures;

constexpr char kControlled[] =
    "Windows Security may be blocking changes in Documents and on the Desktop: allow JOV "
    "Enable-Disable under \"Ransomware protection\" > \"Allow an app through Controlled folder "
    "access\", or move the game folder.";

std::string MegaBytes(std::uintmax_t bytes)
{
    return std::to_string((bytes + (1 << 20) - 1) >> 20) + " MB";
}

std::string Unchanged(const FailureFigures& figures, const char* before = " ")
{
    return figures.nothingChanged ? before + std::string("Nothing was changed.") : "";
}

std::string WhatStands(platform::EntryKind kind)
{
    switch (kind) {
    case platform::EntryKind::Folder:
        return "A folder";
    case platform::EntryKind::File:
        return "A file";
    default:
        return "Something that is neither a file nor a folder (a link, a device)";
    }
}

std::string InUse(const FailureFigures& figures)
{
    const std::string& holder = figures.holder;
    return "The file is in use by " +
           (holder.empty() ? "another program, most likely the game" : holder) + ". " +
           (figures.nothingChanged ? "Nothing was changed. " : "") + "Close " +
           (holder.empty() ? "the game" : holder) +
           ", start JOV Enable-Disable again and press the same button" +
           (figures.nothingChanged
                ? "."
                : "; a restore is finished by pressing \"" +
                      std::string(RowOf(SetFolder::Stock).caption) + "\" again.");
}

// Each cause once: what the first line says when the program refused of its own accord (no
// system error came), and what the player can do about it; empty where there is nothing to say.
struct CauseWords
{
    FailureCause cause;
    const char* refused;
    std::string (*advice)(const FailureFigures&);
};

constexpr std::array<CauseWords, 13> kCauses{{
    {FailureCause::InUse, "The file is in use.", InUse},
    {FailureCause::Protected, "Access is denied.",
     [](const FailureFigures&) {
         return std::string("The game folder may be in a protected location such as Program "
                            "Files: run JOV Enable-Disable as administrator, or move the game "
                            "to a folder of your own.");
     }},
    {FailureCause::ControlledFolderAccess, "Access is denied.",
     [](const FailureFigures&) { return std::string(kControlled); }},
    // A Windows file's attribute, which Properties shows; on Linux its permissions say it.
    {FailureCause::ReadOnly, "The file is read-only.",
     [](const FailureFigures& figures) {
         return platform::kNativeStyle == platform::PathStyle::Windows
                    ? "The file is read-only: clear \"Read-only\" in its Properties, then try "
                      "again." +
                          Unchanged(figures)
                    : "Make it writable (chmod u+w), then try again." + Unchanged(figures);
     }},
    {FailureCause::NoRoom, "There is not enough room on the disk.",
     [](const FailureFigures& figures) {
         return figures.needed > figures.free
                    ? "The copies need " + MegaBytes(figures.needed) + " and only " +
                          MegaBytes(figures.free) + " are free" +
                          (figures.nothingChanged ? "; nothing was changed." : ".")
                    : std::string();
     }},
    {FailureCause::NotAFolder, "It is not a folder.",
     [](const FailureFigures& figures) {
         return "Something that is not a folder stands at that name: move it away, then try "
                "again." +
                Unchanged(figures);
     }},
    {FailureCause::SameFile, "It is the game's own file.",
     [](const FailureFigures& figures) {
         return "It is \"" + figures.other +
                "\" itself, through a link, so it is no copy to take or delete. Replace the "
                "link with a real copy, then try again. Nothing was changed.";
     }},
    {FailureCause::ShortName, "The name belongs to another file.",
     [](const FailureFigures& figures) {
         return "Windows gives this name to \"" + figures.other +
                "\" as its short 8.3 name, so writing it would change that file." +
                Unchanged(figures) + " Rename \"" + figures.other + "\", then try again.";
     }},
    {FailureCause::WineLink, "The file is a symbolic link.",
     [](const FailureFigures& figures) {
         return "The file is a symbolic link to " + figures.other +
                "; under Wine, deleting or moving it would delete or move that file." +
                Unchanged(figures) +
                " On Linux, use the Linux build of JOV Enable-Disable, which treats links as "
                "links, or put a copy of the file in place of the link.";
     }},
    {FailureCause::Occupied, "Something else stands where the file belongs.",
     [](const FailureFigures& figures) {
         return WhatStands(figures.kind) +
                " stands at that name, where the command writes a file: move it away, then "
                "try again." +
                Unchanged(figures);
     }},
    {FailureCause::TooLong, "The path is too long.",
     [](const FailureFigures& figures) {
         return "It would be " + std::to_string(figures.needed) +
                " bytes long, and this system "
                "takes paths of at most " +
                std::to_string(figures.free) +
                ": move the game to a folder with a shorter path, then try again." +
                Unchanged(figures);
     }},
    {FailureCause::OtherDrive, "The backup folder is on another drive.",
     [](const FailureFigures& figures) {
         return "Kept files are moved there, which works only on the game folder's own "
                "drive: make it a plain folder of the game folder, then try again." +
                Unchanged(figures);
     }},
    {FailureCause::Other, "The operation failed.",
     [](const FailureFigures&) { return std::string(); }},
}};

const CauseWords& WordsOf(FailureCause cause)
{
    for (const CauseWords& words : kCauses) {
        if (words.cause == cause) {
            return words;
        }
    }
    return kCauses.back();
}

} // namespace

std::string FailureReport(const platform::FsError& error)
{
    const CauseWords& words = WordsOf(error.Cause());
    std::string advice = words.advice(error.Figures());
    if (error.Figures().alsoControlled) {
        advice += (advice.empty() ? "" : " ") + std::string(kControlled);
    }
    const platform::Split file = platform::SplitPath(error.Path());
    const std::string first =
        error.Number() != 0 ? "Error " + std::to_string(error.Number()) + ": " + error.Explanation()
                            : std::string("Refused: ") + words.refused;
    return first + "\nCould not " + error.Operation() + " \"" + file.leaf + "\"" +
           (file.folder.empty() ? "" : " in " + file.folder) + "." +
           (advice.empty() ? "" : " " + advice);
}

} // namespace switcher
