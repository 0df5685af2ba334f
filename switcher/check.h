#pragma once

#include "platform/file_system.h"
#include "switcher/plan.h"
#include "switcher/set_table.h"

#include <cstdint>
#include <vector>

// Everything that can be known before a command's first change, asked over its plans: what
// stands where they write, files another program holds, read-only files, paths too long for the
// system, a backup folder that cannot take files, and room on the disk. A command refuses with
// the failure its step would meet, and changes nothing.
namespace switcher
{

// Raises the first refusal of `plans`, carried out in this order, or returns.
void Check(platform::FileSystem& files, const Fields& fields,
           const std::vector<const Plan*>& plans);

// The most bytes the plans hold on the disk at once, beyond what the folders hold before them,
// counted in blocks of `blockSize` as the file system counts them: a copy written aside takes
// its blocks and one for its name until the file it replaces is gone; what is kept frees
// nothing.
std::uintmax_t PeakNeed(const std::vector<const Plan*>& plans, std::uintmax_t blockSize);

} // namespace switcher
