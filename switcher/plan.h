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
// are carried out, each with the names and the files it was decided on. A dry run prints the
// steps; a real run checks them, then carries them out in turn, so the two list the same steps.
//
// A step that moves, deletes or replaces a file in the game folder first takes that file out of
// the player's reach, into the run's subfolder of the backup folder, in the same move that does
// the change, and only then compares it with the file the plan found. What turns out to be the
// file planned goes, unless it is the player's; anything else (a file changed or put there
// meanwhile) stays kept.
namespace switcher
{

struct Step
{
    enum class Kind
    {
        Sweep,       // a temporary that an ended command left behind goes
        MakeFolder,  // the backup folder or this run's subfolder of it
        WriteRecord, // a run's record of what it keeps, before the first change it describes
        Take,        // a file leaves the game folder for the run's subfolder
        Stage,       // a set's file is copied beside the game file it is for, under a temporary
        Place,       // the staged copy takes the game file's name; what stood there is taken
        PutBack,     // a kept file goes back over the set's copy that replaced it, which is taken
        Remove,      // a run's record or emptied subfolder, or a copy left over, goes
        WriteCopies, // the list of the copies placed in the game folder
        Flush,       // everything changed so far is put on disk
        WriteState,  // the state file's word
    };

    Kind kind;
    std::string path = {};   // what the step changes
    std::string source = {}; // Stage, Place: the set's file; PutBack: the kept file
    // Take, Place, PutBack: the free name in the run's subfolder that the file at `path` goes to.
    std::string kept = {};
    bool keep = false;              // Take, Place: the file at `path` is the player's own
    platform::FileStamp stamp = {}; // what stood at `path` as the plan found it
    platform::FileStamp from = {};  // Stage, Place: the set's file; PutBack: the kept file
    std::string text = {};          // WriteRecord: the record; WriteState: the word
    KeptEntry entry = {};           // Take, Place, PutBack: the line for the file if it stays kept
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

    std::string runDir; // the run's subfolder of the backup folder; empty: changes nothing
    KeptRecord record;  // what it keeps, as planned
    std::size_t keptFiles = 0;
    // The copies in the game folder once the steps are done; those the plans make now are
    // stamped as they are made.
    std::vector<PlacedCopy> copies;
    // What makes the command refuse before its first change, found while planning: a set's file
    // or folder that is the game's own through a link, something other than a file where a file
    // is written, a backup folder that cannot take the kept files.
    std::optional<platform::FsError> refusal;
};

// The step as a dry run prints it and a verbose run reports it once done.
std::string Describe(const Step& step);

// Whether a file taken out of the game folder is the one the plan found: the same file, size,
// time and permission (the same file where the system keeps a file's identity through a move).
// The time it last changed is left out: the move that took it sets that.
bool SameFile(const platform::FileStamp& now, const platform::FileStamp& planned);

} // namespace switcher
