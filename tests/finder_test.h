#pragma once

#include <string>

// Steam's binary shortcuts.vdf with one shortcut starting in `startDir`.
std::string Shortcuts(const std::string& startDir);
