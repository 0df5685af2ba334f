#include "cli/reporting_files.h"

#include "platform/file_ops.h"

namespace cli
{
namespace
{

std::string Key(const std::string& path)
{
    return platform::Absolute(platform::ResolvePath(path));
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

void ReportingFiles::Pretend(const std::string& path, platform::FileStamp stamp)
{
    if (dryRun_) {
        stamp.path = path;
        pretended_[Key(path)] = std::move(stamp);
    }
}

std::vector<std::string> ReportingFiles::ListPlainFiles(const std::string& pattern)
{
    std::vector<std::string> names = platform::FileSystem::ListPlainFiles(pattern);
    if (!pretended_.empty()) {
        const std::string folder = platform::SplitPath(pattern).folder;
        std::erase_if(names, [&](const std::string& name) {
            const auto found = pretended_.find(Key(platform::Join(folder, name)));
            return found != pretended_.end() && !found->second.exists;
        });
    }
    return names;
}

platform::FileStamp ReportingFiles::StampOf(const std::string& path)
{
    if (!pretended_.empty()) {
        if (const auto found = pretended_.find(Key(path)); found != pretended_.end()) {
            return found->second;
        }
    }
    return platform::FileSystem::StampOf(path);
}

platform::EntryKind ReportingFiles::KindOf(const std::string& path)
{
    return !madeFolders_.empty() && madeFolders_.contains(Key(path))
               ? platform::EntryKind::Folder
               : platform::FileSystem::KindOf(path);
}

void ReportingFiles::RemoveFile(const std::string& name)
{
    Report([&] { return "delete " + platform::Absolute(name); },
           [&] { platform::FileSystem::RemoveFile(name); });
    Pretend(name, {});
}

void ReportingFiles::CopyFileReplacing(const std::string& source, const std::string& destination)
{
    Report(
        [&] {
            return "copy " + platform::Absolute(source) + " -> " + platform::Absolute(destination);
        },
        [&] { platform::FileSystem::CopyFileReplacing(source, destination); });
    Pretend(destination, StampOf(source));
}

void ReportingFiles::KeepFile(const std::string& path, const std::string& kept,
                              platform::Keeping how)
{
    Report([&] { return "keep " + platform::Absolute(path) + " -> " + kept; },
           [&] { platform::FileSystem::KeepFile(path, kept, how); });
    Pretend(kept, StampOf(path));
    if (how == platform::Keeping::Move) {
        Pretend(path, {});
    }
}

void ReportingFiles::PutBack(const std::string& kept, const std::string& path)
{
    Report([&] { return "put back " + kept + " -> " + platform::Absolute(path); },
           [&] { platform::FileSystem::PutBack(kept, path); });
    Pretend(path, StampOf(kept));
    Pretend(kept, {});
}

// A dry run answers as if the folder were made where none stands yet.
bool ReportingFiles::MakeFolder(const std::string& path)
{
    const bool made = dryRun_ ? KindOf(path) == platform::EntryKind::Missing
                              : platform::FileSystem::MakeFolder(path);
    if (made && (dryRun_ || verbose_)) {
        out_ << "make folder " << path << '\n' << std::flush;
    }
    if (made && dryRun_) {
        madeFolders_.insert(Key(path));
    }
    return made;
}

void ReportingFiles::RemoveFolder(const std::string& path)
{
    Report([&] { return "remove folder " + path; },
           [&] { platform::FileSystem::RemoveFolder(path); });
}

void ReportingFiles::WriteTextFile(const std::string& path, std::string_view text)
{
    Report([&] { return "write " + platform::Absolute(path); },
           [&] { platform::FileSystem::WriteTextFile(path, text); });
}

void ReportingFiles::WriteTextField(const std::string& path, std::string_view value)
{
    Report([&] { return "write " + platform::Absolute(path) + " \"" + std::string(value) + "\""; },
           [&] { platform::FileSystem::WriteTextField(path, value); });
}

} // namespace cli
