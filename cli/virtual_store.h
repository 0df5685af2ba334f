#pragma once

#include "finder/virtual_store.h"

#include <nlohmann/json.hpp>

#include <string>

// jov-switch's words for the files Windows' VirtualStore holds in place of the game folder's,
// as status and verify report them.
namespace cli
{

// null where there is no VirtualStore folder to check; else {"folder", "shadowing": [names]}.
nlohmann::ordered_json VirtualStoreJson(const finder::VirtualStore& store);

// status's line: the shadowing files and their folder, or "none in" the folder; empty where
// there is no VirtualStore folder to check.
std::string VirtualStoreLine(const finder::VirtualStore& store);

// What the shadowing files do and what to do about them; empty when there are none.
std::string VirtualStoreAdvice(const finder::VirtualStore& store);

} // namespace cli
