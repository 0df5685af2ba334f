#pragma once

#include "finder/finder.h"

#include <memory>
#include <set>
#include <vector>

// One reader per place players keep the game: a launcher's files, a Wine prefix, the registry.
// A source only reads; it never starts Wine, a launcher or anything else. The build picks the
// platform's list (posix/sources.cpp or win32/sources.cpp).
namespace finder
{

// The search's bounds, shared by the sources and the walk: entries read, time, a stop request.
class Bounds
{
public:
    Bounds(const Limits& limits, std::stop_token stop);
    // Counts one entry (a folder's entry, a file, a registry key); false once the search must end.
    bool Next();
    // The same without counting: before a folder is read, which may hold no entry at all.
    bool Within();
    bool Reached() const { return reached_; }

private:
    Limits limits_;
    std::stop_token stop_;
    std::chrono::steady_clock::time_point deadline_;
    std::size_t entries_ = 0;
    bool reached_ = false;
};

// What the sources gather: the places to walk, and the launcher files they could not read.
class Gathering
{
public:
    explicit Gathering(Bounds& bounds) : bounds_(bounds) {}

    void Add(Place place) { places.push_back(std::move(place)); }
    // A launcher's file, whole: nothing when it is missing, and nothing when it cannot be read
    // (not a regular file, larger than Steam's and the launchers' files ever are), which is then
    // named among the skipped files.
    std::optional<std::string> Read(const std::filesystem::path& file);
    // A file that was read but is not in its format or shape.
    void Skip(const std::filesystem::path& file) { skipped.insert(Utf8(file)); }
    // The entries of a folder, links included, sorted; as many as the bounds allow.
    std::vector<std::filesystem::path> Entries(const std::filesystem::path& folder);
    bool Next() { return bounds_.Next(); }

    std::vector<Place> places;
    std::set<std::string> skipped;

private:
    Bounds& bounds_;
};

class Source
{
public:
    virtual ~Source() = default;
    // Adds the places this source names. A missing file or key adds nothing.
    virtual void AddPlaces(Gathering& gathering) const = 0;
};

// This platform's sources, in the order their places are walked within a pass.
std::vector<std::unique_ptr<Source>> PlatformSources();

// A Wine prefix: its Program Files and Games folders, then all of drive_c kPrefixDepth levels
// deep.
void AddPrefix(Gathering& gathering, const std::filesystem::path& prefix,
               const std::string& source);

// Steam's libraries (its own and those libraryfolders.vdf lists), their games and Proton
// prefixes, and the start folders of its non-Steam shortcuts.
void AddSteam(Gathering& gathering, const std::filesystem::path& steamRoot);

} // namespace finder
