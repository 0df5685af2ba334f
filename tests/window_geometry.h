#pragma once

#include <array>

// Where a player finds the controls of both windows, in twips, as the windows' tests of either
// toolkit check them: from the client area's corner, or from the frame's for the air forces.
struct Place
{
    const char* name; // the control's name (Qt objectName)
    const char* caption;
    int left;
    int top;
    int width;
    int height;
};

inline constexpr int kMainClientWidth = 5775;
inline constexpr int kMainClientHeight = 3990;
inline constexpr Place kFrame1{"Frame1", "Remove Flight Models", 120, 240, 2415, 3375};
// In tab order.
inline constexpr std::array<Place, 7> kMainButtons{{
    {"Install", "Install JOV Panel", 2880, 360, 2415, 495},
    {"Remove", "KRS  Flight Models", 2880, 2760, 2415, 855},
    {"Country0", "RAF", 360, 480, 1575, 615},
    {"Country1", "USAAF", 360, 1440, 1575, 615},
    {"Country2", "Luftwaffe", 360, 2400, 1575, 615},
    {"InstallOnline", "Install JOV Online", 2880, 1200, 2415, 495},
    {"InstallTUK", "Install TUK", 2880, 1920, 2415, 495},
}};

inline constexpr int kHelpClientWidth = 4680;
inline constexpr int kHelpClientHeight = 3195;
inline constexpr Place kLabel1{"Label1", "", 120, 120, 4335, 2175};
inline constexpr Place kCommand1{"Command1", "OK", 1800, 2640, 1095, 375};

constexpr int Pixels(int twips, int dpi = 96)
{
    return (twips * dpi + 720) / 1440;
}
