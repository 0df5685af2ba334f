#include "process.h"

#include "game_folder.h"

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

pid_t StartChild(std::vector<std::string> argv, const ChildOptions& options)
{
    const fs::path out = options.output / "stdout";
    const fs::path err = options.output / "stderr";
    const pid_t pid = ::fork();
    if (pid != 0) {
        return pid;
    }
    if (options.newSession) {
        ::setsid();
    }
    ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
    ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
    if (options.fileSizeLimit >= 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit
        {};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = static_cast<rlim_t>(options.fileSizeLimit);
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    for (const std::string& variable : options.environment) {
        const auto cut = variable.find('=');
        ::setenv(variable.substr(0, cut).c_str(), variable.substr(cut + 1).c_str(), 1);
    }
    std::vector<char*> args;
    for (auto& arg : argv) {
        args.push_back(arg.data());
    }
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    ::_exit(127);
}

Outcome WaitChild(pid_t pid, const ChildOptions& options)
{
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(options.output / "stdout"),
            Slurp(options.output / "stderr")};
}

Outcome RunChild(std::vector<std::string> argv, const ChildOptions& options)
{
    return WaitChild(StartChild(std::move(argv), options), options);
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}
