#pragma once

#include "platform/file_system.h"
#include "switcher/set_table.h"
#include "switcher/set_view.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace switcher
{

// Flight-model files of each air force, by Country index, in the order they are deleted.
inline constexpr std::array<std::string_view, 5> kRafModels{"hurr.flt", "mosq.flt", "sp2a.flt",
                                                            "sp09.flt", "sp14.flt"};
inline constexpr std::array<std::string_view, 7> kUsaafModels{
    "b24a.flt", "b26a.flt", "bb17.flt", "p47c.flt", "p47d.flt", "p51b.flt", "p51d.flt"};
inline constexpr std::array<std::string_view, 12> kLuftwaffeModels{
    "110c.flt", "110g.flt", "190a.flt", "190d.flt", "109e.flt", "109g.flt",
    "109k.flt", "262a.flt", "h111.flt", "j88a.flt", "ju87.flt", "m410.flt"};

// The add-on file types and names the stock restore clears from the game folder, in order.
inline constexpr std::array<std::string_view, 9> kCleanOut{
    "*.flt", "*.dat", "*.str", "*.mpc", "*.cpt", "*.3dz", "jovpanel.exe", "flt.cdf", "data.cdf"};

inline constexpr std::string_view kStateFileName = "jovo.ini";

// The game folder's subfolder that holds the stock set.
inline constexpr std::string_view kStockFolderName = "krs";

// What the switcher holds for the whole run: the game folder, the four set folders and the
// state file, all fixed at start-up from the working folder, and the installed set's word.
struct Fields
{
    std::string GameDir;
    std::string JovDir;
    std::string JovoDir;
    std::string TukDir;
    std::string StockDir;
    std::string StateFile;
    std::string InstalledSet;
};

// Decides and carries out everything the main window's buttons do. Each command runs to its
// end; a file-system failure (platform::FsError) is never caught here: it ends the command at
// the failing step, leaving earlier work done, later work undone and the state file unchanged.
class Switcher final
{
public:
    explicit Switcher(SetView& view);
    Switcher(SetView& view, platform::FileSystem& files);
    Switcher(const Switcher&) = delete;
    Switcher& operator=(const Switcher&) = delete;

    // Start-up: fixes the paths, then loads the state file or, on a first start, restores the
    // stock set and writes a fresh state file; leaves the view showing the installed set.
    void Start();

    void Install_Click();
    void InstallOnline_Click();
    void InstallTUK_Click();
    void Remove_Click();
    void Country_Click(std::int16_t index);

    // The steps the commands are made of, open for tools that drive them one by one.
    void FormPaths();
    bool StateFileExists();
    bool SetPresent(SetFolder folder);
    void UpdateControls();
    void SaveState();
    void LoadState();
    void RestoreStock();
    void CopySetFolder(const std::string& folder);

    const Fields& State() const { return fields_; }
    const std::string& FolderOf(SetFolder folder) const;

    // Before the first change: fails as a later step would (a state file that cannot be
    // replaced, too little room for the copies), so that nothing is done halfway.
    void Preflight(const std::string& copyFrom, bool cleanOut);

private:
    void InstallSet(SetFolder folder);

    SetView& view_;
    platform::FileSystem& files_;
    Fields fields_;
};

} // namespace switcher
