#include "cli/failure_words.h"
#include "ui/failure_words.h"

#include "platform/path_text.h"

#include <gtest/gtest.h>

// The platform decides the cause; the box and jov-switch word it alike, as each row says.
TEST(FailureTextTest, EachCauseIsWordedAlikeInTheBoxAndByJovSwitch)
{
    using enum platform::FailureCause;
    struct Row
    {
        platform::FailureCause cause;
        const char* says; // found in the box
        platform::FailureFigures figures = {};
    };
    const Row rows[] = {
        {Other, "Error 5: Denied.\nCould not delete \"A\" in KRS.\n\n"},
        {InUse, "by KRS 1.2. Close KRS 1.2, start JOV Enable-Disable again", {.holder = "KRS 1.2"}},
        {InUse, "changed. Close the game, start", {.alsoControlled = true, .nothingChanged = true}},
        {Protected, "as Program Files: run JOV Enable-Disable as administrator, or move"},
        {ControlledFolderAccess, "KRS. Windows Security may be blocking changes in Documents"},
        {ReadOnly, platform::kNativeStyle == platform::PathStyle::Windows
                       ? "KRS. The file is read-only: clear \"Read-only\" in its Properties"
                       : "Could not delete \"A\" in KRS.\n"},
        {NoRoom, "2 MB are free;", {.nothingChanged = true, .needed = 3 << 20, .free = 9 << 17}},
        {NoRoom, "KRS.\n"},
        {NotAFolder, "away, then try again. Nothing was changed.\n", {.nothingChanged = true}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.says);
        const platform::FsError error({5, "Denied."}, "delete", "KRS/A", row.cause, row.figures);
        const std::string box = ui::forms::FailureText(error), said = cli::FailureText(error);
        EXPECT_NE(box.find(row.says), std::string::npos) << box;
        EXPECT_EQ(said.substr(12, said.find("\nWhat was") - 12), box.substr(0, box.find("\n\n")));
    }
}
