#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

// Finds KRS 1.2 game folders where players keep them: folders that hold FLT.CDF or DATA.CDF
// directly, in any letter case. The places come from the platform's sources (launchers, Wine
// prefixes, the registry); the walk below them is bounded in depth, entries and time, follows no
// link below a place, never enters a prefix's dosdevices, and reports each real folder once.
namespace finder
{

// A folder to look in, and how many levels below it a game folder may lie.
struct Place
{
    std::filesystem::path folder;
    int depth = 0;
    std::string source; // shown to the player: where the place came from
};

struct Found
{
    std::string folder; // UTF-8, the real path
    std::string source;
    bool ready = false;                   // it holds the krs set folder
    std::optional<std::string> installed; // the state file's word, when there is one
};

struct Limits
{
    std::chrono::milliseconds time{2000};
    std::size_t entries = 400000;
};

struct Search
{
    std::vector<Found> folders;
    bool complete = true; // false when a bound or a stop request cut the walk short
};

// Levels below drive_c at which a game folder may be found inside a Wine prefix.
inline constexpr int kPrefixDepth = 4;

// Walks the places in order; a folder found twice keeps its first source.
Search Find(const std::vector<Place>& places, const Limits& limits = {}, std::stop_token stop = {});

// Every place the platform's sources name, read now, then walked.
Search FindGameFolders(const Limits& limits = {}, std::stop_token stop = {});

// UTF-8 text and paths, the same on every platform.
std::filesystem::path PathOf(std::string_view utf8);
std::string Utf8(const std::filesystem::path& path);

} // namespace finder
