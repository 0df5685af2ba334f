#include "platform/native_file_system.h"

#include "platform/file_reader.h"
#include "platform/fs_error.h"
#include "platform/name_match.h"
#include "platform/win32/common.h"
#include "platform/win32/replace.h"
#include "platform/win32/unicode.h"

#include <algorithm>
#include <memory>
#include <set>
#include <utility>

namespace platform
{
namespace
{

using namespace win32;

class Handle final
{
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle()
    {
        if (Valid()) {
            ::CloseHandle(handle_);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle_; }
    HANDLE Release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }

private:
    HANDLE handle_;
};

// Windows names compared as Windows compares them: blind to case, beyond ASCII too.
bool SameName(const wchar_t* a, const std::wstring& b)
{
    return ::CompareStringOrdinal(a, -1, b.c_str(), static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

Handle OpenForReading(const std::string& path)
{
    const std::wstring wide = Wide(path);
    HANDLE handle = INVALID_HANDLE_VALUE;
    RetryWhileHeld([&] {
        handle = ::CreateFileW(wide.c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        return handle != INVALID_HANDLE_VALUE;
    });
    return Handle(handle);
}

} // namespace

struct NativeFileSystem::State
{
    // Within a batch: the folders whose leftover temporaries are gone already.
    int batchDepth = 0;
    std::set<std::string> swept;

    std::set<std::string>* Swept() { return batchDepth > 0 ? &swept : nullptr; }
};

NativeFileSystem::NativeFileSystem() : state_(std::make_unique<State>()) {}

NativeFileSystem::~NativeFileSystem() = default;

void NativeFileSystem::BeginBatch()
{
    ++state_->batchDepth;
}

void NativeFileSystem::EndBatch()
{
    if (--state_->batchDepth == 0) {
        state_->swept.clear();
    }
}

std::string NativeFileSystem::Absolute(const std::string& path)
{
    return win32::Absolute(path);
}

std::string NativeFileSystem::WorkingDir()
{
    return CurrentFolder();
}

void NativeFileSystem::SetWorkingDir(const std::string& folder)
{
    if (!::SetCurrentDirectoryW(Wide(folder).c_str())) {
        ThrowLastError("open the folder", Absolute(folder));
    }
}

// Windows matches wildcards against short 8.3 names too ("*.dat" would take "x.data", whose
// short name ends in ".DAT"), so it is asked for every name of the folder, or for the one name,
// and the pattern is matched here on the long names.
std::vector<std::string> NativeFileSystem::ListPlainFiles(const std::string& pattern)
{
    const Split split = SplitPath(pattern);
    std::vector<std::string> names;
    if (split.leaf.empty()) {
        return names;
    }
    const bool wildcard = HasWildcard(split.leaf);
    const std::wstring leaf = Wide(split.leaf);
    const std::wstring search = Wide(wildcard ? Join(split.folder, "*") : pattern);
    WIN32_FIND_DATAW data;
    const HANDLE find =
        ::FindFirstFileExW(search.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                           FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) {
        switch (::GetLastError()) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_DIRECTORY:
        case ERROR_INVALID_NAME: // an asterisk in the folder part: no such folder
            return names;
        default:
            ThrowLastError("list", Absolute(FolderOrHere(split.folder)));
        }
    }
    do {
        if (!IsPlain(data.dwFileAttributes)) {
            continue;
        }
        std::string name = Utf8(data.cFileName);
        const bool match =
            wildcard ? MatchesPattern(name, split.leaf) : SameName(data.cFileName, leaf);
        if (match && !TemporaryOwner(name)) {
            names.push_back(std::move(name));
        }
    } while (::FindNextFileW(find, &data));
    const DWORD ended = ::GetLastError();
    ::FindClose(find);
    if (ended != ERROR_NO_MORE_FILES) {
        ::SetLastError(ended);
        ThrowLastError("list", Absolute(FolderOrHere(split.folder)));
    }
    std::sort(names.begin(), names.end());
    return names;
}

void NativeFileSystem::RemoveFile(const std::string& name)
{
    const Existing target = Lookup(name);
    if (!target.found) {
        ThrowLastError("delete", Absolute(name));
    }
    RefuseFolderOrReadOnly("delete", target);
    const std::wstring wide = Wide(target.path);
    if (!RetryWhileHeld([&] { return ::DeleteFileW(wide.c_str()) != 0; })) {
        const DWORD code = ::GetLastError();
        ThrowChangeFailure(code, "delete", Absolute(target.path), false);
    }
}

void NativeFileSystem::CopyFileReplacing(const std::string& source, const std::string& destination)
{
    const Handle from = OpenForReading(source);
    BY_HANDLE_FILE_INFORMATION info;
    if (!from.Valid() || !::GetFileInformationByHandle(from.Get(), &info)) {
        ThrowLastError("read", Absolute(source));
    }
    PendingReplace replace(Lookup(destination), state_->Swept());
    constexpr DWORD kBufferSize = 1 << 18;
    const std::unique_ptr<char[]> buffer(new char[kBufferSize]);
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(from.Get(), buffer.get(), kBufferSize, &got, nullptr)) {
            replace.Fail("read", Absolute(source), Intent::Read);
        }
        if (got == 0) {
            break;
        }
        DWORD written = 0;
        if (!::WriteFile(replace.Handle(), buffer.get(), got, &written, nullptr) ||
            written != got) {
            replace.Fail("write", Absolute(destination));
        }
    }
    replace.Commit(&info.ftLastWriteTime);
}

void NativeFileSystem::WriteTextFile(const std::string& path, std::string_view text)
{
    PendingReplace replace(Lookup(path), state_->Swept());
    DWORD written = 0;
    if (!::WriteFile(replace.Handle(), text.data(), static_cast<DWORD>(text.size()), &written,
                     nullptr) ||
        written != text.size()) {
        replace.Fail("write", Absolute(path));
    }
    replace.Commit();
    // The move is written through; where the file system allows, the folder is flushed too.
    FlushFolder(replace.Folder());
}

FileReader::FileReader(const std::string& path)
    : path_(path), handle_(reinterpret_cast<std::intptr_t>(OpenForReading(path).Release()))
{
    if (reinterpret_cast<HANDLE>(handle_) == INVALID_HANDLE_VALUE) {
        ThrowLastError("read", Absolute(path_));
    }
}

FileReader::~FileReader()
{
    ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

bool NativeFileSystem::SameContent(const std::string& a, const std::string& b)
{
    return SameBytes(a, b);
}

std::string NativeFileSystem::ReadTextFile(const std::string& path, std::size_t limit)
{
    return ReadUpTo(path, limit);
}

std::size_t FileReader::Read(char* buffer, std::size_t size)
{
    std::size_t filled = 0;
    while (filled < size) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size - filled, 1 << 30));
        if (!::ReadFile(reinterpret_cast<HANDLE>(handle_), buffer + filled, want, &got, nullptr)) {
            ThrowLastError("read", Absolute(path_));
        }
        if (got == 0) {
            break;
        }
        filled += got;
    }
    return filled;
}

FileStamp NativeFileSystem::StampOf(const std::string& path)
{
    const Existing file = Lookup(path);
    if (!file.found || (file.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return {};
    }
    // Opened for its attributes only, which a program holding the file does not refuse.
    const Handle opened(::CreateFileW(Wide(file.path).c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    FILE_BASIC_INFO basic = {};
    if (!opened.Valid() || !::GetFileInformationByHandle(opened.Get(), &info) ||
        !::GetFileInformationByHandleEx(opened.Get(), FileBasicInfo, &basic, sizeof basic)) {
        return {};
    }
    // 100-nanosecond steps since 1601 to nanoseconds since 1970.
    const auto unixTime = [](std::int64_t since1601) {
        return (since1601 - 116444736000000000LL) * 100;
    };
    FileStamp stamp;
    stamp.exists = true;
    stamp.path = file.path;
    stamp.size = (static_cast<std::uintmax_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    stamp.modified = unixTime(basic.LastWriteTime.QuadPart);
    stamp.changed = unixTime(basic.ChangeTime.QuadPart);
    stamp.readOnly = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    stamp.device = info.dwVolumeSerialNumber;
    stamp.inode = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return stamp;
}

std::uintmax_t NativeFileSystem::FreeSpace(const std::string& folder)
{
    const std::string here = FolderOrHere(folder);
    ULARGE_INTEGER available = {};
    if (!::GetDiskFreeSpaceExW(Wide(here).c_str(), &available, nullptr, nullptr)) {
        ThrowLastError("measure the free space of", Absolute(here));
    }
    return available.QuadPart;
}

void NativeFileSystem::CheckReplaceable(const std::string& path)
{
    RefuseFolderOrReadOnly("replace", Lookup(path));
}

// Opened with no sharing and closed at once: to be deleted, which fails while another program
// has the file open without delete sharing, then to be written, which fails while a running
// program was started from it (Windows deletes such a file no more than it writes it).
void NativeFileSystem::CheckNotInUse(const std::string& path)
{
    const Existing target = Lookup(path);
    RefuseAnotherFile("change", target, true);
    if (!target.found ||
        (target.attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
        return;
    }
    const std::wstring wide = Wide(target.path);
    for (const DWORD access : {DWORD{DELETE}, DWORD{FILE_WRITE_DATA}}) {
        HANDLE file = INVALID_HANDLE_VALUE;
        if (RetryWhileHeld([&] {
                file = ::CreateFileW(wide.c_str(), access, 0, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
                return file != INVALID_HANDLE_VALUE;
            })) {
            ::CloseHandle(file);
            continue;
        }
        const DWORD code = ::GetLastError();
        // Where the delete would pass, a file this user may not write is no reason to stop.
        const bool held = code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION;
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ||
            (access != DELETE && !held)) {
            return;
        }
        ThrowChangeFailure(code, "change", Absolute(target.path), false, true);
    }
}

// Each copy and the state file were flushed before their move, and the moves are written
// through. What is left is the folder's own record of names deleted and moved: flushed where
// the file system allows it. Windows documents no flush of a folder, so a refusal is no failure.
void NativeFileSystem::FlushToDisk(const std::string& folder)
{
    FlushFolder(folder);
}

} // namespace platform
