#include "ui/failure_words.h"

#include "switcher/failure_words.h"

namespace ui::forms
{
namespace
{

std::string Closing(const std::string& report)
{
    return report + "\n\nJOV Enable-Disable will close now.";
}

} // namespace

std::string FailureText(const platform::FsError& error)
{
    return Closing(switcher::FailureReport(error));
}

std::string UnexpectedFailureText(const char* what)
{
    return Closing(what != nullptr ? "Unexpected failure: " + std::string(what)
                                   : std::string("Unexpected failure."));
}

} // namespace ui::forms
