#include "cli/reporting_files.h"

#include "platform/file_ops.h"

namespace cli
{
template <typename Line, typename Change> void ReportingFiles::Report(Line line, Change change)
{
    if (!dryRun_) {
        change();
    }
    if (dryRun_ || verbose_) {
        out_ << line() << '\n' << std::flush;
    }
}

void ReportingFiles::RemoveFile(const std::string& name)
{
    Report([&] { return "delete " + platform::Absolute(name); },
           [&] { platform::FileSystem::RemoveFile(name); });
}

void ReportingFiles::CopyFileReplacing(const std::string& source, const std::string& destination)
{
    Report(
        [&] {
            return "copy " + platform::Absolute(source) + " -> " + platform::Absolute(destination);
        },
        [&] { platform::FileSystem::CopyFileReplacing(source, destination); });
}

void ReportingFiles::WriteTextField(const std::string& path, std::string_view value)
{
    Report([&] { return "write " + platform::Absolute(path) + " \"" + std::string(value) + "\""; },
           [&] { platform::FileSystem::WriteTextField(path, value); });
}

} // namespace cli
