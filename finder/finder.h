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
// prefixes, the registry). The whole search, the sources' reading of launcher files included, is
// bounded in entries and time and answers a stop request; it opens nothing that could block. The
// walk below a place is bounded in depth, follows links the player made but never into a
// prefix's dosdevices, to the root or into system folders, and reads each real folder (device
// and inode) once, so a folder reached by two routes is reported once.
namespace finder
{

// The order places are walked in: every place of one pass before any place of the next, so
// that the folders where a game usually lies are reached before deep walks use the bounds up.
enum class Pass
{
    Direct,        // a launcher's library, a shortcut's or an installer's folder, ~/Games/*
    PrefixFolders, // a Wine prefix's Program Files and Games
    WholePrefix,   // all of a Wine prefix's drive_c
};

// A folder to look in, and how many levels below it a game folder may lie.
struct Place
{
    std::filesystem::path folder;
    int depth = 0;
    std::string source; // shown to the player: where the place came from
    Pass pass = Pass::Direct;
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
    bool complete = true; // false when a bound or a stop request cut the search short
    // Launcher files that exist but could not be read (not a regular file, too large, not in
    // their format or shape), sorted; the search went on without them.
    std::vector<std::string> skipped;
};

// Levels below drive_c at which a game folder may be found inside a Wine prefix.
inline constexpr int kPrefixDepth = 4;
// Levels below a folder or drive the player names; on a whole drive the bounds end it first.
inline constexpr int kNamedFolderDepth = 16;

// Walks the places, pass by pass, each pass in the order given; a folder found twice keeps its
// first source.
Search Find(const std::vector<Place>& places, const Limits& limits = {}, std::stop_token stop = {});

// Every place the platform's sources name, read within the same bounds, then walked.
Search FindGameFolders(const Limits& limits = {}, std::stop_token stop = {});

// The folder `-C auto` takes: the only ready one, and only from a complete search.
const Found* OnlyReadyFolder(const Search& search);

// UTF-8 text and paths, the same on every platform.
std::filesystem::path PathOf(std::string_view utf8);
std::string Utf8(const std::filesystem::path& path);

} // namespace finder
