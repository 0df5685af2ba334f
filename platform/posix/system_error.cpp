#include "platform/fs_error.h"

#include <cerrno>
#include <system_error>

namespace platform
{

SystemError FromErrno(int number)
{
    return {number, std::generic_category().message(number)};
}

void ThrowErrno(const std::string& operation, const std::string& path, FailureCause cause)
{
    const int number = errno;
    if (cause == FailureCause::Other && (number == ENOSPC || number == EDQUOT)) {
        cause = FailureCause::NoRoom;
    }
    throw FsError(number, operation, path, cause);
}

} // namespace platform
