#pragma once

#include "platform/fs_error.h"

#include <string>

// What jov-switch writes to its error output when a file operation ends a command: the system's
// number and explanation, what could not be done to which file, what the player can do about
// the cause, and how far the command got. The platform layer only decides the cause; the
// windows word it on their own.
namespace cli
{

std::string FailureText(const platform::FsError& error);

} // namespace cli
