#pragma once

#include "platform/path_text.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <dirent.h>

// Case-blind names on a file system that tells case apart, and the memory of folder contents
// that a Batch keeps. A path whose every component exists as written costs one stat and lists
// nothing; a folder is listed only to find a name that is not there as written, or because its
// files are listed, deleted or copied into. A folder the program only passes through is never
// listed, so it may deny listing.
namespace platform::posix
{

struct Entry
{
    std::string name;
    unsigned char type; // d_type; DT_UNKNOWN when the file system does not say
};

// One folder's names by their case-folded form, each list sorted byte-wise.
class FolderIndex final
{
public:
    explicit FolderIndex(std::vector<Entry> entries);

    const std::vector<Entry>* VariantsOf(std::string_view name) const;
    template <typename Visit> void ForEach(Visit visit) const
    {
        for (const auto& [folded, entries] : variants_) {
            for (const Entry& entry : entries) {
                visit(entry);
            }
        }
    }
    void Add(const std::string& name, unsigned char type);
    void Remove(const std::string& name);
    // Names left by interrupted writes, handed out once.
    std::vector<std::string> TakeTemporaries();

private:
    std::unordered_map<std::string, std::vector<Entry>> variants_;
    std::vector<std::string> temporaries_;
};

// Whether an entry of `folder` is a regular file or a link to one.
bool IsRegularEntry(const std::string& folder, const Entry& entry);
// Whether an entry of `folder` is a folder itself, not a link to one.
bool IsRealFolderEntry(const std::string& folder, const Entry& entry);

struct ResolvedFile
{
    std::string path;
    bool knownMissing; // no name in any case: known without asking the file system again
};

// Resolves names blind to case, and remembers, while a batch lasts, what it read: each folder's
// contents by the folder's identity, so that two spellings of one folder share them, and the
// resolution of each folder path. The memory goes with the outermost batch.
class Names final
{
public:
    Names();
    ~Names();
    Names(const Names&) = delete;
    Names& operator=(const Names&) = delete;

    void BeginBatch() { ++depth_; }
    void EndBatch();

    // The contents of `folder`: read once within a batch, afresh outside one (then valid until
    // the next call). Null when the folder does not exist.
    FolderIndex* ListedIndex(const std::string& folder);

    // Keeps a batch's memory of `folder` in step with a change this process made to it.
    void NoteAdded(const std::string& folder, const std::string& name, unsigned char type = DT_REG);
    void NoteRemoved(const std::string& folder, const std::string& name);
    // Relative names mean other folders once the working folder changes.
    void ForgetRelativeNames();

    // A folder path with each component the exact name when it is a folder, else its smallest
    // case variant that is one, else as given.
    std::string ResolveFolder(const std::string& folder);

    // A file path whose folder part resolves as ResolveFolder does and whose last component is
    // the exact name when it is a regular file (or a link to one), else the smallest case
    // variant that is one, else as given. A name that a plain-file listing produced resolves to
    // that entry.
    ResolvedFile ResolveFile(const std::string& path);

private:
    struct Memory;
    bool InBatch() const { return depth_ > 0; }
    FolderIndex* KnownIndex(const std::string& folder);

    int depth_ = 0;
    std::unique_ptr<Memory> memory_;
};

// The working folder's absolute path, and `path` with it in front where it is relative, as
// messages show paths.
std::string CurrentFolder();
std::string Absolute(const std::string& path);

} // namespace platform::posix
