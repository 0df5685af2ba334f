#include "switcher/kept_record.h"

#include "platform/path_text.h"
#include "switcher/set_table.h"

#include <algorithm>
#include <charconv>
#include <iomanip>
#include <sstream>

namespace switcher
{

std::string BackupDirOf(const std::string& gameDir)
{
    return platform::Under(gameDir, kBackupFolderName);
}
namespace
{

constexpr std::string_view kReplacedByInstall = "replaced by the install of ";
constexpr std::string_view kReplacedByRestore = "replaced by the restore of the stock set";
constexpr std::string_view kCleared = "cleared by the restore of the stock set";
constexpr std::string_view kRemovedWith = "removed with the ";
constexpr std::string_view kFlightModels = " flight models";
constexpr std::string_view kPutBack = "put back into the game folder by the restore on ";
constexpr std::string_view kFound = "left here by a command that was stopped";
constexpr const char* kTimeFormat = "%Y-%m-%d %H:%M:%S";
constexpr std::string_view kRun = " (run ";

// A name's tab, line ends and backslash written as escapes, so that a line stays one entry.
std::string Escape(std::string_view name)
{
    std::string text;
    for (const char c : name) {
        switch (c) {
        case '\t':
            text += "\\t";
            break;
        case '\r':
            text += "\\r";
            break;
        case '\n':
            text += "\\n";
            break;
        case '\\':
            text += "\\\\";
            break;
        default:
            text += c;
        }
    }
    return text;
}

std::string Unescape(std::string_view text)
{
    std::string name;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char next = at + 1 < text.size() ? text[at + 1] : '\0';
        if (text[at] == '\\' && (next == 't' || next == 'r' || next == 'n' || next == '\\')) {
            name += next == 't' ? '\t' : next == 'r' ? '\r' : next == 'n' ? '\n' : '\\';
            ++at;
        } else {
            name += text[at];
        }
    }
    return name;
}

std::string WhatText(const KeptEntry& entry)
{
    switch (entry.what) {
    case KeptEntry::What::Replaced: {
        const SetRow* set = RowOfWord(entry.by);
        if (set == nullptr || set->folder == SetFolder::Stock) {
            return std::string(kReplacedByRestore);
        }
        return std::string(kReplacedByInstall) + std::string(set->name);
    }
    case KeptEntry::What::Cleared:
        return std::string(kCleared);
    case KeptEntry::What::Removed: {
        const auto* airForce =
            std::find_if(kAirForces.begin(), kAirForces.end(),
                         [&](const AirForceRow& row) { return row.word == entry.by; });
        const std::string_view name =
            airForce != kAirForces.end() ? airForce->name : std::string_view(entry.by);
        return std::string(kRemovedWith) + std::string(name) + std::string(kFlightModels);
    }
    case KeptEntry::What::Found:
        return std::string(kFound);
    case KeptEntry::What::PutBack:
        break;
    }
    return std::string(kPutBack) + entry.by;
}

// The entry's kind and `by` from its "what happened" column; false for no kind of entry.
bool ReadWhat(std::string_view text, KeptEntry& entry)
{
    if (text == kCleared || text == kReplacedByRestore) {
        entry.what = text == kCleared ? KeptEntry::What::Cleared : KeptEntry::What::Replaced;
        entry.by = RowOf(SetFolder::Stock).word;
        return true;
    }
    if (text.starts_with(kReplacedByInstall)) {
        const std::string_view name = text.substr(kReplacedByInstall.size());
        const auto* set = std::find_if(kSets.begin(), kSets.end(),
                                       [&](const SetRow& row) { return row.name == name; });
        entry.what = KeptEntry::What::Replaced;
        entry.by = set != kSets.end() ? set->word : name;
        return set != kSets.end();
    }
    if (text.starts_with(kRemovedWith) && text.ends_with(kFlightModels)) {
        const std::string_view name = text.substr(
            kRemovedWith.size(), text.size() - kRemovedWith.size() - kFlightModels.size());
        const auto* airForce =
            std::find_if(kAirForces.begin(), kAirForces.end(),
                         [&](const AirForceRow& row) { return row.name == name; });
        entry.what = KeptEntry::What::Removed;
        entry.by = airForce != kAirForces.end() ? airForce->word : name;
        return true;
    }
    if (text == kFound) {
        entry.what = KeptEntry::What::Found;
        return true;
    }
    if (text.starts_with(kPutBack)) {
        entry.what = KeptEntry::What::PutBack;
        entry.by = text.substr(kPutBack.size());
        return true;
    }
    return false;
}

std::int64_t ReadTime(const std::string& text)
{
    std::tm parts{};
    std::istringstream in(text);
    in >> std::get_time(&parts, kTimeFormat);
    if (in.fail()) {
        return 0;
    }
    parts.tm_isdst = -1;
    const std::time_t when = std::mktime(&parts);
    return when == -1 ? 0 : static_cast<std::int64_t>(when) * 1000000000;
}

std::vector<std::string_view> Columns(std::string_view line)
{
    std::vector<std::string_view> fields;
    for (std::size_t at = 0;;) {
        const std::size_t end = line.find('\t', at);
        fields.push_back(line.substr(at, end - at));
        if (end == std::string_view::npos) {
            return fields;
        }
        at = end + 1;
    }
}

// Each line of `text` without its line end, CR LF or LF alike.
template <typename Visit> void ForEachLine(std::string_view text, Visit visit)
{
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find('\n', at);
        end = end == std::string_view::npos ? text.size() : end;
        std::string_view line = text.substr(at, end - at);
        at = end + 1;
        while (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        visit(line);
    }
}

} // namespace

std::string LocalTime(std::time_t when, const char* format)
{
    const std::tm* parts = std::localtime(&when);
    char text[64] = {};
    if (parts == nullptr || std::strftime(text, sizeof text, format, parts) == 0) {
        return "?";
    }
    return text;
}

std::string Format(const KeptEntry& entry)
{
    std::string line = Escape(entry.name) + "\t" + Escape(entry.keptName) + "\t" + WhatText(entry);
    if (entry.what != KeptEntry::What::PutBack) {
        line += "\t" + std::to_string(entry.size) + "\t" +
                LocalTime(static_cast<std::time_t>(entry.modified / 1000000000), kTimeFormat);
    }
    return line + "\r\n";
}

std::string Format(const KeptRecord& record)
{
    std::string text =
        "JOV Enable-Disable kept these files of the game folder " + record.gameDir +
        "\r\nwhen it ran \"" + record.command + "\" on " +
        LocalTime(record.started, "%Y-%m-%d at %H:%M:%S") + std::string(kRun) +
        std::to_string(record.sequence) +
        ").\r\nTo get a file back, copy it from here into the game folder, under its "
        "name there.\r\n\r\nName in the game folder\tName here\tWhat "
        "happened\tSize in bytes\tLast changed\r\n";
    for (const KeptEntry& entry : record.entries) {
        text += Format(entry);
    }
    return text;
}

PlacedCopy PlacedCopy::Of(const platform::FileStamp& stamp, std::string name, std::string set)
{
    return {std::move(name), std::move(set), stamp.size, stamp.modified,
            stamp.changed,   stamp.device,   stamp.inode};
}

bool PlacedCopy::Matches(const platform::FileStamp& stamp) const
{
    // A system that tells no identity or change time makes no match: the content decides then.
    return stamp.IsFile() && (inode != 0 || changed != 0) && stamp.size == size &&
           stamp.modified == modified && stamp.changed == changed && stamp.device == device &&
           stamp.inode == inode;
}

std::string Format(const std::vector<PlacedCopy>& copies)
{
    std::string text = "The files JOV Enable-Disable copied into the game folder, as it left "
                       "them. A file that is still one of these is deleted without being kept."
                       "\r\n\r\nName in the game folder\tSet\tSize\tModified\tChanged\tDevice\t"
                       "File\r\n";
    for (const PlacedCopy& copy : copies) {
        text += Escape(copy.name) + "\t" + copy.set + "\t" + std::to_string(copy.size) + "\t" +
                std::to_string(copy.modified) + "\t" + std::to_string(copy.changed) + "\t" +
                std::to_string(copy.device) + "\t" + std::to_string(copy.inode) + "\r\n";
    }
    return text;
}

std::vector<PlacedCopy> ParseCopies(std::string_view text)
{
    std::vector<PlacedCopy> copies;
    ForEachLine(text, [&](std::string_view line) {
        const std::vector<std::string_view> field = Columns(line);
        PlacedCopy copy;
        const auto number = [&](std::size_t at, auto& value) {
            const char* end = field[at].data() + field[at].size();
            const auto [stop, error] = std::from_chars(field[at].data(), end, value);
            return error == std::errc() && stop == end;
        };
        if (field.size() == 7 && !field[0].empty() && RowOfWord(field[1]) != nullptr &&
            number(2, copy.size) && number(3, copy.modified) && number(4, copy.changed) &&
            number(5, copy.device) && number(6, copy.inode)) {
            copy.name = Unescape(field[0]);
            copy.set = field[1];
            copies.push_back(std::move(copy));
        }
    });
    return copies;
}

KeptRecord Parse(std::string_view text)
{
    KeptRecord record;
    ForEachLine(text, [&](std::string_view line) {
        if (record.sequence == 0 && line.starts_with("when it ran ") && line.ends_with(").")) {
            const auto at = line.rfind(kRun);
            if (at != std::string_view::npos) {
                const std::string_view number = line.substr(at + kRun.size());
                std::from_chars(number.data(), number.data() + number.size(), record.sequence);
            }
        }
        const std::vector<std::string_view> field = Columns(line);
        KeptEntry entry;
        if (field.size() < 3 || field[0].empty() || field[1].empty() ||
            !ReadWhat(field[2], entry)) {
            return;
        }
        entry.name = Unescape(field[0]);
        entry.keptName = Unescape(field[1]);
        if (field.size() > 3) {
            std::from_chars(field[3].data(), field[3].data() + field[3].size(), entry.size);
        }
        if (field.size() > 4) {
            entry.modified = ReadTime(std::string(field[4]));
        }
        record.entries.push_back(std::move(entry));
    });
    return record;
}

} // namespace switcher
