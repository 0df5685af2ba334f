#include "ui/failure_guard.h"

#include "platform/fs_error.h"
#include "ui/failure_words.h"

#include <exception>

namespace ui
{
namespace
{

// `text` makes the box's text; it runs inside, so that nothing it raises leaves.
template <typename Text>
void ShowFailure(const std::function<void(const std::string&)>& show, const Text& text) noexcept
{
    try {
        show(text());
    } catch (...) {
        // Nothing more can be shown; the program still ends with the failure status.
    }
}

} // namespace

bool RunGuarded(const std::function<void()>& handler,
                const std::function<void(const std::string&)>& showFailure)
{
    try {
        handler();
        return true;
    } catch (const platform::FsError& error) {
        ShowFailure(showFailure, [&error] { return forms::FailureText(error); });
    } catch (const std::exception& error) {
        ShowFailure(showFailure, [&error] { return forms::UnexpectedFailureText(error.what()); });
    } catch (...) {
        ShowFailure(showFailure, [] { return forms::UnexpectedFailureText(nullptr); });
    }
    return false;
}

} // namespace ui
