#pragma once

#include "platform/file_system.h"

#include <map>
#include <ostream>
#include <set>

namespace cli
{

// The file operations with a line printed for each one that changes the game folder: a delete,
// a copy with its source and destination, a file kept or put back, a folder made, a state write
// with its word, a record written. In a dry run the line is printed and the change withheld;
// otherwise the line follows the change once it is done. Both use one format, so a dry run's
// listing and a verbose run's agree line for line. So that they agree over several steps (a
// first start, then an install), a dry run answers later questions as the withheld changes
// would have left the files: deleted and moved files are gone, copies stand where they were made.
class ReportingFiles final : public platform::FileSystem
{
public:
    ReportingFiles(std::ostream& out, bool dryRun, bool verbose)
        : out_(out), dryRun_(dryRun), verbose_(verbose)
    {}

    std::vector<std::string> ListPlainFiles(const std::string& pattern) override;
    platform::FileStamp StampOf(const std::string& path) override;
    platform::EntryKind KindOf(const std::string& path) override;
    void RemoveFile(const std::string& name) override;
    void CopyFileReplacing(const std::string& source, const std::string& destination) override;
    void KeepFile(const std::string& path, const std::string& kept, platform::Keeping how) override;
    void PutBack(const std::string& kept, const std::string& path) override;
    bool MakeFolder(const std::string& path) override;
    void RemoveFolder(const std::string& path) override;
    void WriteTextField(const std::string& path, std::string_view value) override;
    void WriteTextFile(const std::string& path, std::string_view text) override;

private:
    // `line` makes the text only when it is printed.
    template <typename Line, typename Change> void Report(Line line, Change change);
    // In a dry run: what now stands at `path`, as the withheld changes would have left it.
    void Pretend(const std::string& path, platform::FileStamp stamp);

    std::ostream& out_;
    bool dryRun_;
    bool verbose_;
    std::map<std::string, platform::FileStamp> pretended_; // by the absolute resolved path
    std::set<std::string> madeFolders_;
};

} // namespace cli
