#include "platform/fs_error.h"

#include "platform/path_text.h"

#include <cerrno>

namespace platform
{
namespace
{

std::string Compose(const SystemError& error, const std::string& operation, const std::string& path)
{
    return "Error " + std::to_string(error.number) + ": " + error.explanation + " (" + operation +
           " " + path + ")";
}

} // namespace

FsError::FsError(SystemError error, std::string operation, std::string path, std::string detail)
    : std::runtime_error(Compose(error, operation, path)), number_(error.number),
      explanation_(std::move(error.explanation)), operation_(std::move(operation)),
      path_(std::move(path)), detail_(std::move(detail))
{}

FsError::FsError(SystemError error, std::string operation, std::string path, std::string detail,
                 InUseBy inUse)
    : FsError(std::move(error), std::move(operation), std::move(path), std::move(detail))
{
    inUse_ = true;
    holder_ = std::move(inUse.holder);
}

std::string FsError::Report() const
{
    const auto [folder, name] = SplitPath(path_);
    std::string text = "Error " + std::to_string(number_) + ": " + explanation_ + "\n";
    text += "Could not " + operation_ + " \"" + name + "\"";
    if (!folder.empty()) {
        text += " in " + folder;
    }
    text += ".";
    if (!detail_.empty()) {
        text += " " + detail_;
    }
    return text;
}

void ThrowErrno(const std::string& operation, const std::string& path)
{
    throw FsError(errno, operation, path);
}

} // namespace platform
