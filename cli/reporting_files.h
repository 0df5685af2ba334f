#pragma once

#include "platform/file_system.h"

#include <ostream>

namespace cli
{

// The file operations with a line printed for each one that changes the game folder: a delete,
// a copy with its source and destination, a state write with its word. In a dry run the line is
// printed and the change withheld; otherwise the line follows the change once it is done. Both
// use one format, so a dry run's listing and a verbose run's agree line for line.
class ReportingFiles final : public platform::FileSystem
{
public:
    ReportingFiles(std::ostream& out, bool dryRun, bool verbose)
        : out_(out), dryRun_(dryRun), verbose_(verbose)
    {}

    void RemoveFile(const std::string& name) override;
    void CopyFileReplacing(const std::string& source, const std::string& destination) override;
    void WriteTextField(const std::string& path, std::string_view value) override;

private:
    // `line` makes the text only when it is printed.
    template <typename Line, typename Change> void Report(Line line, Change change);

    std::ostream& out_;
    bool dryRun_;
    bool verbose_;
};

} // namespace cli
