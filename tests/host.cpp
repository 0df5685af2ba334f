#include "host.h"

#include "game_folder.h"

Outcome RunChild(std::vector<std::string> argv, const ChildOptions& options)
{
    return WaitChild(StartChild(std::move(argv), options), options);
}

Outcome Switch(const std::filesystem::path& game, std::vector<std::string> args,
               const ChildOptions& options)
{
    args.insert(args.begin(), {JOV_SWITCH_PATH, "-C", Utf8(game)});
    return RunChild(std::move(args), options);
}
