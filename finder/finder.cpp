#include "finder/finder.h"

#include "finder/disk.h"
#include "finder/source.h"

#include "platform/name_match.h"
#include "switcher/kept_record.h"
#include "switcher/set_table.h"
#include "switcher/state_file.h"

#include <algorithm>
#include <deque>
#include <map>
#include <set>
#include <system_error>

namespace finder
{
namespace
{

namespace fs = std::filesystem;

// Launcher files are small; a larger one is not a launcher's.
constexpr std::size_t kLauncherFileLimit = 4 << 20;

bool IsMarker(std::string_view folded)
{
    return folded == "flt.cdf" || folded == "data.cdf";
}

// A set folder or the backup folder of a game folder: never a game folder, never searched.
bool IsSetOrBackupName(std::string_view folded)
{
    const auto& sets = switcher::kSets;
    return folded == platform::FoldCase(switcher::kBackupFolderName) ||
           std::any_of(sets.begin(), sets.end(),
                       [&](const auto& row) { return folded == row.folderName; });
}

bool HoldsMarker(const fs::path& folder)
{
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (IsMarker(platform::FoldCase(Utf8(it->path().filename()))) &&
            it->is_regular_file(error)) {
            return true;
        }
    }
    return false;
}

// Whether a folder lies in (or is) a set folder or the backup folder of a game folder.
bool InsideSetFolder(const fs::path& folder)
{
    for (fs::path at = folder; at.has_relative_path() && at.parent_path() != at;
         at = at.parent_path()) {
        if (IsSetOrBackupName(platform::FoldCase(Utf8(at.filename()))) &&
            HoldsMarker(at.parent_path())) {
            return true;
        }
    }
    return false;
}

std::optional<std::string> InstalledWord(const fs::path& stateFile)
{
    const FileBytes read = ReadRegularFile(stateFile, switcher::kStateReadLimit);
    if (read.outcome != FileBytes::Outcome::Read) {
        return std::nullopt;
    }
    return switcher::ParseStateLine(read.bytes);
}

class Walk
{
public:
    explicit Walk(Bounds& bounds) : bounds_(bounds) {}

    void Place(const finder::Place& place)
    {
        std::deque<std::pair<fs::path, int>> queue{{place.folder, place.depth}};
        while (!queue.empty() && bounds_.Within()) {
            auto [folder, remaining] = std::move(queue.front());
            queue.pop_front();
            Folder(folder, remaining, remaining > 0 ? &queue : nullptr, place.source);
        }
    }

    std::vector<Found> Result() { return std::move(found_); }

private:
    // Whether a folder still has to be read `remaining` levels deep: one reached before by
    // another route, as deep or deeper, is not read again.
    bool Enter(const FolderId& id, int remaining)
    {
        const auto [at, fresh] = walked_.try_emplace(id, remaining);
        if (!fresh && at->second >= remaining) {
            return false;
        }
        at->second = remaining;
        return true;
    }

    // What a link the player made leads to, as the walk takes it: a folder, unless it leads to
    // the root or into a system folder; a regular file.
    static EntryKind Followed(const fs::path& link)
    {
        const LinkTarget target = Follow(link);
        return target.kind == EntryKind::Folder && IsSystemFolder(target.real) ? EntryKind::Other
                                                                               : target.kind;
    }

    // Reads the folder once: whether it is a game folder, and its subfolders for the queue.
    void Folder(const fs::path& folder, int remaining, std::deque<std::pair<fs::path, int>>* queue,
                const std::string& source)
    {
        FolderId id;
        bool marker = false;
        bool ready = false;
        std::optional<fs::path> stateFile;
        std::vector<std::pair<std::string, std::string>> subfolders; // name, folded
        const bool read = ListFolder(
            folder,
            [&](const FolderId& at) {
                id = at;
                return Enter(at, remaining);
            },
            [&](const std::string& name, EntryKind kind) {
                if (!bounds_.Next()) {
                    return false;
                }
                std::string folded = platform::FoldCase(name);
                if (kind == EntryKind::Link &&
                    (queue != nullptr || IsMarker(folded) || folded == switcher::kStateFileName ||
                     folded == switcher::RowOf(switcher::SetFolder::Stock).folderName)) {
                    kind = Followed(folder / PathOf(name));
                }
                if (kind == EntryKind::Folder) {
                    ready =
                        ready || folded == switcher::RowOf(switcher::SetFolder::Stock).folderName;
                    // A prefix's dosdevices leads to its drives, z: to the whole disk.
                    if (queue != nullptr && folded != "dosdevices") {
                        subfolders.emplace_back(name, std::move(folded));
                    }
                } else if (kind == EntryKind::File) {
                    marker = marker || IsMarker(folded);
                    if (folded == switcher::kStateFileName) {
                        stateFile = folder / PathOf(name);
                    }
                }
                return true;
            });
        if (!read || bounds_.Reached()) {
            return;
        }
        // In byte order, so that the bounds cut every search at the same place.
        std::sort(subfolders.begin(), subfolders.end());
        if (marker && !InsideSetFolder(folder)) {
            Report(folder, id, source, ready, stateFile);
        }
        for (auto& [name, folded] : subfolders) {
            if (!marker || !IsSetOrBackupName(folded)) {
                queue->emplace_back(folder / PathOf(name), remaining - 1);
            }
        }
    }

    void Report(const fs::path& folder, const FolderId& id, const std::string& source, bool ready,
                const std::optional<fs::path>& stateFile)
    {
        if (!reported_.insert(id).second) {
            return;
        }
        std::error_code error;
        const fs::path real = fs::canonical(folder, error);
        found_.push_back({Utf8(error ? folder : real), source, ready,
                          stateFile ? InstalledWord(*stateFile) : std::nullopt});
    }

    Bounds& bounds_;
    std::map<FolderId, int> walked_; // the levels below each folder read so far
    std::set<FolderId> reported_;
    std::vector<Found> found_;
};

Search Walked(const std::vector<Place>& places, Bounds& bounds)
{
    std::vector<const Place*> order;
    for (const Place& place : places) {
        order.push_back(&place);
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const Place* a, const Place* b) { return a->pass < b->pass; });
    Walk walk(bounds);
    for (const Place* place : order) {
        walk.Place(*place);
    }
    return {walk.Result(), !bounds.Reached(), {}};
}

} // namespace

Bounds::Bounds(const Limits& limits, std::stop_token stop)
    : limits_(limits), stop_(std::move(stop)),
      deadline_(std::chrono::steady_clock::now() + limits.time)
{}

bool Bounds::Next()
{
    if (++entries_ > limits_.entries) {
        reached_ = true;
    }
    return Within();
}

bool Bounds::Within()
{
    if (!reached_ && (stop_.stop_requested() || std::chrono::steady_clock::now() > deadline_)) {
        reached_ = true;
    }
    return !reached_;
}

std::optional<std::string> Gathering::Read(const fs::path& file)
{
    if (!Next()) {
        return std::nullopt;
    }
    FileBytes read = ReadRegularFile(file, kLauncherFileLimit);
    if (read.outcome == FileBytes::Outcome::Missing) {
        return std::nullopt;
    }
    if (read.outcome == FileBytes::Outcome::Unreadable || !read.whole) {
        Skip(file);
        return std::nullopt;
    }
    return std::move(read.bytes);
}

std::vector<fs::path> Gathering::Entries(const fs::path& folder)
{
    std::vector<fs::path> entries;
    ListFolder(
        folder, [](const FolderId&) { return true; },
        [&](const std::string& name, EntryKind) {
            if (!Next()) {
                return false;
            }
            entries.push_back(folder / PathOf(name));
            return true;
        });
    std::sort(entries.begin(), entries.end());
    return entries;
}

Search Find(const std::vector<Place>& places, const Limits& limits, std::stop_token stop)
{
    Bounds bounds(limits, std::move(stop));
    return Walked(places, bounds);
}

Search FindGameFolders(const Limits& limits, std::stop_token stop)
{
    Bounds bounds(limits, std::move(stop));
    Gathering gathering(bounds);
    for (const auto& source : PlatformSources()) {
        if (!bounds.Reached()) {
            source->AddPlaces(gathering);
        }
    }
    Search search = Walked(gathering.places, bounds);
    search.skipped.assign(gathering.skipped.begin(), gathering.skipped.end());
    return search;
}

const Found* OnlyReadyFolder(const Search& search)
{
    const auto ready = [](const Found& found) { return found.ready; };
    if (!search.complete ||
        std::count_if(search.folders.begin(), search.folders.end(), ready) != 1) {
        return nullptr;
    }
    return &*std::find_if(search.folders.begin(), search.folders.end(), ready);
}

std::filesystem::path PathOf(std::string_view utf8)
{
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

void AddPrefix(Gathering& gathering, const fs::path& prefix, const std::string& source)
{
    const fs::path driveC = prefix / "drive_c";
    for (const char* folder : {"Program Files", "Program Files (x86)", "Games"}) {
        gathering.Add({driveC / folder, kPrefixDepth - 1, source, Pass::PrefixFolders});
    }
    gathering.Add({driveC, kPrefixDepth, source, Pass::WholePrefix});
}

} // namespace finder
