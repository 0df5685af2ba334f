#pragma once

#include "platform/fs_error.h"
#include "platform/path_text.h"

#include <windows.h>

#include <string>

// What the Windows operations share: plain files, and failures as Windows reports them.
namespace platform::win32
{

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
