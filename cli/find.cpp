#include "cli/find.h"

#include "cli/report.h"
#include "finder/finder.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace cli
{
namespace
{

void PrintLines(const finder::Search& search, std::ostream& out)
{
    for (const finder::Found& found : search.folders) {
        out << found.folder << '\t' << (found.ready ? "ready" : "to prepare") << '\t'
            << (found.installed ? Printable(*found.installed) : "-") << '\t' << found.source
            << '\n';
    }
}

void SayIfCutShort(const finder::Search& search, std::ostream& err)
{
    if (!search.complete) {
        err << "jov-switch: the search stopped at its bounds (2 seconds, or too many folders); "
               "a game folder it did not reach can still be given with -C.\n";
    }
}

} // namespace

int Find(bool json, std::ostream& out, std::ostream& err)
{
    const finder::Search search = finder::FindGameFolders();
    if (json) {
        nlohmann::json folders = nlohmann::json::array();
        for (const finder::Found& found : search.folders) {
            folders.push_back({{"folder", found.folder},
                               {"source", found.source},
                               {"ready", found.ready},
                               {"installed", found.installed ? nlohmann::json(*found.installed)
                                                             : nlohmann::json(nullptr)}});
        }
        const nlohmann::json shown{{"folders", folders}, {"complete", search.complete}};
        out << shown.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    } else {
        PrintLines(search, out);
    }
    if (search.folders.empty()) {
        err << "jov-switch: no KRS 1.2 game folder (one holding FLT.CDF or DATA.CDF) was found "
               "in the usual places.\n";
    }
    SayIfCutShort(search, err);
    return kDone;
}

bool PickAutoGameDir(std::string& gameDir, std::ostream& err)
{
    const finder::Search search = finder::FindGameFolders();
    const auto ready = std::count_if(search.folders.begin(), search.folders.end(),
                                     [](const finder::Found& found) { return found.ready; });
    if (ready == 1) {
        gameDir = std::find_if(search.folders.begin(), search.folders.end(),
                               [](const finder::Found& found) { return found.ready; })
                      ->folder;
        return true;
    }
    err << "jov-switch: -C auto needs exactly one ready game folder (one with its krs folder); "
        << (ready == 0 ? "none was" : std::to_string(ready) + " were") << " found"
        << (search.folders.empty() ? "." : ":") << '\n';
    PrintLines(search, err);
    SayIfCutShort(search, err);
    err << "Name the game folder with -C.\n";
    return false;
}

} // namespace cli
