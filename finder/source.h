#pragma once

#include "finder/finder.h"

#include <memory>
#include <vector>

// One reader per place players keep the game: a launcher's files, a Wine prefix, the registry.
// A source only reads; it never starts Wine, a launcher or anything else. The build picks the
// platform's list (posix/sources.cpp or win32/sources.cpp).
namespace finder
{

class Source
{
public:
    virtual ~Source() = default;
    // Adds the places this source names. A missing file or key adds nothing.
    virtual void AddPlaces(std::vector<Place>& places) const = 0;
};

// This platform's sources, in the order their places are walked.
std::vector<std::unique_ptr<Source>> PlatformSources();

// drive_c of a Wine prefix, searched kPrefixDepth levels deep.
void AddPrefix(std::vector<Place>& places, const std::filesystem::path& prefix,
               const std::string& source);

// Each subfolder of `folder`, links included, as a Wine prefix.
void AddPrefixesIn(std::vector<Place>& places, const std::filesystem::path& folder,
                   const std::string& source);

// Steam's libraries (its own and those libraryfolders.vdf lists), their games and Proton
// prefixes, and the start folders of its non-Steam shortcuts.
void AddSteam(std::vector<Place>& places, const std::filesystem::path& steamRoot);

} // namespace finder
