#pragma once

#include "platform/fs_error.h"

#include <string>

// The failure guard's box, worded for both windows: the system's number and explanation, what
// could not be done to which file, what the player can do about the cause, and that the program
// ends. The platform layer only decides the cause; jov-switch words it on its own.
namespace ui::forms
{

std::string FailureText(const platform::FsError& error);
// The same for a failure that is no file-system failure; `what` may be null.
std::string UnexpectedFailureText(const char* what);

} // namespace ui::forms
