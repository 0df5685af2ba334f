#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// What the tests need from the host system, one implementation per platform: running the built
// programs as a player's launcher would, this process's own resources, and file attributes.

// A started program: its process id on POSIX, its process handle on Windows.
using Child = std::intptr_t;

struct Outcome
{
    int status = -1; // exit status, or -1 when a signal ended the program
    std::string out; // what it wrote, as text: line ends are "\n" on every platform
    std::string err;
};

struct ChildOptions
{
    std::filesystem::path output;              // folder for the child's stdout and stderr files
    long long fileSizeLimit = -1;              // POSIX: RLIMIT_FSIZE in bytes, SIGXFSZ ignored
    std::vector<std::string> environment = {}; // NAME=value, added to the inherited ones
    bool asNobody = false;                     // POSIX: runs as the unprivileged user "nobody"
};

// The child ends with the test however the test ends.
Child StartChild(std::vector<std::string> argv, const ChildOptions& options);
Outcome WaitChild(Child child, const ChildOptions& options);
Outcome RunChild(std::vector<std::string> argv, const ChildOptions& options);
// Ends the child at once, as a power cut would, and waits; returns whether it was still running.
bool KillChild(Child child);

// jov-switch -C game args...
Outcome Switch(const std::filesystem::path& game, std::vector<std::string> args,
               const ChildOptions& options);

// Process ids as temporaries' names hold them: this process's, and one of a process that ended.
long OwnProcessId();
long EndedProcessId();

// Descriptors or handles this process holds, and the bytes its heap has handed out.
std::size_t OpenHandles();
std::size_t AllocatedBytes();

// Hidden on Windows too, so that the tests' tables of files mean the same on POSIX and Windows.
void HideIfDotName(const std::filesystem::path& path);
