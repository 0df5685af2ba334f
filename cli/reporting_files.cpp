#include "cli/reporting_files.h"

#include "platform/file_ops.h"

namespace cli
{
namespace
{

// An absolute path: "/games/krs", or on Windows "C:\Games\KRS".
bool IsAbsolute(const std::string& path)
{
    return (!path.empty() && path.front() == platform::kSeparator) ||
           (platform::kSeparator == '\\' && path.size() > 2 && path[1] == ':');
}

// Relative names are shown with the working folder in front, as the change will resolve them.
std::string Shown(const std::string& path)
{
    if (IsAbsolute(path)) {
        return path;
    }
    return platform::WorkingDir() + platform::kSeparator + path;
}

} // namespace

template <typename Line, typename Change> void ReportingFiles::Report(Line line, Change change)
{
    if (!dryRun_) {
        change();
    }
    if (dryRun_ || verbose_) {
        out_ << line() << '\n' << std::flush;
    }
}

void ReportingFiles::DeleteFile(const std::string& name)
{
    Report([&] { return "delete " + Shown(name); },
           [&] { platform::FileSystem::DeleteFile(name); });
}

void ReportingFiles::CopyFile(const std::string& source, const std::string& destination)
{
    Report([&] { return "copy " + Shown(source) + " -> " + Shown(destination); },
           [&] { platform::FileSystem::CopyFile(source, destination); });
}

void ReportingFiles::WriteTextField(const std::string& path, std::string_view value)
{
    Report([&] { return "write " + Shown(path) + " \"" + std::string(value) + "\""; },
           [&] { platform::FileSystem::WriteTextField(path, value); });
}

} // namespace cli
