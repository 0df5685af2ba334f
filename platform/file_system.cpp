#include "platform/file_system.h"

#include "platform/name_match.h"
#include "platform/path_text.h"

namespace platform
{

std::vector<std::string> ListPlainFiles(FileSystem& files, const std::string& pattern)
{
    const Split split = SplitPath(pattern);
    std::vector<std::string> names;
    if (split.leaf.empty()) {
        return names;
    }
    const bool wildcard = HasWildcard(split.leaf);
    const std::string folded = wildcard ? std::string() : FoldCase(split.leaf);
    for (Entry& entry : files.List(split.folder).entries) {
        if (entry.kind == EntryKind::File && !entry.hidden && !TemporaryOwner(entry.name) &&
            (wildcard ? MatchesPattern(entry.name, split.leaf) : FoldCase(entry.name) == folded)) {
            names.push_back(std::move(entry.name));
        }
    }
    return names;
}

std::vector<std::string> ListFolders(FileSystem& files, const std::string& folder)
{
    std::vector<std::string> names;
    for (Entry& entry : files.List(folder).entries) {
        if (entry.kind == EntryKind::Folder) {
            names.push_back(std::move(entry.name));
        }
    }
    return names;
}

} // namespace platform
