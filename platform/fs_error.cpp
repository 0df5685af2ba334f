#include "platform/fs_error.h"

#include <utility>

namespace platform
{
namespace
{

std::string Compose(const SystemError& error, const std::string& operation, const std::string& path)
{
    if (error.number == 0) {
        return "Refused to " + operation + " " + path;
    }
    return "Error " + std::to_string(error.number) + ": " + error.explanation + " (" + operation +
           " " + path + ")";
}

} // namespace

FsError::FsError(SystemError error, std::string operation, std::string path, FailureCause cause,
                 FailureFigures figures)
    : std::runtime_error(Compose(error, operation, path)), cause_(cause), number_(error.number),
      explanation_(std::move(error.explanation)), operation_(std::move(operation)),
      path_(std::move(path)), figures_(std::move(figures))
{}

FsError::FsError(int number, std::string operation, std::string path, FailureCause cause,
                 FailureFigures figures)
    : FsError(FromErrno(number), std::move(operation), std::move(path), cause, std::move(figures))
{}

FsError Refused(FailureCause cause, std::string operation, std::string path, FailureFigures figures)
{
    return FsError(SystemError{0, {}}, std::move(operation), std::move(path), cause,
                   std::move(figures));
}

} // namespace platform
