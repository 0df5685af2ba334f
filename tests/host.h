#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <sys/types.h>

// Running the built programs as a player's launcher would: a child process with its own output
// files, which ends with the test however the test ends.
struct Outcome
{
    int status = -1; // exit status, or -1 when a signal ended the program
    std::string out;
    std::string err;
};

struct ChildOptions
{
    std::filesystem::path output;              // folder for the child's stdout and stderr files
    long long fileSizeLimit = -1;              // RLIMIT_FSIZE in bytes, with SIGXFSZ ignored
    std::vector<std::string> environment = {}; // NAME=value, added to the inherited ones
    bool asNobody = false;                     // runs as the unprivileged user "nobody"
};

pid_t StartChild(std::vector<std::string> argv, const ChildOptions& options);
Outcome WaitChild(pid_t pid, const ChildOptions& options);
Outcome RunChild(std::vector<std::string> argv, const ChildOptions& options);

// jov-switch -C game args...
Outcome Switch(const std::filesystem::path& game, std::vector<std::string> args,
               const ChildOptions& options);
