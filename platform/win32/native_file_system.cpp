#include "platform/native_file_system.h"

#include "platform/file_reader.h"
#include "platform/fs_error.h"
#include "platform/win32/common.h"
#include "platform/win32/unicode.h"

#include <algorithm>

// What stands where, read through Windows' wide-character calls: listings, stamps, the volume,
// the probes before a change, and reading files. The changes are in changes.cpp.
namespace platform
{
namespace
{

using namespace win32;

// 100-nanosecond steps since 1601 to nanoseconds since 1970; 0 stays "not said".
std::int64_t UnixTime(std::int64_t since1601)
{
    return since1601 == 0 ? 0 : (since1601 - 116444736000000000LL) * 100;
}

bool IsHidden(DWORD attributes)
{
    return (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
}

// Windows names compared as Windows compares them: blind to case, beyond ASCII too.
bool SameName(const std::wstring& a, const std::string& b)
{
    const std::wstring wide = Wide(b);
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), wide.c_str(),
                                  static_cast<int>(wide.size()), TRUE) == CSTR_EQUAL;
}

// What a link in a listing leads to: a file, or Other for a folder or nothing.
EntryKind KindOfTarget(const std::string& path)
{
    const Handle target = Open(path, FILE_READ_ATTRIBUTES, true);
    BY_HANDLE_FILE_INFORMATION info;
    return target.Valid() && ::GetFileInformationByHandle(target.Get(), &info) &&
                   (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0
               ? EntryKind::File
               : EntryKind::Other;
}

// FAT and exFAT number a file by the place of its entry, which a move into another folder
// changes; NTFS and ReFS keep a file's ID wherever it goes. A volume that does not say is
// taken at its IDs.
bool IdsFollowMoves(HANDLE file)
{
    wchar_t system[MAX_PATH + 1] = {};
    if (!::GetVolumeInformationByHandleW(file, nullptr, 0, nullptr, nullptr, nullptr, system,
                                         MAX_PATH + 1)) {
        return true;
    }
    const auto is = [&](const wchar_t* name, int length) {
        return ::CompareStringOrdinal(system, length, name, length, TRUE) == CSTR_EQUAL;
    };
    return !is(L"FAT", 3) && !is(L"exFAT", -1);
}

} // namespace

unsigned long ThisProcess()
{
    return ::GetCurrentProcessId();
}

bool ProcessIsAlive(unsigned long id)
{
    const Handle process(::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(id)));
    if (!process.Valid()) {
        return ::GetLastError() == ERROR_ACCESS_DENIED; // another user's process is alive
    }
    return ::WaitForSingleObject(process.Get(), 0) != WAIT_OBJECT_0;
}

std::string NativeFileSystem::WorkingDir()
{
    return CurrentFolder();
}

// The working folder takes no long form; the game folder that becomes it is one the game and
// Explorer made, within Windows' limit.
void NativeFileSystem::SetWorkingDir(const std::string& folder)
{
    if (!::SetCurrentDirectoryW(Wide(folder).c_str())) {
        ThrowLastError("open the folder", Absolute(folder));
    }
}

// Every name, asked with "*" and matched by the caller on the long names: Windows' own
// wildcards match 8.3 short names too ("*.dat" would take "x.data", whose short name ends in
// ".DAT").
Listing NativeFileSystem::List(const std::string& folder)
{
    Listing listing{folder, false, {}};
    const std::string here = FolderOrHere(folder);
    WIN32_FIND_DATAW data;
    const HANDLE find =
        ::FindFirstFileExW(LongPath(Join(here, "*")).c_str(), FindExInfoBasic, &data,
                           FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        // An empty root of a FAT drive has not even "." to list.
        const DWORD attributes = ::GetFileAttributesW(LongPath(here).c_str());
        listing.found = code == ERROR_FILE_NOT_FOUND && attributes != INVALID_FILE_ATTRIBUTES &&
                        (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (listing.found || IsMissing(code)) {
            return listing;
        }
        ::SetLastError(code);
        ThrowLastError("list", Absolute(here));
    }
    listing.found = true;
    do {
        std::string name = Utf8(data.cFileName);
        if (name == "." || name == "..") {
            continue;
        }
        const DWORD attributes = data.dwFileAttributes;
        const bool link = IsLink(attributes, data.dwReserved0);
        EntryKind kind = link ? KindOfTarget(Join(here, name)) : EntryKind::File;
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            kind = link ? EntryKind::Other : EntryKind::Folder;
        }
        listing.entries.push_back({std::move(name), kind, IsHidden(attributes)});
    } while (::FindNextFileW(find, &data));
    const DWORD ended = ::GetLastError();
    ::FindClose(find);
    if (ended != ERROR_NO_MORE_FILES) {
        ::SetLastError(ended);
        ThrowLastError("list", Absolute(here));
    }
    std::sort(listing.entries.begin(), listing.entries.end(),
              [](const Entry& a, const Entry& b) { return a.name < b.name; });
    return listing;
}

FileStamp NativeFileSystem::Status(const std::string& path)
{
    FileStamp stamp;
    stamp.path = path;
    WIN32_FIND_DATAW data = {};
    DWORD attributes = 0;
    if (FindName(path, data)) {
        attributes = data.dwFileAttributes;
        stamp.path = Join(SplitPath(path).folder, Utf8(data.cFileName));
    } else {
        attributes = ::GetFileAttributesW(LongPath(path).c_str()); // a root, ".", "C:\Games\"
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            return stamp;
        }
    }
    const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    stamp.link = IsLink(attributes, data.dwReserved0);
    stamp.hidden = IsHidden(attributes);
    stamp.readOnly = !folder && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    stamp.kind = folder && !stamp.link ? EntryKind::Folder : EntryKind::File;
    // The rest through what the name leads to, opened for its attributes only, which a program
    // holding the file does not refuse.
    const Handle opened = Open(stamp.path, FILE_READ_ATTRIBUTES, true);
    BY_HANDLE_FILE_INFORMATION info;
    FILE_BASIC_INFO basic = {};
    if (!opened.Valid() || !::GetFileInformationByHandle(opened.Get(), &info) ||
        !::GetFileInformationByHandleEx(opened.Get(), FileBasicInfo, &basic, sizeof basic)) {
        // A link to nothing, or a file whose attributes this user may not read: its entry says
        // what it can.
        stamp.kind = stamp.link ? EntryKind::Other : stamp.kind;
        stamp.size =
            stamp.IsFile() ? (std::uintmax_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow : 0;
        stamp.modified = UnixTime((std::int64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
                                  data.ftLastWriteTime.dwLowDateTime);
        return stamp;
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
        stamp.kind != EntryKind::Folder) {
        stamp.kind = EntryKind::Other; // a link to a folder
    }
    stamp.link = stamp.link || (stamp.IsFile() && ThroughWineLink(opened.Get(), stamp.path));
    stamp.size =
        stamp.IsFile() ? (std::uintmax_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow : 0;
    stamp.modified = UnixTime(basic.LastWriteTime.QuadPart);
    stamp.changed = UnixTime(basic.ChangeTime.QuadPart);
    stamp.device = info.dwVolumeSerialNumber;
    stamp.inode = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    auto [known, added] = stableIds_.try_emplace(stamp.device, true);
    if (added) {
        known->second = IdsFollowMoves(opened.Get());
    }
    stamp.inode = known->second ? stamp.inode : 0;
    return stamp;
}

Volume NativeFileSystem::VolumeOf(const std::string& folder)
{
    const std::string here = FolderOrHere(folder);
    std::wstring path = LongPath(here);
    path += path.ends_with(L'\\') ? L"" : L"\\"; // a share's root takes only this form
    ULARGE_INTEGER available = {};
    std::wstring root(path.size() + 1, L'\0');
    DWORD sectors = 0;
    DWORD bytes = 0;
    DWORD freeClusters = 0;
    DWORD clusters = 0;
    if (!::GetDiskFreeSpaceExW(path.c_str(), &available, nullptr, nullptr) ||
        !::GetVolumePathNameW(path.c_str(), root.data(), static_cast<DWORD>(root.size())) ||
        !::GetDiskFreeSpaceW(root.c_str(), &sectors, &bytes, &freeClusters, &clusters)) {
        ThrowLastError("measure the free space of", Absolute(here));
    }
    return {available.QuadPart, std::uintmax_t{sectors} * bytes};
}

void NativeFileSystem::Probe(const std::string& path, Access access)
{
    if (access == Access::Create) {
        // A hidden temporary that goes as soon as it is closed, so that nothing can stay behind.
        const std::string here = FolderOrHere(path);
        const Handle probe(::CreateFileW(
            LongPath(Join(here, TemporaryName(ThisProcess(), 0))).c_str(), GENERIC_WRITE, 0,
            nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        if (!probe.Valid()) {
            ThrowLastError("write into", Absolute(here), Intent::Create);
        }
        return;
    }
    WIN32_FIND_DATAW data;
    if (!FindName(path, data) || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return;
    }
    // A change to a name changes that file only: not the file whose 8.3 short name it is
    // ("HURR~TGQ.FLT" for "hurricane fighter.flt"), nor under Wine the target of a Unix link.
    const Split split = SplitPath(path);
    if (!SameName(data.cFileName, split.leaf)) {
        throw Refused(FailureCause::ShortName, "change", Absolute(path),
                      {.nothingChanged = true, .other = Utf8(data.cFileName)});
    }
    std::string target;
    if (const Handle file = Open(path, FILE_READ_ATTRIBUTES, true);
        file.Valid() && ThroughWineLink(file.Get(), path, &target)) {
        throw Refused(FailureCause::WineLink, "change", Absolute(path),
                      {.nothingChanged = true, .other = target});
    }
    // Opened with no sharing and closed at once: to be deleted, which fails while another
    // program has the file open without delete sharing, then to be written, which fails while a
    // running program was started from it (Windows deletes such a file no more than it writes
    // it). A read-only file is moved all the same: only its write is denied.
    const std::wstring wide = LongPath(path);
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
        const bool held = code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION;
        if (IsMissing(code) || (access != DELETE && !held)) {
            return;
        }
        ThrowChangeFailure(code, "change", Absolute(path), false, true);
    }
}

std::string NativeFileSystem::ReadFile(const std::string& path, std::size_t limit)
{
    return ReadUpTo(path, limit);
}

bool NativeFileSystem::SameContent(const std::string& a, const std::string& b)
{
    return SameBytes(a, b);
}

FileReader::FileReader(const std::string& path)
    : path_(path), handle_(reinterpret_cast<std::intptr_t>(OpenToRead(path).Release()))
{
    if (reinterpret_cast<HANDLE>(handle_) == INVALID_HANDLE_VALUE) {
        ThrowLastError("read", Absolute(path_));
    }
}

FileReader::~FileReader()
{
    ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
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

} // namespace platform
