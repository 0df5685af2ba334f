#include "cli/help.h"

#include <sstream>

namespace cli
{
namespace
{

using switcher::SetRow;

// The manual as it stands between the paragraphs that name sets and air forces.
constexpr std::string_view kStatus = R"(COMMANDS
  status [--json]   Shows the installed set, which buttons JOV_Enable would have on, which
                    set folders are present and where the state file is. Changes nothing.
                    With --json: one JSON object with the keys game_dir, state_file,
                    installed (null when nothing is recorded), title, buttons, sets_present,
                    backup_dir, kept_files (how many files the backup folder keeps) and
                    virtual_store (see VIRTUALSTORE).
)";
constexpr std::string_view kRestore =
    R"(  restore           Restores the stock set: deletes *.flt *.dat *.str *.mpc *.cpt *.3dz,
                    jovpanel.exe, flt.cdf and data.cdf from the game folder, copies every
                    file of krs/ back and records "none". Only while a set is installed.
)";
constexpr std::string_view kVerifyToKept =
    R"(  verify [--json]   Compares the game folder with the installed set, file by file, and
                    lists what is missing, differs or is extra. An air force whose flight
                    models are all gone was removed, and is named, not counted. Changes
                    nothing. With --json: one JSON object with the keys game_dir,
                    installed (null when nothing is recorded), set (the set's name or
                    null), matches (null when nothing could be compared: the reason goes
                    to standard error), differences, a list of objects with kind
                    (missing, differs or extra) and name, and removed_air_forces. Bytes
                    that are no UTF-8 show as U+FFFD. Files the game reads from the
                    VirtualStore are differences ("shadowed"), and in virtual_store.
  find [--json]     Lists the KRS 1.2 game folders found in the usual places, one a line:
                    the folder (control characters escaped as ls -b shows them), "ready"
                    (it holds krs/) or "to prepare", the installed word or -, and where it
                    was found, separated by tabs; a last line without a tab says when the
                    search stopped early. With --json: one JSON object with the keys
                    folders (objects with folder, source, ready and installed), complete
                    (false when the search stopped at its bounds of 2 seconds and a number
                    of folders) and skipped (launcher files that could not be read). -C auto
                    takes the only ready folder a complete search finds, and refuses with
                    the list when there are none or several, or the search stopped early.

  install starts as JOV_Enable does: in a game folder without jovo.ini it first restores
  the stock set and records "none". restore and remove are refused there before anything
  changes, as a first start leaves the stock set.

KEPT FILES
)";
constexpr std::string_view kGameFolder = R"(
GAME FOLDER
  jovo.ini          the installed set, one line such as "jov"; shared with JOV_Enable
  krs/              the original FLT.CDF and DATA.CDF (the stock set; needs a .cdf file)
)";
constexpr std::string_view kRest = R"(  Folder and file names match in any letter case.

  Under Wine, Proton or Lutris, -C also takes the game folder's Windows path, such as
  'C:\Games\KRS' or c:/Games/KRS: the drive is looked up in the Wine prefix $WINEPREFIX
  (~/.wine when it is not set) as Wine does, through its dosdevices/c: link, else in
  drive_c. A prefix or drive that does not exist is a usage error. (Not on Windows, where
  such a path is the folder itself.)

  install, restore and remove wait (--wait, 10 seconds) while JOV_Enable or another
  jov-switch works on the same game folder, and give up with status 5 when it does not
  finish.

VIRTUALSTORE
  On Windows an old game under Program Files, run without administrator rights, has its
  writes redirected into %LOCALAPPDATA%\VirtualStore\<its folder> and reads the files there
  in place of the game folder's. For a game folder under Program Files, status and verify
  name the files of the sets' types found there (--json: virtual_store, null elsewhere, else
  an object with folder and shadowing, the files' names). Move them away or delete them:
  jov-switch never touches them.

PROGRESS
  On a terminal, install, restore and remove show a line of progress on standard error once
  they have worked for half a second (JOV_SWITCH_PROGRESS_DELAY seconds, where it is set):
  the files done of all and the megabytes copied. It is cleared at the end.

EXIT STATUS
  0 done; 1 refused, or the set folder is missing; 2 usage error (an unknown command or
  option, a game folder that cannot be used); 3 a file operation failed (what was done
  before it stays done, the state file keeps its word); 4 verify found differences;
  5 another program (JOV_Enable, or another jov-switch) kept the game folder busy.

EXAMPLES
  jov-switch -C ~/games/KRS install jov
  jov-switch -C ~/games/KRS --dry-run restore
  jov-switch -C ~/games/KRS verify --json
  jov-switch -C 'C:\Games\KRS' install jovo)";
constexpr std::string_view kKeptStart =
    "Nothing of the player's own is lost. A file that a command deletes or replaces, and that is "
    "no copy of a file of ";
constexpr std::string_view kKeptEnd =
    " (same name, size and time), goes into JOV_Enable-backup/ in the game folder, in a subfolder "
    "named by the time and the command (\"2026-12-07 10-15-03 install jov\"), with a list "
    "JOV_Enable-kept.txt. A restore puts back the game files an install replaced, unless the "
    "player changed them since or the restore clears their type. To get a kept file back, copy it "
    "into the game folder. jov-switch says after a command what it kept, and --dry-run lists it.";

// No line of the manual is wider.
constexpr std::size_t kWidth = 91;

// `head`, then `text` from column `indent` on, its words wrapped within kWidth columns.
std::string Paragraph(std::string_view head, std::string_view text, std::size_t indent)
{
    std::string shown(head);
    shown.resize(indent, ' ');
    std::size_t column = indent;
    std::istringstream words{std::string(text)};
    for (std::string word; words >> word;) {
        if (column > indent && column + 1 + word.size() > kWidth) {
            shown += '\n' + std::string(indent, ' ');
            column = indent;
        }
        if (column > indent) {
            shown += ' ';
            ++column;
        }
        shown += word;
        column += word.size();
    }
    return shown + '\n';
}

// Each set but the stock set, in table order, as `shown` gives it.
template <typename Shown> std::vector<std::string> AddOns(switcher::SetTable sets, Shown shown)
{
    std::vector<std::string> items;
    for (const SetRow& row : sets) {
        if (row.folder != switcher::SetFolder::Stock) {
            items.push_back(shown(row));
        }
    }
    return items;
}

} // namespace

std::string Listed(const std::vector<std::string>& items, std::string_view conjunction)
{
    std::string listed;
    for (std::size_t i = 0; i < items.size(); ++i) {
        listed += i == 0 ? "" : i + 1 < items.size() ? ", " : " " + std::string(conjunction) + " ";
        listed += items[i];
    }
    return listed;
}

std::vector<std::string> SetWords(switcher::SetTable sets)
{
    return AddOns(sets, [](const SetRow& row) { return std::string(row.word); });
}

std::vector<std::string> AirForceWords()
{
    std::vector<std::string> words;
    for (const switcher::AirForceRow& row : switcher::kAirForces) {
        words.emplace_back(row.word);
    }
    return words;
}

std::vector<std::string> SetsWithAirForces(switcher::SetTable sets)
{
    std::vector<std::string> names;
    for (const SetRow& row : sets) {
        if (row.airForcesOn) {
            names.emplace_back(row.name);
        }
    }
    return names;
}

std::string Description(switcher::SetTable sets)
{
    return "Switches a KRS 1.2 game folder between its stock flight models and the " +
           Listed(AddOns(sets, [](const SetRow& row) { return std::string(row.name); }), "and") +
           " sets, as JOV_Enable does, for scripts and launchers.";
}

std::string Manual(switcher::SetTable sets)
{
    const auto wordAndName = [](const SetRow& row) {
        return std::string(row.word) + " (" + std::string(row.name) + ")";
    };
    // The presence test's pattern, "*.dat", says what a set folder is recognised by.
    const auto folderLine = [](const SetRow& row) {
        return Paragraph("  " + std::string(row.folderName) + "/",
                         "the " + std::string(row.name) + " files (recognised by a " +
                             std::string(row.testPattern.substr(1)) + " file)",
                         20);
    };
    std::vector<std::string> folders;
    for (const SetRow& row : sets) {
        folders.push_back(std::string(row.folderName) + "/");
    }
    std::string manual(kStatus);
    manual += Paragraph("  install SET",
                        "Copies every file of the set folder into the game folder and records the "
                        "set: " +
                            Listed(AddOns(sets, wordAndName), "or") +
                            ". Only from the stock state: restore first when another set is in.",
                        20);
    manual += kRestore;
    manual += Paragraph("  remove AIRFORCE",
                        "Deletes the flight models of " + Listed(AirForceWords(), "or") +
                            " from the game folder. Only while " +
                            Listed(SetsWithAirForces(sets), "or") + " is installed.",
                        20);
    manual += kVerifyToKept;
    manual +=
        Paragraph("  ", std::string(kKeptStart) + Listed(folders, "or") + std::string(kKeptEnd), 2);
    manual += kGameFolder;
    for (const std::string& line : AddOns(sets, folderLine)) {
        manual += line;
    }
    return manual + std::string(kRest);
}

} // namespace cli
