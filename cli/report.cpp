#include "cli/report.h"

#include "cli/help.h"
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
    std::vector<std::string> words;
    for (const switcher::SetRow& row : switcher::kSets) {
        words.push_back('"' + std::string(row.word) + '"');
    }
    return "jov-switch: the state file " + fields.StateFile + " holds \"" +
           Printable(fields.InstalledSet) +
           "\", which names no set, so nothing can be installed, restored or removed. Write " +
           Listed(words, "or") +
           " into it (in double quotes) to say what the game folder holds, or delete it: the next "
           "start then restores the stock set.";
}

namespace
{

// What status shows, worked out once for its text and its JSON.
struct StatusView
{
    switcher::Status status;
    switcher::ControlStates states;
    finder::VirtualStore store;
    // The set folders as status lists them, in the order of the sets' buttons.
    std::vector<std::pair<std::string, bool>> present;
};

StatusView ViewOf(switcher::Switcher& sw)
{
    StatusView view{sw.Inspect(), {}, finder::VirtualStoreOf(sw.State().GameDir), {}};
    // Without a state file the next start restores the stock set and shows it.
    view.states = switcher::StatesFor(view.status.recorded
                                          ? sw.State().InstalledSet
                                          : std::string(switcher::RowOf(SetFolder::Stock).word));
    switcher::InButtonOrder(switcher::kSets, [&view](const switcher::SetRow& row) {
        view.present.emplace_back(PresenceKey(row),
                                  view.status.present[static_cast<std::size_t>(row.folder)]);
    });
    return view;
}

void PrintStatusJson(const StatusView& view, const switcher::Fields& fields, std::ostream& out)
{
    nlohmann::ordered_json shown{{"game_dir", fields.GameDir},
                                 {"state_file", fields.StateFile},
                                 {"installed", nullptr},
                                 {"title", view.states.title}};
    if (view.status.recorded) {
        shown["installed"] = fields.InstalledSet;
    }
    for (const Control control : switcher::kControls) {
        shown["buttons"][KeyOf(control)] = switcher::IsEnabled(view.states, control);
    }
    for (const auto& [key, yes] : view.present) {
        shown["sets_present"][key] = yes;
    }
    shown["backup_dir"] = view.status.backupDir;
    shown["kept_files"] = view.status.keptFiles;
    shown["virtual_store"] = VirtualStoreJson(view.store);
    PrintJson(shown, out);
}

void PrintStatusText(const StatusView& view, const switcher::Fields& fields, std::ostream& out)
{
    std::vector<std::string> on;
    std::vector<std::string> off;
    for (const Control control : switcher::kControls) {
        (switcher::IsEnabled(view.states, control) ? on : off)
            .push_back(std::string(switcher::CaptionOf(control)));
    }
    std::vector<std::string> found;
    std::vector<std::string> missing;
    for (const auto& [key, yes] : view.present) {
        (yes ? found : missing).push_back(key);
    }
    const switcher::SetRow* row = switcher::RowOfWord(fields.InstalledSet);
    std::string installed = "nothing recorded; the next start restores the stock set";
    if (view.status.recorded) {
        installed = "\"" + Printable(fields.InstalledSet) +
                    (row != nullptr ? "\" (" + std::string(row->name) + ")"
                                    : std::string("\" (names no set: error state)"));
    }
    const auto list = [](const std::vector<std::string>& items) {
        return items.empty() ? std::string("none") : Join(items, ", ");
    };
    out << "Game folder:  " << fields.GameDir << '\n'
        << "State file:   " << fields.StateFile << (view.status.recorded ? "" : " (not there yet)")
        << '\n'
        << "Installed:    " << installed << '\n'
        << "Title:        " << view.states.title << '\n'
        << "Buttons on:   " << list(on) << '\n'
        << "Buttons off:  " << list(off) << '\n'
        << "Sets present: " << list(found) << '\n'
        << "Sets missing: " << list(missing) << '\n'
        << "Kept files:   " << view.status.keptFiles << " in " << view.status.backupDir << '\n'
        << VirtualStoreLine(view.store) << VirtualStoreAdvice(view.store);
}

// Why nothing could be compared; empty when it was.
std::string VerifyRefusal(const switcher::Comparison& comparison, const switcher::Fields& fields)
{
    using Verdict = switcher::Comparison::Verdict;
    switch (comparison.verdict) {
    case Verdict::Unrecorded:
        return "jov-switch: nothing is recorded in " + fields.GameDir +
               " yet (no state file), so there is nothing to verify. Run 'jov-switch status'.";
    case Verdict::ErrorState:
        return ErrorStateSentence(fields);
    case Verdict::SetMissing:
        return std::string(comparison.set->missing);
    case Verdict::Compared:
        break;
    }
    return {};
}

void PrintVerifyJson(const switcher::Comparison& comparison, const switcher::Fields& fields,
                     const finder::VirtualStore& store, bool compared, std::size_t count,
                     std::ostream& out)
{
    nlohmann::ordered_json shown{{"game_dir", fields.GameDir},
                                 {"installed", nullptr},
                                 {"set", nullptr},
                                 {"matches", nullptr},
                                 {"differences", nlohmann::ordered_json::array()}};
    if (comparison.verdict != switcher::Comparison::Verdict::Unrecorded) {
        shown["installed"] = fields.InstalledSet;
    }
    if (comparison.set != nullptr) {
        shown["set"] = comparison.set->name;
    }
    if (compared) {
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

void PrintVerifyText(const switcher::Comparison& comparison, const finder::VirtualStore& store,
                     std::size_t count, std::ostream& out)
{
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
    } else {
        out << count << (count == 1 ? " difference" : " differences") << " from the "
            << comparison.set->name << " set.\n";
    }
}

} // namespace

void PrintStatus(switcher::Switcher& sw, bool json, std::ostream& out)
{
    const StatusView view = ViewOf(sw);
    json ? PrintStatusJson(view, sw.State(), out) : PrintStatusText(view, sw.State(), out);
}

int Verify(switcher::Switcher& sw, bool json, std::ostream& out, std::ostream& err)
{
    const switcher::Comparison comparison = sw.Compare();
    const std::string refusal = VerifyRefusal(comparison, sw.State());
    // Files the game reads from the VirtualStore in place of the game folder's differ too.
    const finder::VirtualStore store = finder::VirtualStoreOf(sw.State().GameDir);
    const std::size_t count =
        comparison.differences.size() + comparison.extras.size() + store.shadowing.size();
    if (json) {
        PrintVerifyJson(comparison, sw.State(), store, refusal.empty(), count, out);
    }
    if (!refusal.empty()) {
        err << refusal << '\n';
        return kRefused;
    }
    if (!json) {
        PrintVerifyText(comparison, store, count, out);
    }
    return count == 0 ? kDone : kDiffers;
}

} // namespace cli
