#pragma once

#include <string>

namespace ui
{

// The box shown after a switch when Windows' VirtualStore holds files of the sets' types for
// the game folder, which the game reads in place of the ones just switched: it names them and
// says what to do. Empty when there are none (always, outside Windows).
std::string VirtualStoreNotice(const std::string& gameDir);

} // namespace ui
