#pragma once

// <windows.h> as the platform layer uses it: without the macros DeleteFile and CopyFile, which
// would rename the platform's own operations.
#include <windows.h>
#undef DeleteFile
#undef CopyFile

#include "platform/fs_error.h"

#include <string>

// What the Windows operations share: paths split and joined at either separator, and failures
// as Windows reports them.
namespace platform::win32
{

struct Split
{
    std::string folder; // empty: the working folder
    std::string leaf;
};

Split SplitPath(const std::string& path);
std::string Join(const std::string& folder, const std::string& leaf);
// For messages: a relative name with the working folder in front.
std::string Absolute(const std::string& path);

// Plain files are no folders, no hidden and no system files; read-only and archived files are.
bool IsPlain(DWORD attributes);

SystemError SystemErrorOf(DWORD code);

enum class Intent
{
    Read,
    Change, // deleting, writing or replacing a file
};

// Raises FsError with GetLastError(). Access denied while changing a file adds the sentence
// about protected folders.
[[noreturn]] void ThrowLastError(const std::string& operation, const std::string& path,
                                 Intent intent = Intent::Read);

} // namespace platform::win32
