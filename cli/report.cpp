#include "cli/report.h"

#include "cli/virtual_store.h"

#include <nlohmann/json.hpp>

#include <vector>

namespace cli
{
namespace
{

using switcher::Control;
using switcher::SetFolder;

// The control's name as the JSON keys give it: an air force's by its name.
std::string KeyOf(Control control)
{
    const switcher::AirForceRow* airForce = switcher::AirForceOf(control);
    return airForce != nullptr ? std::string(airForce->name) : switcher::ControlName(control);
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

// A set folder as status names it: "stock" for the stock set's, else the set's word.
std::string PresenceKey(const switcher::SetRow& row)
{
    return row.folder == SetFolder::Stock ? std::string("stock") : std::string(row.word);
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

const char* KindName(switcher::Comparison::Kind kind)
{
    switch (kind) {
    case switcher::Comparison::Kind::Missing:
        return "missing";
    case switcher::Comparison::Kind::Differs:
        break;
    }
    return "differs";
}

// Objects as status and verify print them: keys in order, 2-space indent, and bytes of a path
// or word that are no UTF-8 as U+FFFD.
void PrintJson(const nlohmann::ordered_json& shown, std::ostream& out)
{
    out << shown.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
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
    const switcher::Status status = sw.Inspect();
    const auto& fields = sw.State();
    // Without a state file the next start restores the stock set and shows it.
    const std::string shownWord =
        status.recorded ? fields.InstalledSet : std::string(switcher::RowOf(SetFolder::Stock).word);
    const switcher::ControlStates states = switcher::StatesFor(shownWord);
    const finder::VirtualStore store = finder::VirtualStoreOf(fields.GameDir);

    // The set folders as status lists them: the three sets, then the stock set.
    std::vector<std::pair<std::string, bool>> present;
    for (const SetFolder folder :
         {SetFolder::Jov, SetFolder::Jovo, SetFolder::Tuk, SetFolder::Stock}) {
        present.emplace_back(PresenceKey(switcher::RowOf(folder)),
                             status.present[static_cast<std::size_t>(folder)]);
    }

    if (json) {
        nlohmann::ordered_json shown{{"game_dir", fields.GameDir},
                                     {"state_file", fields.StateFile},
                                     {"installed", nullptr},
                                     {"title", states.title}};
        if (status.recorded) {
            shown["installed"] = fields.InstalledSet;
        }
        for (const Control control : switcher::kControls) {
            shown["buttons"][KeyOf(control)] = switcher::IsEnabled(states, control);
        }
        for (const auto& [key, yes] : present) {
            shown["sets_present"][key] = yes;
        }
        shown["backup_dir"] = status.backupDir;
        shown["kept_files"] = status.keptFiles;
        shown["virtual_store"] = VirtualStoreJson(store);
        PrintJson(shown, out);
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
    if (status.recorded) {
        installed = '"';
        installed += Printable(fields.InstalledSet);
        installed += row != nullptr ? "\" (" + std::string(row->name) + ")"
                                    : std::string("\" (names no set: error state)");
    }
    out << "Game folder:  " << fields.GameDir << '\n'
        << "State file:   " << fields.StateFile << (status.recorded ? "" : " (not there yet)")
        << '\n'
        << "Installed:    " << installed << '\n'
        << "Title:        " << states.title << '\n'
        << "Buttons on:   " << (on.empty() ? "none" : Join(on, ", ")) << '\n'
        << "Buttons off:  " << (off.empty() ? "none" : Join(off, ", ")) << '\n'
        << "Sets present: " << (found.empty() ? "none" : Join(found, ", ")) << '\n'
        << "Sets missing: " << (missing.empty() ? "none" : Join(missing, ", ")) << '\n'
        << "Kept files:   " << status.keptFiles << " in " << status.backupDir << '\n'
        << VirtualStoreLine(store) << VirtualStoreAdvice(store);
}

int Verify(switcher::Switcher& sw, bool json, std::ostream& out, std::ostream& err)
{
    using Verdict = switcher::Comparison::Verdict;
    const switcher::Comparison comparison = sw.Compare();
    const auto& fields = sw.State();
    std::string refusal;
    switch (comparison.verdict) {
    case Verdict::Unrecorded:
        refusal = "jov-switch: nothing is recorded in " + fields.GameDir +
                  " yet (no state file), so there is nothing to verify. Run 'jov-switch status'.";
        break;
    case Verdict::ErrorState:
        refusal = ErrorStateSentence(fields);
        break;
    case Verdict::SetMissing:
        refusal = comparison.set->missing;
        break;
    case Verdict::Compared:
        break;
    }
    // Files the game reads from the VirtualStore in place of the game folder's differ too.
    const finder::VirtualStore store = finder::VirtualStoreOf(fields.GameDir);
    const std::size_t count =
        comparison.differences.size() + comparison.extras.size() + store.shadowing.size();
    if (json) {
        nlohmann::ordered_json shown{{"game_dir", fields.GameDir},
                                     {"installed", nullptr},
                                     {"set", nullptr},
                                     {"matches", nullptr},
                                     {"differences", nlohmann::ordered_json::array()}};
        if (comparison.verdict != Verdict::Unrecorded) {
            shown["installed"] = fields.InstalledSet;
        }
        if (comparison.set != nullptr) {
            shown["set"] = comparison.set->name;
        }
        if (refusal.empty()) {
            shown["matches"] = count == 0;
        }
        for (const auto& difference : comparison.differences) {
            shown["differences"].push_back(
                {{"kind", KindName(difference.kind)}, {"name", difference.name}});
        }
        for (const std::string& name : comparison.extras) {
            shown["differences"].push_back({{"kind", "extra"}, {"name", name}});
        }
        shown["removed_air_forces"] = nlohmann::ordered_json::array();
        for (const switcher::AirForceRow* airForce : comparison.removed) {
            shown["removed_air_forces"].push_back(airForce->name);
        }
        shown["virtual_store"] = VirtualStoreJson(store);
        PrintJson(shown, out);
    }
    if (!refusal.empty()) {
        err << refusal << '\n';
        return kRefused;
    }
    if (json) {
        return count == 0 ? kDone : kDiffers;
    }
    for (const switcher::AirForceRow* airForce : comparison.removed) {
        out << "removed " << airForce->name << '\n';
    }
    for (const auto& difference : comparison.differences) {
        out << KindName(difference.kind) << ' ' << difference.name << '\n';
    }
    for (const std::string& name : comparison.extras) {
        out << "extra " << name << '\n';
    }
    for (const std::string& name : store.shadowing) {
        out << "shadowed " << name << '\n';
    }
    out << VirtualStoreAdvice(store);
    if (count == 0) {
        out << "The game folder matches the " << comparison.set->name << " set.\n";
        return kDone;
    }
    out << count << (count == 1 ? " difference" : " differences") << " from the "
        << comparison.set->name << " set.\n";
    return kDiffers;
}

} // namespace cli
