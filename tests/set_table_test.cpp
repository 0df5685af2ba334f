#include "cli/help.h"
#include "ui/forms.h"

#include <gtest/gtest.h>

using namespace switcher;

// A fifth set's row; in place of the enumerators it adds, the next values, and no Fields member.
constexpr auto kInstallPfm = Control{7};
constexpr std::array kFiveSets{kSets[0], kSets[1], kSets[2], kSets[3],
                               SetRow{"pfm", "PFM", SetFolder{4}, "pfm", nullptr, "*.pfm",
                                      kInstallPfm, "InstallPFM", "Install PFM",
                                      "JOV Enable/Disable (PFM)", "Cannot find PFM directory.",
                                      "PFM - install the PFM files here ", false, true, true}};

// What follows from the row: its button, its help line, jov-switch's words and manual lines.
TEST(SetTableTest, AFifthSetIsARowOfTheTable)
{
    using enum Control;
    EXPECT_EQ(ControlsOf(kFiveSets, kAirForces),
              (std::array{Install, InstallOnline, InstallTUK, kInstallPfm, Remove, Country0,
                          Country1, Country2}));
    const ControlStates none = StatesFor("none", kFiveSets), pfm = StatesFor("pfm", kFiveSets);
    EXPECT_TRUE(IsEnabled(none, kInstallPfm, kFiveSets) && IsEnabled(pfm, Remove, kFiveSets) &&
                IsEnabled(pfm, Country2, kFiveSets) && !IsEnabled(pfm, kInstallPfm, kFiveSets));
    EXPECT_EQ(ui::forms::ButtonName(kInstallPfm, kFiveSets), "InstallPFM");
    EXPECT_EQ(CaptionOf(kInstallPfm, kFiveSets), "Install PFM");
    EXPECT_EQ(ui::forms::HelpLines(kFiveSets).at(7), "PFM - install the PFM files here ");

    EXPECT_EQ(cli::SetWords(kFiveSets), (std::vector<std::string>{"jov", "jovo", "tuk", "pfm"}));
    const std::string manual = cli::Manual(kFiveSets);
    for (const char* text : {"file of krs/, jov/, jovo/, tuk/ or pfm/ (same name",
                             "or pfm (PFM).\n                    Only from the stock state",
                             "folder. Only while JOV Panel, JOV Online or PFM is installed.\n",
                             "\n  pfm/              the PFM files (recognised by a .pfm file)\n"}) {
        EXPECT_NE(manual.find(text), std::string::npos) << text << " is not in\n" << manual;
    }
}
