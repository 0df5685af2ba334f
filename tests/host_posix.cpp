#include "process.h"

#include "game_folder.h"

#include <csignal>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

pid_t StartChild(std::vector<std::string> argv, const ChildOptions& options)
{
    const std::string out = (options.output / "stdout").string();
    const std::string err = (options.output / "stderr").string();
    const passwd* nobody = options.asNobody ? ::getpwnam("nobody") : nullptr;
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid != 0) {
        return pid;
    }
    // A test that is killed takes its programs with it.
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != parent) {
        ::_exit(126);
    }
    ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
    ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
    if (options.fileSizeLimit >= 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlim_t limit = static_cast<rlim_t>(options.fileSizeLimit);
        const rlimit both{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &both);
    }
    if (nobody != nullptr && (::setgroups(0, nullptr) != 0 || ::setgid(nobody->pw_gid) != 0 ||
                              ::setuid(nobody->pw_uid) != 0)) {
        ::_exit(126);
    }
    for (const std::string& variable : options.environment) {
        ::putenv(const_cast<char*>(variable.c_str()));
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

Outcome Switch(const std::filesystem::path& game, std::vector<std::string> args,
               const ChildOptions& options)
{
    args.insert(args.begin(), {JOV_SWITCH_PATH, "-C", game.string()});
    return RunChild(std::move(args), options);
}
