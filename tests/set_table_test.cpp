#include "cli/help.h"
#include "ui/forms.h"

#include <gtest/gtest.h>

namespace
{

using switcher::Control;

// A fifth set as its row adds it. The test cannot add the Control, SetFolder and Fields member a
// real set adds too: it takes the next values of the two enums and no member.
constexpr auto kInstallPfm = Control{7};
constexpr std::array<switcher::SetRow, 5> kFiveSets{
    switcher::kSets[0],
    switcher::kSets[1],
    switcher::kSets[2],
    switcher::kSets[3],
    {"pfm", "PFM", switcher::SetFolder{4}, "pfm", nullptr, "*.pfm", kInstallPfm, "InstallPFM",
     "Install PFM", "JOV Enable/Disable (PFM)", "Cannot find PFM directory.",
     "PFM - install the PFM files here ", false, true, true}};

} // namespace

// What follows from a row: the buttons, their states, name and caption, the help window's lines,
// and jov-switch's words and manual.
TEST(SetTableTest, AFifthSetIsARowOfTheTable)
{
    const switcher::SetTable sets = kFiveSets;
    EXPECT_EQ(
        switcher::ControlsOf(kFiveSets, switcher::kAirForces),
        (std::array{Control::Install, Control::InstallOnline, Control::InstallTUK, kInstallPfm,
                    Control::Remove, Control::Country0, Control::Country1, Control::Country2}));
    const auto on = [&](std::string_view installed, Control control) {
        return switcher::IsEnabled(switcher::StatesFor(installed, sets), control, sets);
    };
    EXPECT_TRUE(on("none", kInstallPfm) && on("pfm", Control::Remove) &&
                on("pfm", Control::Country2));
    EXPECT_FALSE(on("pfm", kInstallPfm) || on("pfm", Control::InstallTUK) ||
                 on("tuk", kInstallPfm));
    EXPECT_EQ(switcher::StatesFor("pfm", sets).title, "JOV Enable/Disable (PFM)");
    EXPECT_EQ(ui::forms::ButtonName(kInstallPfm, sets) + ", " +
                  switcher::ControlName(kInstallPfm, sets) + ", " +
                  std::string(switcher::CaptionOf(kInstallPfm, sets)),
              "InstallPFM, InstallPFM, Install PFM");
    const std::vector<std::string_view> help = ui::forms::HelpLines(sets);
    EXPECT_EQ(std::vector(help.begin() + 6, help.end()),
              (std::vector<std::string_view>{
                  "TUK - install the TUK files here ", "PFM - install the PFM files here ",
                  "KRS - copy the original KRS FLT.CDF and DATA.CDF files into this folder.", "",
                  "By the JOV Enable-Disable team."}));

    EXPECT_EQ(cli::SetWords(sets), (std::vector<std::string>{"jov", "jovo", "tuk", "pfm"}));
    EXPECT_NE(cli::Description(sets).find(" the JOV Panel, JOV Online, TUK and PFM sets, "),
              std::string::npos);
    const std::string manual = cli::Manual(sets);
    for (const char* lines : {
             "  install SET       Copies every file of the set folder into the game folder and "
             "records\n                    the set: jov (JOV Panel), jovo (JOV Online), tuk (TUK) "
             "or pfm (PFM).\n                    Only from the stock state: restore first when "
             "another set is in.\n  restore ",
             " from the game\n                    folder. Only while JOV Panel, JOV Online or PFM "
             "is installed.\n",
             "\n  is no copy of a file of krs/, jov/, jovo/, tuk/ or pfm/ (same name, size and "
             "time), goes\n  into JOV_Enable-backup/",
             "  tuk/              the TUK files (recognised by a .cdf file)\n  pfm/              "
             "the PFM files (recognised by a .pfm file)\n  Folder and file names",
         }) {
        EXPECT_NE(manual.find(lines), std::string::npos) << lines << "\nnot in\n" << manual;
    }
}
