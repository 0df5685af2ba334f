#include "cli/report.h"

#include "platform/file_ops.h"
#include "platform/name_match.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <fstream>
#include <set>
#include <vector>

namespace cli
{
namespace
{

using switcher::Control;
using switcher::SetFolder;

// The control's name as the JSON keys give it.
std::string KeyOf(Control control)
{
    switch (control) {
    case Control::Country0:
        return "RAF";
    case Control::Country1:
        return "USAAF";
    case Control::Country2:
        return "Luftwaffe";
    default:
        return switcher::ControlName(control);
    }
}

std::string CaptionOf(Control control)
{
    for (const auto& row : switcher::kSets) {
        if (row.control == control) {
            return std::string(row.caption);
        }
    }
    return KeyOf(control);
}

std::string Hex(unsigned char byte)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return {kDigits[byte >> 4], kDigits[byte & 0xF]};
}

std::string Join(const std::vector<std::string>& items, const char* separator)
{
    std::string joined;
    for (const auto& item : items) {
        joined += (joined.empty() ? "" : separator) + item;
    }
    return joined;
}

bool SameContent(const std::string& a, const std::string& b)
{
    std::ifstream left(platform::ResolvePath(a), std::ios::binary);
    std::ifstream right(platform::ResolvePath(b), std::ios::binary);
    if (!left || !right) {
        return false;
    }
    std::array<char, 1 << 16> x{};
    std::array<char, 1 << 16> y{};
    for (;;) {
        left.read(x.data(), x.size());
        right.read(y.data(), y.size());
        if (left.gcount() != right.gcount() ||
            !std::equal(x.begin(), x.begin() + left.gcount(), y.begin())) {
            return false;
        }
        if (left.gcount() == 0) {
            return true;
        }
    }
}

std::string Under(const std::string& folder, const std::string& name)
{
    return folder + platform::kSeparator + name;
}

// The game-folder file that `name` resolves to: the exact name, else the smallest variant.
std::string InGame(const switcher::Fields& fields, const std::string& name)
{
    const auto variants = platform::ListPlainFiles(Under(fields.GameDir, name));
    if (variants.empty()) {
        return {};
    }
    const bool exact = std::find(variants.begin(), variants.end(), name) != variants.end();
    return exact ? name : variants.front();
}

std::set<std::string> FoldedNames(const std::vector<std::string>& names)
{
    std::set<std::string> folded;
    for (const auto& name : names) {
        folded.insert(platform::FoldCase(name));
    }
    return folded;
}

} // namespace

std::string Printable(const std::string& word)
{
    std::string shown;
    for (const char c : word) {
        const auto byte = static_cast<unsigned char>(c);
        shown += (byte < 0x20 || byte >= 0x7F) ? "\\x" + Hex(byte) : std::string(1, c);
    }
    return shown;
}

std::string ErrorStateSentence(const switcher::Fields& fields)
{
    return "jov-switch: the state file " + fields.StateFile + " holds \"" +
           Printable(fields.InstalledSet) +
           "\", which names no set, so nothing can be installed, restored or removed. Write "
           "\"none\", \"jov\", \"jovo\" or \"tuk\" into it (in double quotes) to say what the "
           "game folder holds, or delete it: the next start then restores the stock set.";
}

void PrintStatus(switcher::Switcher& sw, bool json, std::ostream& out)
{
    sw.FormPaths();
    const bool recorded = sw.StateFileExists();
    if (recorded) {
        sw.LoadState();
    }
    const auto& fields = sw.State();
    // Without a state file the next start restores the stock set and shows it.
    const std::string shownWord =
        recorded ? fields.InstalledSet : std::string(switcher::RowOf(SetFolder::Stock).word);
    const switcher::ControlStates states = switcher::StatesFor(shownWord);

    std::vector<std::pair<std::string, bool>> present;
    for (const SetFolder folder :
         {SetFolder::Jov, SetFolder::Jovo, SetFolder::Tuk, SetFolder::Stock}) {
        const std::string key = folder == SetFolder::Stock
                                    ? std::string("stock")
                                    : std::string(switcher::RowOf(folder).word);
        present.emplace_back(key, sw.SetPresent(folder));
    }

    if (json) {
        // Bytes of a path or word that are no UTF-8 show as U+FFFD.
        nlohmann::ordered_json status{{"game_dir", fields.GameDir},
                                      {"state_file", fields.StateFile},
                                      {"installed", nullptr},
                                      {"title", states.title}};
        if (recorded) {
            status["installed"] = fields.InstalledSet;
        }
        for (const Control control : switcher::kControls) {
            status["buttons"][KeyOf(control)] = switcher::IsEnabled(states, control);
        }
        for (const auto& [key, yes] : present) {
            status["sets_present"][key] = yes;
        }
        out << status.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
        return;
    }

    std::vector<std::string> on;
    std::vector<std::string> off;
    for (const Control control : switcher::kControls) {
        (switcher::IsEnabled(states, control) ? on : off).push_back(CaptionOf(control));
    }
    std::vector<std::string> found;
    std::vector<std::string> missing;
    for (const auto& [key, yes] : present) {
        (yes ? found : missing).push_back(key);
    }
    const switcher::SetRow* row = switcher::RowOfWord(fields.InstalledSet);
    std::string installed = "nothing recorded; the next start restores the stock set";
    if (recorded) {
        installed = '"';
        installed += Printable(fields.InstalledSet);
        installed += row != nullptr ? "\" (" + std::string(row->name) + ")"
                                    : std::string("\" (names no set: error state)");
    }
    out << "Game folder:  " << fields.GameDir << '\n'
        << "State file:   " << fields.StateFile << (recorded ? "" : " (not there yet)") << '\n'
        << "Installed:    " << installed << '\n'
        << "Title:        " << states.title << '\n'
        << "Buttons on:   " << (on.empty() ? "none" : Join(on, ", ")) << '\n'
        << "Buttons off:  " << (off.empty() ? "none" : Join(off, ", ")) << '\n'
        << "Sets present: " << (found.empty() ? "none" : Join(found, ", ")) << '\n'
        << "Sets missing: " << (missing.empty() ? "none" : Join(missing, ", ")) << '\n';
}

int Verify(switcher::Switcher& sw, std::ostream& out, std::ostream& err)
{
    sw.FormPaths();
    const auto& fields = sw.State();
    if (!sw.StateFileExists()) {
        err << "jov-switch: nothing is recorded in " << fields.GameDir
            << " yet (no state file), so there is nothing to verify. Run 'jov-switch status'.\n";
        return kRefused;
    }
    sw.LoadState();
    const switcher::SetRow* row = switcher::RowOfWord(fields.InstalledSet);
    if (row == nullptr) {
        err << ErrorStateSentence(fields) << '\n';
        return kRefused;
    }
    if (!sw.SetPresent(row->folder)) {
        err << row->missing << '\n';
        return kRefused;
    }

    const std::string& setDir = sw.FolderOf(row->folder);
    std::vector<std::string> setFiles = platform::ListPlainFiles(Under(setDir, "*.*"));
    // A state file inside a set folder is copied in and then written anew: no difference.
    std::erase_if(setFiles, [](const std::string& name) {
        return platform::FoldCase(name) == switcher::kStateFileName;
    });
    const auto setNames = FoldedNames(setFiles);
    const auto stockNames = FoldedNames(platform::ListPlainFiles(Under(fields.StockDir, "*.*")));

    int differences = 0;
    const auto report = [&](const char* kind, const std::string& name) {
        out << kind << ' ' << name << '\n';
        ++differences;
    };
    for (const std::string& name : setFiles) {
        const std::string inGame = InGame(fields, name);
        if (inGame.empty()) {
            report("missing", name);
        } else if (!SameContent(Under(setDir, name), Under(fields.GameDir, inGame))) {
            report("differs", inGame);
        }
    }
    // Add-on file types that neither this set nor the stock set brought.
    std::set<std::string> extra;
    for (const std::string_view pattern : switcher::kCleanOut) {
        for (const std::string& name :
             platform::ListPlainFiles(Under(fields.GameDir, std::string(pattern)))) {
            const std::string folded = platform::FoldCase(name);
            if (!setNames.contains(folded) && !stockNames.contains(folded)) {
                extra.insert(name);
            }
        }
    }
    for (const std::string& name : extra) {
        report("extra", name);
    }

    if (differences == 0) {
        out << "The game folder matches the " << row->name << " set.\n";
        return kDone;
    }
    out << differences << (differences == 1 ? " difference" : " differences") << " from the "
        << row->name << " set.\n";
    return kDiffers;
}

} // namespace cli
