#pragma once

#include "platform/win32/common.h"

#include <set>
#include <string>

namespace platform::win32
{

// What a path names on disk, as a directory listing gives it.
struct Existing
{
    bool found = false;
    DWORD attributes = 0;
    std::string path; // the folder as given, the name as stored: the given path when not found
    // Set where the name answers only as the 8.3 short name of another file: that file's name.
    // `path` is then the given one.
    std::string shortNameOf = {};
};

// Windows resolves letter case itself; the stored name is the one a replacement keeps.
Existing Lookup(const std::string& path);

// Folders and read-only files are neither deleted nor replaced: raises FsError for `operation`
// on such a target. Windows would refuse too, but a rename under Wine replaces a read-only
// file, so the refusal is made here, before Windows is asked. RefuseAnotherFile follows.
void RefuseFolderOrReadOnly(const char* operation, const Existing& target);

// A change to a name must change that file only: raises FsError for `operation` where the name
// is another file's short name, or, under Wine, a Unix symbolic link (RefuseWineLink).
void RefuseAnotherFile(const char* operation, const Existing& target, bool nothingChanged);

// Writes new content beside the target and puts it in place whole, so a reader sees the old
// file or the new one, never a mix: a hidden temporary in the target's folder, made plain,
// flushed to disk and moved over the target, which keeps its stored name. Leftovers of
// interrupted runs in the folder go first. The temporary goes unless Commit() put it in place.
class PendingReplace final
{
public:
    // `swept`: the folders whose leftovers are gone already, while a batch lasts; else null.
    PendingReplace(const Existing& target, std::set<std::string>* swept);
    ~PendingReplace();
    PendingReplace(const PendingReplace&) = delete;
    PendingReplace& operator=(const PendingReplace&) = delete;

    HANDLE Handle() const { return handle_; }
    const std::string& Folder() const { return folder_; }

    // Removes the temporary and raises FsError for `operation` on `path` with GetLastError().
    [[noreturn]] void Fail(const std::string& operation, const std::string& path,
                           Intent intent = Intent::Change);
    // `lastWrite`, when given, becomes the file's modification time.
    void Commit(const FILETIME* lastWrite = nullptr);

private:
    void Discard();

    std::string target_;
    std::string folder_;
    std::string temporary_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// Puts a folder's own changes (names added, renamed, deleted) on disk where the file system
// allows it; false where it does not.
bool FlushFolder(const std::string& folder);

} // namespace platform::win32
