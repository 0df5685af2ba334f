#pragma once

#include "switcher/set_table.h"

#include <string>
#include <string_view>
#include <vector>

// What jov-switch's help says: the line above the usage, the words install and remove take, and
// the manual below the options. What it says of the sets comes from the set table, so a new set
// is listed wherever the sets are.
namespace cli
{

// The items joined as a sentence lists them: "a, b or c" with the conjunction "or".
std::string Listed(const std::vector<std::string>& items, std::string_view conjunction);

// The words install takes: the sets' but the stock set's, in table order.
std::vector<std::string> SetWords(switcher::SetTable sets = switcher::kSets);

// The words remove takes: the air forces'.
std::vector<std::string> AirForceWords();

// The names of the sets while which remove may delete an air force's flight models.
std::vector<std::string> SetsWithAirForces(switcher::SetTable sets = switcher::kSets);

std::string Description(switcher::SetTable sets = switcher::kSets);
std::string Manual(switcher::SetTable sets = switcher::kSets);

} // namespace cli
