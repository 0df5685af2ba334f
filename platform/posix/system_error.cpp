#include "platform/fs_error.h"

#include <system_error>

namespace platform
{

SystemError FromErrno(int number)
{
    return {number, std::generic_category().message(number)};
}

} // namespace platform
