#include "cli/find.h"

#include "cli/report.h"
#include "finder/finder.h"

#include "platform/path_text.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace cli
{
namespace
{

// The length of the UTF-8 sequence of a printable character at the start of `text`, or 0: a
// control character (C0, DEL, C1), or a byte that starts no valid sequence.
std::size_t PrintableLength(std::string_view text)
{
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        return lead >= 0x20 && lead != 0x7F ? 1 : 0;
    }
    // The lead byte's length and the range its second byte must lie in (no overlong forms, no
    // surrogates, nothing beyond U+10FFFF).
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead == 0xC2) {
        length = 2;
        low = 0xA0; // U+0080 to U+009F are the C1 controls
    } else if (lead > 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    }
    if (length == 0 || text.size() < length || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t at = 2; at < length; ++at) {
        if (byte(at) < 0x80 || byte(at) > 0xBF) {
            return 0;
        }
    }
    return length;
}

void PrintLines(const finder::Search& search, std::ostream& out)
{
    for (const finder::Found& found : search.folders) {
        out << OneLine(found.folder) << '\t' << (found.ready ? "ready" : "to prepare") << '\t'
            << (found.installed ? Printable(*found.installed) : "-") << '\t' << found.source
            << '\n';
    }
}

// After "the search", in the listing's last line and in a message.
constexpr const char* kCutShort = "stopped early, at its bounds (2 seconds, or too many folders): "
                                  "a game folder it did not reach can still be given with -C.";

} // namespace

std::string OneLine(std::string_view name)
{
    static constexpr std::string_view kLetters = "abtnvfr"; // \a to \r, bytes 7 to 13
    std::string shown;
    while (!name.empty()) {
        const std::size_t length = PrintableLength(name);
        const auto byte = static_cast<unsigned char>(name.front());
        if (byte == '\\' && platform::kSeparator != '\\') {
            shown += "\\\\";
        } else if (length > 0) {
            shown += name.substr(0, length);
        } else if (byte >= 7 && byte <= 13) {
            shown += {'\\', kLetters[byte - 7]};
        } else {
            shown +=
                {'\\', static_cast<char>('0' + (byte >> 6)),
                 static_cast<char>('0' + ((byte >> 3) & 7)), static_cast<char>('0' + (byte & 7))};
        }
        name.remove_prefix(std::max<std::size_t>(length, 1));
    }
    return shown;
}

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
        const nlohmann::json shown{
            {"folders", folders}, {"complete", search.complete}, {"skipped", search.skipped}};
        out << shown.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    } else {
        PrintLines(search, out);
        if (!search.complete) {
            out << "The search " << kCutShort << '\n';
        }
    }
    if (search.folders.empty()) {
        err << "jov-switch: no KRS 1.2 game folder (one holding FLT.CDF or DATA.CDF) was found "
               "in the usual places.\n";
    }
    for (const std::string& file : search.skipped) {
        err << "jov-switch: " << OneLine(file)
            << " could not be read; the search went on without it.\n";
    }
    // Said once: in the listing's last line, or beside the JSON object.
    if (!search.complete && json) {
        err << "jov-switch: the search " << kCutShort << '\n';
    }
    return kDone;
}

bool PickAutoGameDir(std::string& gameDir, std::ostream& err)
{
    const finder::Search search = finder::FindGameFolders();
    if (const finder::Found* only = finder::OnlyReadyFolder(search)) {
        gameDir = only->folder;
        return true;
    }
    const auto ready = std::count_if(search.folders.begin(), search.folders.end(),
                                     [](const finder::Found& found) { return found.ready; });
    err << "jov-switch: -C auto needs exactly one ready game folder (one with its krs folder) "
           "from a complete search; "
        << (ready == 0 ? "none was" : std::to_string(ready) + (ready == 1 ? " was" : " were"))
        << " found" << (search.folders.empty() ? "." : ":") << '\n';
    PrintLines(search, err);
    if (!search.complete) {
        err << "The search " << kCutShort << '\n';
    }
    err << "Name the game folder with -C.\n";
    return false;
}

} // namespace cli
