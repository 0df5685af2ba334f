#pragma once

#include "switcher/set_table.h"
#include "switcher/set_view.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <vector>

// What the program's two windows look like, free of any toolkit: controls, captions, twip
// rectangles, tab order, the menu, client sizes, the help text and the wording of the boxes.
// The Qt window and the Win32 window both read it and only turn it into widgets, so a text or a
// position is written once.
namespace ui::forms
{

// Twips per pixel at 96 dots per inch.
inline constexpr int kTwipsPerPixel = 15;

// Pixels for `twips` at `dpi` dots per inch, rounded to the nearest pixel.
constexpr int Px(int twips, int dpi = 96)
{
    return (twips * dpi + 720) / 1440;
}

// A place in twips from the top-left corner of the client area of what contains it.
struct TwipRect
{
    int left;
    int top;
    int width;
    int height;
};

// A button's place; its name and caption come from the set and air-force tables (ButtonName,
// switcher::CaptionOf).
struct ButtonForm
{
    switcher::Control control;
    TwipRect rect;
    bool inFrame; // placed within Frame1, its rectangle counted from the frame's corner
};

struct FrameForm
{
    std::string_view name;
    std::string_view caption;
    TwipRect rect;
};

struct MainForm
{
    std::string_view name;
    std::string_view title; // until start-up shows the installed set
    int clientWidth;        // twips, below the menu bar
    int clientHeight;
    FrameForm frame; // second in the tab order; it takes no focus itself
    std::array<ButtonForm, switcher::kControlCount> buttons; // in tab order
    std::string_view menuName;
    std::string_view menuCaption; // "&" marks the access key
};

inline constexpr MainForm kMainForm{
    "Main_Form1",
    switcher::kAppTitle,
    5775,
    3990,
    {"Frame1", "Remove Flight Models", {120, 240, 2415, 3375}},
    {{
        {switcher::Control::Install, {2880, 360, 2415, 495}, false},
        {switcher::Control::Remove, {2880, 2760, 2415, 855}, false},
        {switcher::Control::Country0, {360, 480, 1575, 615}, true},
        {switcher::Control::Country1, {360, 1440, 1575, 615}, true},
        {switcher::Control::Country2, {360, 2400, 1575, 615}, true},
        {switcher::Control::InstallOnline, {2880, 1200, 2415, 495}, false},
        {switcher::Control::InstallTUK, {2880, 1920, 2415, 495}, false},
    }},
    "mnuHelp",
    "&Help",
};

// Every button of the tables has its place, once.
static_assert(std::ranges::all_of(switcher::kControls, [](switcher::Control control) {
    return std::ranges::count(kMainForm.buttons, control, &ButtonForm::control) == 1;
}));

// A button's name in the window: a set's as its row gives it ("InstallTUK"), an air force's
// "Country0".
std::string ButtonName(switcher::Control control, switcher::SetTable sets = switcher::kSets);

struct HelpForm
{
    std::string_view name;
    std::string_view title;
    int clientWidth; // twips
    int clientHeight;
    std::string_view labelName; // tab index 0; shows the help text, cut off below its height
    TwipRect labelRect;
    std::string_view okName; // tab index 1; neither the default nor the cancel button
    std::string_view okCaption;
    TwipRect okRect;
};

inline constexpr HelpForm kHelpForm{
    "frmHelp",  "Help",   4680,
    3195,       "Label1", {120, 120, 4335, 2175},
    "Command1", "OK",     {1800, 2640, 1095, 375},
};

// The help window's lines: these, each set's line in the order of the sets' buttons, then
// kHelpEnd. The empty ones stand between paragraphs.
inline constexpr std::array<std::string_view, 4> kHelpStart{
    "KRS Flight Model Switcher V2.0",
    "",
    "Install into a clean KRS v1.2 folder.",
    "Inside the KRS  folder create the following folders:",
};
inline constexpr std::array<std::string_view, 2> kHelpEnd{"", "By the JOV Enable-Disable team."};

std::vector<std::string_view> HelpLines(switcher::SetTable sets = switcher::kSets);

// The help label's caption: the lines joined by single carriage returns.
std::string HelpText();

// The caption as a label shows it, with `lineBreak` in each carriage return's place.
std::string HelpTextShown(std::string_view lineBreak);

// Shown when another of the programs holds the game folder; the program then ends with status 1.
inline constexpr std::string_view kFolderBusyMessage =
    "Another copy of JOV Enable-Disable, or jov-switch, is working on this game folder. Close "
    "it, then start JOV Enable-Disable again.";

} // namespace ui::forms
