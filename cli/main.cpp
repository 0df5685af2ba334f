#include "cli/console_view.h"
#include "cli/report.h"
#include "cli/reporting_files.h"

#include "platform/file_ops.h"
#include "platform/folder_lock.h"
#include "platform/fs_error.h"
#include "switcher/switcher.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include "platform/win32/unicode.h"
#endif

namespace
{

using switcher::SetFolder;

constexpr const char* kManual = R"(COMMANDS
  status [--json]   Shows the installed set, which buttons JOV_Enable would have on, which
                    set folders are present and where the state file is. Changes nothing.
  install SET       Copies every file of the set folder into the game folder and records
                    the set: jov (JOV Panel), jovo (JOV Online) or tuk (TUK). Only from the
                    stock state: restore first when another set is in.
  restore           Restores the stock set: deletes *.flt *.dat *.str *.mpc *.cpt *.3dz,
                    jovpanel.exe, flt.cdf and data.cdf from the game folder, copies every
                    file of krs/ back and records "none". Only while a set is installed.
  remove AIRFORCE   Deletes the flight models of raf, usaaf or luftwaffe from the game
                    folder. Only while JOV Panel or JOV Online is installed.
  verify            Compares the game folder with the installed set, file by file, and
                    lists what is missing, differs or is extra. Changes nothing.

  install, restore and remove start as JOV_Enable does: in a game folder without jovo.ini
  they first restore the stock set and record "none".

GAME FOLDER
  jovo.ini          the installed set, one line such as "jov"; shared with JOV_Enable
  krs/              the original FLT.CDF and DATA.CDF (the stock set; needs a .cdf file)
  jov/              the JOV Panel files (recognised by a .dat file)
  jovo/             the JOV Online files (recognised by a .dat file)
  tuk/              the TUK files (recognised by a .cdf file)
  Folder and file names match in any letter case.

  install, restore and remove wait (--wait, 10 seconds) while JOV_Enable or another
  jov-switch works on the same game folder, and are refused when it does not finish.

EXIT STATUS
  0 done; 1 refused, or the set folder is missing; 2 usage error; 3 a file operation
  failed (what was done before it stays done, the state file keeps its word); 4 verify
  found differences.

EXAMPLES
  jov-switch -C ~/games/KRS install jov
  jov-switch -C ~/games/KRS --dry-run restore)";

// jov-switch's words for the sets it installs and for the air forces.
std::vector<std::string> SetWords()
{
    std::vector<std::string> words;
    for (const switcher::SetRow& row : switcher::kSets) {
        if (row.folder != SetFolder::Stock) {
            words.emplace_back(row.word);
        }
    }
    return words;
}

std::vector<std::string> AirForceWords()
{
    std::vector<std::string> words;
    for (const switcher::AirForceRow& row : switcher::kAirForces) {
        words.emplace_back(row.word);
    }
    return words;
}

const switcher::AirForceRow& AirForceOfWord(const std::string& word)
{
    const auto* found = std::find_if(switcher::kAirForces.begin(), switcher::kAirForces.end(),
                                     [&](const auto& row) { return row.word == word; });
    return found != switcher::kAirForces.end() ? *found : switcher::kAirForces.back();
}

// Why the window would have the button for this command switched off, and what to do.
std::string Refusal(const switcher::Fields& fields, const std::string& wanted,
                    const std::string& instead)
{
    const switcher::SetRow* row = switcher::RowOfWord(fields.InstalledSet);
    if (row == nullptr) {
        return cli::ErrorStateSentence(fields);
    }
    return "jov-switch: cannot " + wanted + ": " + std::string(row->name) +
           (row->folder == SetFolder::Stock ? " (the stock set)" : "") + " is installed. " +
           instead;
}

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

int Run(CLI::App& app, const Options& options)
{
    if (!options.gameDir.empty()) {
        try {
            platform::SetWorkingDir(options.gameDir);
        } catch (const platform::FsError& error) {
            std::cerr << "jov-switch: cannot use the game folder " << options.gameDir << ": "
                      << error.Explanation() << "\n";
            return cli::kUsage;
        }
    }
    cli::ConsoleView view(std::cerr);
    cli::ReportingFiles files(std::cout, options.dryRun, options.verbose);
    switcher::Switcher sw(view, files);
    const std::string command = app.get_subcommands().front()->get_name();

    if (command == "status") {
        cli::PrintStatus(sw, options.json, std::cout);
        return cli::kDone;
    }
    if (command == "verify") {
        return cli::Verify(sw, std::cout, std::cerr);
    }

    // Commands that change files keep JOV_Enable and other jov-switch runs out meanwhile.
    const auto lock = platform::FolderLock::Acquire(
        ".", std::chrono::milliseconds(static_cast<long long>(options.wait * 1000)));
    if (!lock) {
        std::cerr << "jov-switch: another program is working on the game folder "
                  << platform::WorkingDir()
                  << " (JOV_Enable, or another jov-switch). Close JOV_Enable, or try again "
                     "when the other command has finished.\n";
        return cli::kRefused;
    }

    sw.Start();
    const auto& fields = sw.State();
    const switcher::ControlStates states = switcher::StatesFor(fields.InstalledSet);
    if (command == "install") {
        const switcher::SetRow& set = *switcher::RowOfWord(options.set);
        if (!states.install) {
            std::cerr << Refusal(fields, "install " + std::string(set.name),
                                 "Restore the stock set first: jov-switch restore")
                      << '\n';
            return cli::kRefused;
        }
        const int before = view.MessagesShown();
        sw.Click(set.control);
        return view.MessagesShown() > before ? cli::kRefused : cli::kDone;
    }
    if (command == "restore") {
        if (!states.remove) {
            std::cerr << Refusal(fields, "restore the stock set",
                                 "There is nothing to restore: install a set instead.")
                      << '\n';
            return cli::kRefused;
        }
        sw.Remove_Click();
        return cli::kDone;
    }
    const switcher::AirForceRow& airForce = AirForceOfWord(options.airForce);
    if (!states.countries) {
        std::cerr << Refusal(fields, "remove the " + std::string(airForce.name) + " flight models",
                             "Flight models can be removed only while JOV Panel or JOV Online "
                             "is installed.")
                  << '\n';
        return cli::kRefused;
    }
    sw.Click(airForce.control);
    return cli::kDone;
}

int Main(int argc, char** argv)
{
    CLI::App app{"Switches a KRS 1.2 game folder between its stock flight models and the JOV "
                 "Panel, JOV Online and TUK sets, as JOV_Enable does, for scripts and launchers.",
                 "jov-switch"};
    Options options;
    app.add_option("-C,--game-dir", options.gameDir,
                   "The game folder to work on (default: the current folder)")
        ->type_name("DIR");
    app.add_flag("-n,--dry-run", options.dryRun,
                 "Print each file operation the command would make and change nothing");
    app.add_flag("-v,--verbose", options.verbose, "Print each file operation as it is done");
    app.add_option("--wait", options.wait,
                   "Seconds to wait while another program works on the game folder")
        ->capture_default_str()
        ->type_name("SECONDS")
        ->check(CLI::Range(0.0, 3600.0));
    app.set_version_flag("--version", JOV_VERSION_TEXT);
    app.require_subcommand(1, 1);
    app.fallthrough();
    app.footer(kManual);

    auto* status = app.add_subcommand("status", "Show the installed set; changes nothing");
    status->add_flag("--json", options.json, "Print one JSON object for scripts");
    app.add_subcommand("install", "Install a set: jov, jovo or tuk")
        ->add_option("SET", options.set, "jov, jovo or tuk")
        ->required()
        ->transform(CLI::IsMember(SetWords(), CLI::ignore_case));
    app.add_subcommand("restore", "Restore the stock set");
    app.add_subcommand("remove", "Delete one air force's flight models")
        ->add_option("AIRFORCE", options.airForce, "raf, usaaf or luftwaffe")
        ->required()
        ->transform(CLI::IsMember(AirForceWords(), CLI::ignore_case));
    app.add_subcommand("verify", "Compare the game folder with the installed set");

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& done) {
        return app.exit(done);
    } catch (const CLI::ParseError& error) {
        app.exit(error);
        return cli::kUsage;
    }

    try {
        platform::Batch batch;
        return Run(app, options);
    } catch (const platform::FsError& error) {
        std::cerr << "jov-switch: " << error.Report()
                  << "\nWhat was done before this step stays done; nothing after it was done, "
                     "and the state file keeps its word.\n";
        if (error.InUse()) {
            std::cerr << "jov-switch: once "
                      << (error.Holder().empty() ? "the game" : error.Holder())
                      << " is closed, run the same command again; \"jov-switch restore\" "
                         "finishes a restore.\n";
        }
    } catch (const std::exception& error) {
        std::cerr << "jov-switch: " << error.what() << '\n';
    }
    return cli::kFailed;
}

} // namespace

#ifdef _WIN32
// Windows hands the arguments over in UTF-16; the program works, and writes, in UTF-8.
int wmain(int argc, wchar_t** wideArgv)
{
    platform::win32::UseUtf8Console();
    std::vector<std::string> args = platform::win32::Utf8Arguments(argc, wideArgv);
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    return Main(argc, argv.data());
}
#else
int main(int argc, char** argv)
{
    return Main(argc, argv);
}
#endif
