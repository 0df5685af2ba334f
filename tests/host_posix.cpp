#include "host.h"

#include "game_folder.h"

#include <csignal>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
// From the AddressSanitizer runtime, whose allocator replaces malloc's.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

Child StartChild(std::vector<std::string> argv, const ChildOptions& options)
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

Outcome WaitChild(Child child, const ChildOptions& options)
{
    int status = 0;
    ::waitpid(static_cast<pid_t>(child), &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(options.output / "stdout"),
            Slurp(options.output / "stderr")};
}

bool KillChild(Child child)
{
    const auto pid = static_cast<pid_t>(child);
    const bool running = ::waitpid(pid, nullptr, WNOHANG) == 0;
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return running;
}

long OwnProcessId()
{
    return ::getpid();
}

long EndedProcessId()
{
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(0);
    }
    ::waitpid(child, nullptr, 0);
    return child;
}

std::size_t OpenHandles()
{
    const std::filesystem::directory_iterator fds("/proc/self/fd");
    return static_cast<std::size_t>(std::distance(begin(fds), end(fds)));
}

std::size_t AllocatedBytes()
{
#if defined(__SANITIZE_ADDRESS__)
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

void HideIfDotName(const std::filesystem::path&) {}
