#pragma once

#include "switcher/plan.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace cli
{

// One line of progress on a terminal while a command changes the game folder: the files done and
// the total, with megabytes. It shows once the command has worked for half a second, is redrawn
// at most ten times a second, steps aside for anything else written to the terminal, and is
// cleared when each plan has written its state and at the end, however the command ends, so that
// the terminal then reads as it would without it.
class Progress final
{
public:
    // Draws nothing unless `shown`. JOV_SWITCH_PROGRESS_DELAY, in seconds, replaces the half
    // second.
    Progress(std::ostream& terminal, const std::vector<switcher::Plan>& plans, bool shown);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // After each step the switcher has carried out.
    void Done(const switcher::Step& step);
    // Runs `write`, which writes to the same terminal, with the line taken off first and put back
    // as it stood after.
    void Above(const std::function<void()>& write);

private:
    using Clock = std::chrono::steady_clock;

    void Put(const std::string& text);
    void Clear();

    std::ostream& terminal_;
    const bool shown_;
    const Clock::time_point start_ = Clock::now();
    Clock::duration delay_;
    Clock::time_point drawn_;
    std::string line_;      // the line as it stands on the terminal; empty: none
    std::size_t width_ = 0; // the characters it covers there
    std::size_t files_ = 0;
    std::size_t totalFiles_ = 0;
    std::uintmax_t bytes_ = 0;
    std::uintmax_t totalBytes_ = 0;
};

// Whether a command's progress goes to standard error: it is a terminal, and the output is not
// for a program (--json).
bool ProgressOnTerminal(bool json);

} // namespace cli
