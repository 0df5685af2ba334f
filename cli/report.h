#pragma once

#include "switcher/switcher.h"

#include <ostream>
#include <string>

// What jov-switch reports without changing anything: the state of a game folder, and how far
// the game folder matches the installed set.
namespace cli
{

// Exit statuses.
inline constexpr int kDone = 0;
inline constexpr int kRefused = 1;
inline constexpr int kUsage = 2;
inline constexpr int kFailed = 3;
inline constexpr int kDiffers = 4;
inline constexpr int kBusy = 5; // another program kept the game folder busy

// The installed word made printable: control and non-ASCII bytes as \xNN.
std::string Printable(const std::string& word);

// Why nothing can be done in the error state, and how to leave it.
std::string ErrorStateSentence(const switcher::Fields& fields);

// Prints the installed set, the buttons the window would have on, which set folders pass their
// presence test and the state file's path; as one JSON object with `json`.
void PrintStatus(switcher::Switcher& sw, bool json, std::ostream& out);

// Compares the game folder with the installed set and lists what differs, as one JSON object
// with `json`. Returns kDone, kDiffers, or kRefused when there is nothing to compare against,
// after saying why on `err`.
int Verify(switcher::Switcher& sw, bool json, std::ostream& out, std::ostream& err);

} // namespace cli
