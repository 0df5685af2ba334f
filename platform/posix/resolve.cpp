#include "platform/posix/resolve.h"

#include "platform/fs_error.h"
#include "platform/name_match.h"

#include <algorithm>
#include <cerrno>
#include <memory>

#include <dirent.h>

namespace platform::posix
{
namespace
{

bool IsRoot(const std::string& folder)
{
    return folder.size() == 1 && folder.front() == kSeparator;
}

bool IsSpecialLeaf(const std::string& leaf)
{
    return leaf.empty() || leaf == "." || leaf == "..";
}

bool IsDirectory(const std::string& path)
{
    struct stat info = {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

EntryKind KindOf(const std::string& folder, const dirent& item)
{
    switch (item.d_type) {
    case DT_REG:
        return EntryKind::File;
    case DT_DIR:
        return EntryKind::Folder;
    case DT_LNK:
    case DT_UNKNOWN:
        break;
    default:
        return EntryKind::Other;
    }
    const std::string path = Join(folder, item.d_name);
    struct stat info = {};
    if (::lstat(path.c_str(), &info) != 0) {
        return EntryKind::Missing;
    }
    if (S_ISDIR(info.st_mode)) {
        return EntryKind::Folder;
    }
    if (S_ISLNK(info.st_mode) && ::stat(path.c_str(), &info) != 0) {
        return EntryKind::Other;
    }
    return S_ISREG(info.st_mode) ? EntryKind::File : EntryKind::Other;
}

// Among the variants of `leaf` in a listing: the smallest that `qualifies`.
template <typename Qualifies>
const Entry* Choose(const Listing& listing, const std::string& leaf, Qualifies qualifies)
{
    const std::string folded = FoldCase(leaf);
    for (const Entry& entry : listing.entries) {
        if (FoldCase(entry.name) == folded && qualifies(entry)) {
            return &entry;
        }
    }
    return nullptr;
}

} // namespace

bool IsReadOnly(const struct stat& info)
{
    return !S_ISLNK(info.st_mode) && (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

bool WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

Listing Scan(const std::string& folder)
{
    Listing listing{folder, false, {}};
    const std::string here = FolderOrHere(folder);
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(here.c_str()), ::closedir);
    if (!dir) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return listing;
        }
        ThrowErrno("list", Absolute(here));
    }
    listing.found = true;
    errno = 0;
    while (const dirent* item = ::readdir(dir.get())) {
        const std::string_view name = item->d_name;
        if (name != "." && name != "..") {
            const EntryKind kind = KindOf(here, *item);
            if (kind != EntryKind::Missing) {
                listing.entries.push_back({std::string(name), kind, name.front() == '.'});
            }
        }
        errno = 0;
    }
    if (errno != 0) {
        ThrowErrno("list", Absolute(here));
    }
    std::sort(listing.entries.begin(), listing.entries.end(),
              [](const Entry& a, const Entry& b) { return a.name < b.name; });
    return listing;
}

std::string ResolveFolder(const std::string& folder)
{
    // As written, every component exists: nothing to look up and no folder to list.
    if (folder.empty() || IsRoot(folder) || IsDirectory(folder)) {
        return folder;
    }
    const Split split = SplitPath(folder);
    const std::string parent = ResolveFolder(split.folder);
    const std::string resolved = Join(parent, split.leaf);
    if (IsSpecialLeaf(split.leaf) || IsDirectory(resolved)) {
        return resolved;
    }
    const Listing listing = Scan(parent);
    // A link to a folder leads there too.
    const Entry* chosen = Choose(listing, split.leaf, [&](const Entry& entry) {
        return entry.kind == EntryKind::Folder ||
               (entry.kind == EntryKind::Other && IsDirectory(Join(parent, entry.name)));
    });
    return chosen != nullptr ? Join(parent, chosen->name) : resolved;
}

std::string ResolvePath(const std::string& path, bool file)
{
    // Something stands there, and it is what is asked for: a file, a link to one, or anything.
    const auto fits = [file](const std::string& at) {
        struct stat info = {};
        return file ? ::stat(at.c_str(), &info) == 0 && S_ISREG(info.st_mode)
                    : ::lstat(at.c_str(), &info) == 0;
    };
    if (fits(path)) {
        return path;
    }
    const Split split = SplitPath(path);
    if (IsSpecialLeaf(split.leaf)) {
        return path;
    }
    const std::string folder = ResolveFolder(split.folder);
    const std::string exact = Join(folder, split.leaf);
    if (exact != path && fits(exact)) {
        return exact;
    }
    const Listing listing = Scan(folder);
    const Entry* chosen = Choose(listing, split.leaf,
                                 [](const Entry& entry) { return entry.kind == EntryKind::File; });
    if (chosen == nullptr && !file) {
        chosen = Choose(listing, split.leaf, [](const Entry&) { return true; });
    }
    return chosen != nullptr ? Join(folder, chosen->name) : exact;
}

std::string CurrentFolder()
{
    std::string buffer(256, '\0');
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) {
            ThrowErrno("find the working folder", ".");
        }
        buffer.resize(buffer.size() * 2);
    }
    buffer.resize(std::char_traits<char>::length(buffer.c_str()));
    return buffer;
}

std::string Absolute(const std::string& path)
{
    try {
        return Shown(path, IsAbsolute(path) ? std::string() : CurrentFolder());
    } catch (const FsError&) {
        return path;
    }
}

} // namespace platform::posix
