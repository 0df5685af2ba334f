#pragma once

#include <functional>
#include <string>

namespace ui
{

// Exit status of the program after a failure has been reported.
inline constexpr int kFailureExitCode = 3;

// Runs `handler` and reports any failure that escapes it through `showFailure`, with a text
// that names the number, the system's explanation, the operation and the file. Returns false
// after such a report; the caller must then end the program without writing anything. No
// exception leaves this function.
bool RunGuarded(const std::function<void()>& handler,
                const std::function<void(const std::string&)>& showFailure);

} // namespace ui
