#pragma once

#include "platform/fs_error.h"

#include <string>

// The words for a failure, once for the window's box and jov-switch alike: the system's number
// and explanation (or, for a refusal of the program's own, what it refused), what could not be
// done to which file, and what the player can do about the cause. The platform layer and the
// switcher only decide the cause; each front-end adds its own opening and close.
namespace switcher
{

std::string FailureReport(const platform::FsError& error);

} // namespace switcher
