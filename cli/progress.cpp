#include "cli/progress.h"

#include <algorithm>
#include <cstdlib>
#include <iomanip>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace cli
{
namespace
{

using switcher::Step;

constexpr std::chrono::milliseconds kDelay(500);
constexpr std::chrono::milliseconds kRedraw(100);

// The steps that do a file's work: a copy counts once, when it is written aside (its naming
// after is quick), a file taken out of the game folder or put back once.
bool ChangesAFile(Step::Kind kind)
{
    return kind == Step::Kind::Stage || kind == Step::Kind::Take || kind == Step::Kind::PutBack;
}

std::uintmax_t BytesCopied(const Step& step)
{
    return step.kind == Step::Kind::Stage ? step.from.size : 0;
}

std::chrono::steady_clock::duration Delay()
{
    const char* given = std::getenv("JOV_SWITCH_PROGRESS_DELAY");
    char* end = nullptr;
    const double seconds = given != nullptr ? std::strtod(given, &end) : -1;
    if (given == nullptr || end == given || *end != '\0' || !(seconds >= 0 && seconds <= 3600)) {
        return kDelay;
    }
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(seconds));
}

std::string Megabytes(std::uintmax_t bytes)
{
    std::ostringstream text;
    text << std::fixed << std::setprecision(1) << static_cast<double>(bytes) / 1e6;
    return text.str();
}

} // namespace

Progress::Progress(std::ostream& terminal, const std::vector<switcher::Plan>& plans, bool shown)
    : terminal_(terminal), shown_(shown), delay_(Delay()), drawn_(start_ - kRedraw)
{
    for (const switcher::Plan& plan : plans) {
        for (const Step& step : plan.steps) {
            totalFiles_ += ChangesAFile(step.kind) ? 1 : 0;
            totalBytes_ += BytesCopied(step);
        }
    }
}

Progress::~Progress()
{
    Clear();
}

void Progress::Done(const Step& step)
{
    files_ += ChangesAFile(step.kind) ? 1 : 0;
    bytes_ += BytesCopied(step);
    if (step.kind == Step::Kind::WriteState) {
        // A plan has ended: what the next one says stands on a line of its own.
        Clear();
        return;
    }
    const Clock::time_point now = Clock::now();
    if (!shown_ || now - start_ < delay_ || now - drawn_ < kRedraw) {
        return;
    }
    drawn_ = now;
    Put("jov-switch: " + std::to_string(files_) + "/" + std::to_string(totalFiles_) + " files, " +
        Megabytes(bytes_) + "/" + Megabytes(totalBytes_) + " MB");
}

void Progress::Above(const std::function<void()>& write)
{
    const std::string line = line_;
    Clear();
    write();
    if (!line.empty()) {
        Put(line);
    }
}

// Over the line that stands there, blanking what it covered beyond the new one.
void Progress::Put(const std::string& text)
{
    const std::size_t covered = std::max(width_, text.size());
    terminal_ << '\r' << text << std::string(covered - text.size(), ' ') << std::flush;
    width_ = covered;
    line_ = text;
}

void Progress::Clear()
{
    if (width_ > 0) {
        terminal_ << '\r' << std::string(width_, ' ') << '\r' << std::flush;
    }
    width_ = 0;
    line_.clear();
}

bool ProgressOnTerminal(bool json)
{
#ifdef _WIN32
    // A console: _isatty would take the NUL device for a terminal too.
    DWORD mode = 0;
    return !json && GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
#else
    return !json && isatty(STDERR_FILENO) == 1;
#endif
}

} // namespace cli
