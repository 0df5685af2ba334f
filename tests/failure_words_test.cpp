#include "cli/failure_words.h"
#include "ui/failure_words.h"

#include "platform/path_text.h"
#include "switcher/failure_words.h"

#include <gtest/gtest.h>

// Every cause is worded once: the box and jov-switch carry the same report, as each row says.
TEST(FailureTextTest, EachCauseIsWordedOnceForTheBoxAndJovSwitch)
{
    using enum platform::FailureCause;
    using platform::EntryKind;
    const bool windows = platform::kNativeStyle == platform::PathStyle::Windows;
    struct Row
    {
        platform::FailureCause cause;
        const char* says; // found in the report
        platform::FailureFigures figures = {};
        int number = 5; // 0: a refusal of the program's own
    };
    const Row rows[] = {
        {Other, "Error 5: Denied.\nCould not delete \"A\" in KRS."},
        {InUse, "by KRS 1.2. Close KRS 1.2, start JOV Enable-Disable again", {.holder = "KRS 1.2"}},
        {InUse, "changed. Close the game, start", {.alsoControlled = true, .nothingChanged = true}},
        {Protected, "as Program Files: run JOV Enable-Disable as administrator, or move"},
        {ControlledFolderAccess, "KRS. Windows Security may be blocking changes in Documents"},
        {ReadOnly,
         windows ? "Refused: The file is read-only.\nCould not delete \"A\" in KRS. The file is "
                   "read-only: clear \"Read-only\" in its Properties, then try again. Nothing"
                 : "Refused: The file is read-only.\nCould not delete \"A\" in KRS. Make it "
                   "writable (chmod u+w), then try again. Nothing was changed.",
         {.nothingChanged = true},
         0},
        {NoRoom,
         "Refused: There is not enough room on the disk.\nCould not delete \"A\" in KRS. "
         "The copies need 3 MB and only 2 MB are free; nothing was changed.",
         {.nothingChanged = true, .needed = 3 << 20, .free = 9 << 17},
         0},
        {NoRoom, "Error 5: Denied.\nCould not delete \"A\" in KRS."},
        {NotAFolder, "away, then try again. Nothing was changed.", {.nothingChanged = true}},
        {SameFile, "It is \"jov/A\" itself, through a link", {.other = "jov/A"}, 0},
        {ShortName,
         "Windows gives this name to \"ALONGNAME\" as its short 8.3 name",
         {.other = "ALONGNAME"}},
        {WineLink, "The file is a symbolic link to /home/x", {.other = "/home/x"}},
        {Occupied,
         "Refused: Something else stands where the file belongs.\nCould not delete "
         "\"A\" in KRS. A folder stands at that name",
         {.kind = EntryKind::Folder},
         0},
        {TooLong,
         "It would be 5000 bytes long, and this system takes paths of at most 4095",
         {.needed = 5000, .free = 4095},
         0},
        {OtherDrive, "Refused: The backup folder is on another drive.", {}, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.says);
        const platform::FsError error =
            row.number == 0
                ? platform::Refused(row.cause, "delete", "KRS/A", row.figures)
                : platform::FsError({5, "Denied."}, "delete", "KRS/A", row.cause, row.figures);
        const std::string report = switcher::FailureReport(error);
        EXPECT_NE(report.find(row.says), std::string::npos) << report;
        EXPECT_EQ(ui::forms::FailureText(error), report + "\n\nJOV Enable-Disable will close now.");
        EXPECT_EQ(cli::FailureText(error).substr(0, 12 + report.size() + 1),
                  "jov-switch: " + report + "\n");
    }
}
