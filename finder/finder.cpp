#include "finder/finder.h"

#include "finder/real_path.h"
#include "finder/source.h"

#include "platform/name_match.h"
#include "switcher/kept_record.h"
#include "switcher/set_table.h"
#include "switcher/state_file.h"

#include <algorithm>
#include <deque>
#include <fstream>
#include <set>
#include <system_error>

namespace finder
{
namespace
{

namespace fs = std::filesystem;

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
    std::ifstream in(stateFile, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string bytes(switcher::kStateReadLimit, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return switcher::ParseStateLine(bytes);
}

class Walk
{
public:
    Walk(const Limits& limits, std::stop_token stop)
        : limits_(limits), stop_(std::move(stop)),
          deadline_(std::chrono::steady_clock::now() + limits.time)
    {}

    void Place(const finder::Place& place)
    {
        std::error_code error;
        if (!fs::is_directory(place.folder, error) ||
            !walked_.insert(RealPathKey(place.folder)).second) {
            return;
        }
        std::deque<std::pair<fs::path, int>> queue{{place.folder, 0}};
        while (!queue.empty() && search_.complete) {
            auto [folder, level] = std::move(queue.front());
            queue.pop_front();
            Folder(folder, level < place.depth ? &queue : nullptr, level + 1, place.source);
        }
    }

    Search Result() { return std::move(search_); }

private:
    bool WithinBounds()
    {
        if (++entries_ > limits_.entries || stop_.stop_requested() ||
            std::chrono::steady_clock::now() > deadline_) {
            search_.complete = false;
        }
        return search_.complete;
    }

    // Reads the folder once: whether it is a game folder, and its subfolders for the queue.
    void Folder(const fs::path& folder, std::deque<std::pair<fs::path, int>>* queue, int level,
                const std::string& source)
    {
        bool marker = false;
        bool ready = false;
        std::optional<fs::path> stateFile;
        std::vector<std::pair<fs::path, std::string>> subfolders;
        std::error_code error;
        for (fs::directory_iterator
                 it(folder, fs::directory_options::skip_permission_denied, error),
             end;
             !error && it != end; it.increment(error)) {
            if (!WithinBounds()) {
                return;
            }
            const std::string name = platform::FoldCase(Utf8(it->path().filename()));
            std::error_code kindError;
            const fs::file_status own = it->symlink_status(kindError);
            if (fs::is_directory(own)) {
                ready = ready || name == switcher::RowOf(switcher::SetFolder::Stock).folderName;
                // Links are never followed below a place: a prefix's dosdevices/z: leads to
                // the whole disk, and symlink_status leaves every link out here.
                if (queue != nullptr) {
                    subfolders.emplace_back(it->path(), name);
                }
            } else if (it->is_regular_file(kindError)) {
                marker = marker || IsMarker(name);
                if (name == switcher::kStateFileName) {
                    stateFile = it->path();
                }
            }
        }
        // In byte order, so that the bounds cut every search at the same place.
        std::sort(subfolders.begin(), subfolders.end());
        if (marker && !InsideSetFolder(folder)) {
            Report(folder, source, ready, stateFile);
        }
        for (auto& [path, name] : subfolders) {
            if (!marker || !IsSetOrBackupName(name)) {
                queue->emplace_back(std::move(path), level);
            }
        }
    }

    void Report(const fs::path& folder, const std::string& source, bool ready,
                const std::optional<fs::path>& stateFile)
    {
        if (!reported_.insert(RealPathKey(folder)).second) {
            return;
        }
        std::error_code error;
        const fs::path real = fs::canonical(folder, error);
        search_.folders.push_back({Utf8(error ? folder : real), source, ready,
                                   stateFile ? InstalledWord(*stateFile) : std::nullopt});
    }

    Limits limits_;
    std::stop_token stop_;
    std::chrono::steady_clock::time_point deadline_;
    std::size_t entries_ = 0;
    std::set<std::string> walked_;
    std::set<std::string> reported_;
    Search search_;
};

} // namespace

Search Find(const std::vector<Place>& places, const Limits& limits, std::stop_token stop)
{
    Walk walk(limits, std::move(stop));
    for (const Place& place : places) {
        walk.Place(place);
    }
    return walk.Result();
}

Search FindGameFolders(const Limits& limits, std::stop_token stop)
{
    std::vector<Place> places;
    for (const auto& source : PlatformSources()) {
        source->AddPlaces(places);
    }
    return Find(places, limits, std::move(stop));
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

void AddPrefix(std::vector<Place>& places, const fs::path& prefix, const std::string& source)
{
    places.push_back({prefix / "drive_c", kPrefixDepth, source});
}

void AddPrefixesIn(std::vector<Place>& places, const fs::path& folder, const std::string& source)
{
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        AddPrefix(places, it->path(), source);
    }
}

} // namespace finder
