#pragma once

#include "platform/file_system.h"
#include "platform/fs_error.h"
#include "switcher/kept_record.h"
#include "switcher/set_view.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What a command will do, decided whole before its first change: the steps in the order they
// are carried out, each with the names and the file it was decided on. A dry run prints the
// steps; a real run checks them, then carries them out in turn, so the two list the same steps.
namespace switcher
{

struct Step
{
    enum class Kind
    {
        MakeFolder,    // the backup folder or this run's subfolder of it
        WriteRecord,   // a run's record of what it keeps, before the first change it describes
        KeepByMoving,  // the player's file leaves the game folder for the run's subfolder
        KeepByLinking, // the player's file gets a second name there before it is replaced
        Delete,        // a copy of a set's file leaves the game folder
        Copy,          // a set's file joins the game folder or replaces its file of that name
        PutBack,       // a kept file goes back over the set's copy that replaced it
        TidyUp,        // a run's subfolder that keeps nothing more goes, with its record
        WriteCopies,   // the list of the copies placed in the game folder
        Flush,         // everything changed so far is put on disk
        WriteState,    // the state file's word
    };

    Step(Kind kind, std::string path, std::string source = {}, platform::FileStamp stamp = {},
         std::string text = {}, platform::FileStamp from = {});

    Kind kind;
    std::string path;   // what the step changes: a file or folder, the record, the state file
    std::string source; // Copy: the set's file; Keep: the name it is kept under; PutBack: the
                        // kept file
    platform::FileStamp stamp; // the file at `path` as the plan found it, where there is one
    std::string text;          // WriteRecord: the record; WriteState: the word
    platform::FileStamp from;  // Copy: the set's file; PutBack: the kept file
};

struct Plan
{
    enum class Kind
    {
        FirstStart,
        Restore,
        Install,
        Remove, // an air force's flight models
    };

    Plan(Kind kind, Control control) : kind(kind), control(control) {}

    Kind kind;
    Control control;     // the button whose command this is (Remove for a first start)
    std::string setDir;  // the set folder whose files it copies; empty: none
    std::string message; // shown before the work: the set folder is missing
    bool setMissing = false;
    std::vector<Step> steps;
    std::size_t saveAt = 0; // the first step of those that record the new state
    std::string word;       // the installed set's word afterwards; empty: unchanged

    std::string runDir; // the run's subfolder of the backup folder; empty: keeps nothing
    std::size_t keptFiles = 0;
    // The copies in the game folder once the steps are done; those the plans make now are
    // stamped as they are made.
    std::vector<PlacedCopy> copies;
    // What makes the command refuse before its first change, found while planning: a set's file
    // or folder that is the game's own through a link.
    std::optional<platform::FsError> refusal;
};

// The step as a dry run prints it and a verbose run reports it once done.
std::string Describe(const Step& step);

} // namespace switcher
