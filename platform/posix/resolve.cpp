#include "platform/posix/resolve.h"

#include "platform/fs_error.h"
#include "platform/name_match.h"

#include <algorithm>
#include <cerrno>
#include <map>
#include <memory>
#include <utility>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::posix
{
namespace
{

struct FolderKey
{
    dev_t device;
    ino_t inode;
    auto operator<=>(const FolderKey&) const = default;
};

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

bool IsRegular(const std::string& path)
{
    struct stat info = {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::optional<std::vector<Entry>> ScanFolder(const std::string& folder)
{
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return std::nullopt;
        }
        ThrowErrno("list", Absolute(folder));
    }
    std::vector<Entry> entries;
    errno = 0;
    while (const dirent* item = ::readdir(dir.get())) {
        const std::string_view name = item->d_name;
        if (name != "." && name != "..") {
            entries.push_back({std::string(name), item->d_type});
        }
        errno = 0;
    }
    if (errno != 0) {
        ThrowErrno("list", Absolute(folder));
    }
    return entries;
}

bool IsFolderEntry(const std::string& folder, const Entry& entry)
{
    if (entry.type == DT_DIR) {
        return true;
    }
    return (entry.type == DT_LNK || entry.type == DT_UNKNOWN) &&
           IsDirectory(Join(folder, entry.name));
}

// Among the variants of `leaf`: the exact name when it qualifies, else the smallest one that does.
template <typename Qualifies>
const Entry* Choose(const std::vector<Entry>& variants, const std::string& leaf,
                    Qualifies qualifies)
{
    const auto exact = std::find_if(variants.begin(), variants.end(),
                                    [&](const Entry& entry) { return entry.name == leaf; });
    if (exact != variants.end() && qualifies(*exact)) {
        return &*exact;
    }
    const auto any = std::find_if(variants.begin(), variants.end(), qualifies);
    return any == variants.end() ? nullptr : &*any;
}

} // namespace

struct Names::Memory
{
    std::map<FolderKey, FolderIndex> indexes;
    std::unordered_map<std::string, FolderKey> keys;
    std::unordered_map<std::string, std::string> folders;
    std::optional<FolderIndex> scratch; // a folder read outside a batch

    std::optional<FolderKey> KeyOf(const std::string& folder)
    {
        if (const auto known = keys.find(folder); known != keys.end()) {
            return known->second;
        }
        struct stat info = {};
        if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
            return std::nullopt;
        }
        const FolderKey key{info.st_dev, info.st_ino};
        keys.emplace(folder, key);
        return key;
    }
};

Names::Names() : memory_(std::make_unique<Memory>()) {}

Names::~Names() = default;

void Names::EndBatch()
{
    if (--depth_ == 0) {
        *memory_ = {};
    }
}

// A batch's memory of `folder`, without reading it.
FolderIndex* Names::KnownIndex(const std::string& folder)
{
    if (!InBatch()) {
        return nullptr;
    }
    const auto key = memory_->KeyOf(folder);
    if (!key) {
        return nullptr;
    }
    const auto found = memory_->indexes.find(*key);
    return found == memory_->indexes.end() ? nullptr : &found->second;
}

FolderIndex::FolderIndex(std::vector<Entry> entries)
{
    variants_.reserve(entries.size());
    for (Entry& entry : entries) {
        if (TemporaryOwner(entry.name)) {
            temporaries_.push_back(entry.name);
        }
        std::string folded = FoldCase(entry.name);
        variants_[std::move(folded)].push_back(std::move(entry));
    }
    for (auto& [folded, list] : variants_) {
        std::sort(list.begin(), list.end(),
                  [](const Entry& a, const Entry& b) { return a.name < b.name; });
    }
}

const std::vector<Entry>* FolderIndex::VariantsOf(std::string_view name) const
{
    const auto found = variants_.find(FoldCase(name));
    return found == variants_.end() ? nullptr : &found->second;
}

void FolderIndex::Add(const std::string& name, unsigned char type)
{
    auto& list = variants_[FoldCase(name)];
    const auto at =
        std::lower_bound(list.begin(), list.end(), name,
                         [](const Entry& entry, const std::string& n) { return entry.name < n; });
    if (at != list.end() && at->name == name) {
        at->type = type;
    } else {
        list.insert(at, {name, type});
    }
}

void FolderIndex::Remove(const std::string& name)
{
    const auto found = variants_.find(FoldCase(name));
    if (found == variants_.end()) {
        return;
    }
    std::erase_if(found->second, [&](const Entry& entry) { return entry.name == name; });
    if (found->second.empty()) {
        variants_.erase(found);
    }
}

std::vector<std::string> FolderIndex::TakeTemporaries()
{
    return std::exchange(temporaries_, {});
}

bool IsRegularEntry(const std::string& folder, const Entry& entry)
{
    if (entry.type == DT_REG) {
        return true;
    }
    return (entry.type == DT_LNK || entry.type == DT_UNKNOWN) &&
           IsRegular(Join(folder, entry.name));
}

bool IsRealFolderEntry(const std::string& folder, const Entry& entry)
{
    if (entry.type != DT_UNKNOWN) {
        return entry.type == DT_DIR;
    }
    struct stat info = {};
    return ::lstat(Join(folder, entry.name).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

FolderIndex* Names::ListedIndex(const std::string& folder)
{
    if (FolderIndex* known = KnownIndex(folder)) {
        return known;
    }
    auto entries = ScanFolder(folder);
    if (!entries) {
        return nullptr;
    }
    if (InBatch()) {
        if (const auto key = memory_->KeyOf(folder)) {
            return &memory_->indexes.insert_or_assign(*key, FolderIndex(std::move(*entries)))
                        .first->second;
        }
    }
    memory_->scratch.emplace(std::move(*entries));
    return &*memory_->scratch;
}

void Names::NoteAdded(const std::string& folder, const std::string& name, unsigned char type)
{
    if (FolderIndex* index = KnownIndex(folder)) {
        index->Add(name, type);
    }
}

void Names::NoteRemoved(const std::string& folder, const std::string& name)
{
    if (FolderIndex* index = KnownIndex(folder)) {
        index->Remove(name);
    }
}

void Names::ForgetRelativeNames()
{
    const auto relative = [](const auto& known) {
        return known.first.empty() || known.first.front() != kSeparator;
    };
    std::erase_if(memory_->keys, relative);
    std::erase_if(memory_->folders, relative);
}

std::string Names::ResolveFolder(const std::string& folder)
{
    if (folder.empty() || IsRoot(folder)) {
        return folder;
    }
    if (InBatch()) {
        if (const auto known = memory_->folders.find(folder); known != memory_->folders.end()) {
            return known->second;
        }
    }
    // As written, every component exists: nothing to look up and no folder to list.
    bool found = IsDirectory(folder);
    std::string resolved = folder;
    if (!found) {
        const Split split = SplitPath(folder);
        const std::string parent = ResolveFolder(split.folder);
        resolved = Join(parent, split.leaf);
        found = IsDirectory(resolved);
        if (!found && !IsSpecialLeaf(split.leaf)) {
            const std::string here = FolderOrHere(parent);
            if (const FolderIndex* index = ListedIndex(here)) {
                if (const auto* variants = index->VariantsOf(split.leaf)) {
                    const Entry* chosen = Choose(*variants, split.leaf, [&](const Entry& entry) {
                        return IsFolderEntry(here, entry);
                    });
                    if (chosen != nullptr) {
                        resolved = Join(parent, chosen->name);
                        found = true;
                    }
                }
            }
        }
    }
    if (InBatch() && found) {
        memory_->folders.emplace(folder, resolved);
    }
    return resolved;
}

ResolvedFile Names::ResolveFile(const std::string& path)
{
    const Split split = SplitPath(path);
    if (IsSpecialLeaf(split.leaf)) {
        return {path, false};
    }
    const std::string folder = ResolveFolder(split.folder);
    const std::string here = FolderOrHere(folder);
    const std::string exact = Join(folder, split.leaf);
    const FolderIndex* index = KnownIndex(here);
    if (index == nullptr) {
        // One lstat answers for a name that is there as written.
        struct stat info = {};
        if (::lstat(exact.c_str(), &info) == 0 &&
            (S_ISREG(info.st_mode) || (S_ISLNK(info.st_mode) && IsRegular(exact)))) {
            return {exact, false};
        }
        index = ListedIndex(here);
        if (index == nullptr) {
            return {exact, false};
        }
    }
    const auto* variants = index->VariantsOf(split.leaf);
    if (variants == nullptr) {
        return {exact, true};
    }
    const Entry* chosen = Choose(*variants, split.leaf,
                                 [&](const Entry& entry) { return IsRegularEntry(here, entry); });
    return {chosen != nullptr ? Join(folder, chosen->name) : exact, false};
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
