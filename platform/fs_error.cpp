#include "platform/fs_error.h"

#include <cerrno>
#include <cstring>
#include <system_error>

namespace platform
{
namespace
{

std::string Explain(int number)
{
    return std::generic_category().message(number);
}

std::string Compose(int number, const std::string& operation, const std::string& path)
{
    return "Error " + std::to_string(number) + ": " + Explain(number) + " (" + operation + " " +
           path + ")";
}

} // namespace

FsError::FsError(int number, std::string operation, std::string path, std::string detail)
    : std::runtime_error(Compose(number, operation, path)), number_(number),
      explanation_(Explain(number)), operation_(std::move(operation)), path_(std::move(path)),
      detail_(std::move(detail))
{}

std::string FsError::Report() const
{
    std::string folder;
    std::string name = path_;
    if (const auto cut = path_.find_last_of("/\\"); cut != std::string::npos) {
        folder = path_.substr(0, cut == 0 ? 1 : cut);
        name = path_.substr(cut + 1);
    }
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
