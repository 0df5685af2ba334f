#include "cli/console_view.h"
#include "cli/failure_words.h"
#include "cli/find.h"
#include "cli/help.h"
#include "cli/progress.h"
#include "cli/report.h"
#include "cli/wine_path.h"

#include "platform/folder_lock.h"
#include "platform/fs_error.h"
#include "platform/native_file_system.h"
#include "platform/path_text.h"
#include "switcher/switcher.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include "platform/win32/unicode.h"
#endif

namespace
{

using switcher::SetFolder;

constexpr const char* kCommands = "The commands are status, install, restore, remove, "
                                  "verify and find; see 'jov-switch --help'.\n";

const switcher::AirForceRow& AirForceOfWord(const std::string& word)
{
    const auto* found = std::find_if(switcher::kAirForces.begin(), switcher::kAirForces.end(),
                                     [&](const auto& row) { return row.word == word; });
    return found != switcher::kAirForces.end() ? *found : switcher::kAirForces.back();
}

// Why the window would have the button for this command switched off while `fields` hold
// `word`, and what to do.
std::string Refusal(switcher::Fields fields, const std::string& word, const std::string& wanted,
                    const std::string& instead)
{
    fields.InstalledSet = word;
    const switcher::SetRow* row = switcher::RowOfWord(word);
    if (row == nullptr) {
        return cli::ErrorStateSentence(fields);
    }
    return "jov-switch: cannot " + wanted + ": " + std::string(row->name) +
           (row->folder == SetFolder::Stock ? " (the stock set)" : "") + " is installed. " +
           instead;
}

// Says, once the command has ended (also by a failure), where each run kept the player's files:
// in a dry run, where each would.
struct KeptReport
{
    ~KeptReport()
    {
        const std::string game = sw.State().GameDir + platform::kSeparator;
        for (const switcher::KeptFiles& run : sw.Kept()) {
            out << (dryRun ? "Would keep " : "Kept ") << run.files
                << (run.files == 1 ? " file" : " files") << " the sets do not hold in "
                << (run.folder.starts_with(game) ? run.folder.substr(game.size()) : run.folder)
                << '\n';
        }
    }
    const switcher::Switcher& sw;
    std::ostream& out;
    bool dryRun;
};

struct Options
{
    std::string gameDir;
    bool dryRun = false;
    bool verbose = false;
    bool json = false;
    std::string set;
    std::string airForce;
    double wait = 10.0;
};

// Makes the game folder given with -C the working folder; on POSIX a Windows path is taken as
// Wine's. Returns why it cannot be used, or an empty text.
std::string EnterGameDir(platform::FileSystem& files, const std::string& given)
{
    std::string folder = given;
    std::string shown = given;
#ifndef _WIN32
    if (cli::IsDrivePath(given)) {
        const cli::WinePath mapped = cli::FromWinePrefix(given);
        if (!mapped.problem.empty()) {
            return given + ": " + mapped.problem;
        }
        folder = mapped.path;
        shown += " (" + folder + " in the Wine prefix " + mapped.prefix + ")";
    }
#endif
    try {
        files.SetWorkingDir(folder);
        return {};
    } catch (const platform::FsError& error) {
        return shown + ": " + error.Explanation();
    }
}

// The command that changes files, and why the window would have its button off.
struct Wanted
{
    switcher::Control control = switcher::Control::Remove;
    std::string wanted = "restore the stock set";
    std::string instead = "There is nothing to restore: install a set instead.";
};

Wanted WantedOf(const std::string& command, const Options& options)
{
    Wanted wanted;
    if (command == "install") {
        const switcher::SetRow& set = *switcher::RowOfWord(options.set);
        wanted = {set.control, "install " + std::string(set.name),
                  "Restore the stock set first: jov-switch restore"};
    } else if (command == "remove") {
        const switcher::AirForceRow& airForce = AirForceOfWord(options.airForce);
        wanted = {airForce.control, "remove the " + std::string(airForce.name) + " flight models",
                  "Flight models can be removed only while " +
                      cli::Listed(cli::SetsWithAirForces(), "or") + " is installed."};
    }
    return wanted;
}

// A command that changes files, while the game folder's lock keeps JOV_Enable and other
// jov-switch runs out.
int Change(switcher::Switcher& sw, const Options& options, const Wanted& wanted,
           const std::string& gameDir)
{
    const auto lock = platform::FolderLock::Acquire(
        ".", std::chrono::milliseconds(static_cast<long long>(options.wait * 1000)));
    if (!lock) {
        std::cerr << "jov-switch: another program is working on the game folder " << gameDir
                  << " (JOV_Enable, or another jov-switch). Close JOV_Enable, or try again "
                     "when the other command has finished.\n";
        return cli::kBusy;
    }
    const switcher::Prepared prepared = sw.Prepare(wanted.control);
    if (prepared.outcome == switcher::Outcome::Refused) {
        std::cerr << Refusal(sw.State(), prepared.installed, wanted.wanted, wanted.instead) << '\n';
        return cli::kRefused;
    }
    const auto report = [](const switcher::Step& step) {
        std::cout << switcher::Describe(step) << '\n' << std::flush;
    };
    // Whatever the command comes to, what it kept of the player's own is said.
    KeptReport kept{sw, std::cout, options.dryRun};
    // On a terminal, a line of progress on standard error, cleared before what is kept is said.
    cli::Progress progress(std::cerr, prepared.plans,
                           !options.dryRun && cli::ProgressOnTerminal(options.json));
    sw.OnStep([&](const switcher::Step& step) {
        if (options.verbose || options.dryRun) {
            progress.Above([&] { report(step); });
        }
        progress.Done(step);
    });
    return sw.Carry(prepared, options.dryRun) == switcher::Outcome::SetMissing ? cli::kRefused
                                                                               : cli::kDone;
}

int Run(CLI::App& app, const Options& options, platform::FileSystem& files)
{
    const std::string command = app.get_subcommands().front()->get_name();
    if (command == "find") {
        return cli::Find(options.json, std::cout, std::cerr);
    }
    if (options.json && command != "status" && command != "verify") {
        std::cerr << "jov-switch: --json goes with status and verify only.\n";
        return cli::kUsage;
    }
    if (!options.gameDir.empty()) {
        const std::string problem = EnterGameDir(files, options.gameDir);
        if (!problem.empty()) {
            std::cerr << "jov-switch: cannot use the game folder " << problem << "\n";
            return cli::kUsage;
        }
    }
    cli::ConsoleView view(std::cerr);
    switcher::Switcher sw(view, files);
    if (command == "status") {
        cli::PrintStatus(sw, options.json, std::cout);
        return cli::kDone;
    }
    if (command == "verify") {
        return cli::Verify(sw, options.json, std::cout, std::cerr);
    }
    return Change(sw, options, WantedOf(command, options), files.WorkingDir());
}

// Says what is wrong with the command line. CLI11 finds a subcommand missing where the first word
// names none, or where no word is given: the player is told which.
int UsageError(CLI::App& app, const CLI::ParseError& error)
{
    const std::vector<std::string> left = app.remaining();
    if (!app.get_subcommands().empty() || error.get_name() != "RequiredError") {
        app.exit(error);
    } else if (left.empty()) {
        std::cerr << "jov-switch: no command given. " << kCommands;
    } else {
        const auto word = std::find_if(
            left.begin(), left.end(), [](const std::string& arg) { return !arg.starts_with('-'); });
        std::cerr << "jov-switch: unknown "
                  << (word != left.end() ? "command '" + *word : "option '" + left.front()) << "'. "
                  << kCommands;
    }
    return cli::kUsage;
}

// The options and commands jov-switch takes; what the player gives lands in options.
void DescribeCommandLine(CLI::App& app, Options& options)
{
    app.add_option(
           "-C,--game-dir", options.gameDir,
           "The game folder to work on (default: the current folder; auto: the only one found)")
        ->type_name("DIR");
    app.add_flag("-n,--dry-run", options.dryRun,
                 "Print each file operation the command would make and change nothing");
    app.add_flag("-v,--verbose", options.verbose, "Print each file operation as it is done");
    app.add_option("--wait", options.wait,
                   "Seconds to wait while another program works on the game folder")
        ->capture_default_str()
        ->type_name("SECONDS")
        ->check(CLI::Range(0.0, 3600.0));
    app.add_flag("--json", options.json,
                 "Print one JSON object for scripts (status and verify; before or after the "
                 "command)");
    app.set_version_flag("--version", std::string("jov-switch ") + JOV_VERSION_TEXT);
    app.require_subcommand(1, 1);
    app.fallthrough();
    app.footer(cli::Manual());

    app.add_subcommand("status", "Show the installed set; changes nothing");
    const std::string setWords = cli::Listed(cli::SetWords(), "or");
    app.add_subcommand("install", "Install a set: " + setWords)
        ->add_option("SET", options.set, setWords)
        ->required()
        ->transform(CLI::IsMember(cli::SetWords(), CLI::ignore_case));
    app.add_subcommand("restore", "Restore the stock set");
    app.add_subcommand("remove", "Delete one air force's flight models")
        ->add_option("AIRFORCE", options.airForce, cli::Listed(cli::AirForceWords(), "or"))
        ->required()
        ->transform(CLI::IsMember(cli::AirForceWords(), CLI::ignore_case));
    app.add_subcommand("verify", "Compare the game folder with the installed set");
    app.add_subcommand("find", "List the game folders found on this computer");
}

int Main(int argc, char** argv)
{
#ifndef _WIN32
    // Output that nobody reads any more fails as a write, not as the end of the program.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    CLI::App app{cli::Description(), "jov-switch"};
    Options options;
    DescribeCommandLine(app, options);

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& done) {
        return app.exit(done);
    } catch (const CLI::ParseError& error) {
        return UsageError(app, error);
    }

    if (options.gameDir == cli::kAutoGameDir && !cli::PickAutoGameDir(options.gameDir, std::cerr)) {
        return cli::kUsage;
    }
    int status = cli::kFailed;
    try {
        platform::NativeFileSystem files;
        status = Run(app, options, files);
    } catch (const platform::FsError& error) {
        std::cerr << cli::FailureText(error);
    } catch (const std::exception& error) {
        std::cerr << "jov-switch: " << error.what() << '\n';
    }
    // A command that began its changes finished them whatever became of its output (a reader
    // that went away); only then is that said.
    if (!(std::cout << std::flush)) {
        std::cerr << "jov-switch: could not write all of the output: standard output was "
                     "closed. The command itself ran to its end.\n";
    }
    return status;
}

} // namespace

#ifdef _WIN32
// Windows hands the arguments over in UTF-16; the program works, and writes, in UTF-8.
// Started by a double-click, it has a console of its own, which closes with it: it then shows
// its help when given nothing to do, and waits for a key before it ends.
int wmain(int argc, wchar_t** wideArgv)
{
    platform::win32::UseUtf8Console();
    std::vector<std::string> args = platform::win32::Utf8Arguments(argc, wideArgv);
    const bool alone = platform::win32::AloneInConsole();
    if (alone && args.size() == 1) {
        args.emplace_back("--help");
    }
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    const int status = Main(static_cast<int>(args.size()), argv.data());
    if (alone) {
        platform::win32::WaitForKey();
    }
    return status;
}
#else
int main(int argc, char** argv)
{
    return Main(argc, argv);
}
#endif
