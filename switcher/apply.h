#pragma once

#include "platform/file_system.h"
#include "switcher/kept_record.h"
#include "switcher/plan.h"

#include <cstddef>
#include <functional>
#include <map>
#include <string>

namespace switcher
{

// Carries out a plan's steps in turn. Every file that leaves the game folder goes into the run's
// subfolder in the move that takes it out, and is then compared with what the plan found: the
// file planned goes, unless it is the player's; a file that another program changed or put
// there meanwhile stays, and the run's record gains its line. A file the plan takes out that is
// gone already counts as gone. A failure ends the command at its step.
class Applier final
{
public:
    // `made`: the copies placed so far, by folded name, as they stood once placed; the list of
    // copies is written from it.
    Applier(platform::FileSystem& files, const Plan& plan,
            std::map<std::string, platform::FileStamp>& made,
            std::function<void(const Step&)> report);
    // Copies written aside that a failure left without a name go; the next command would sweep
    // them anyway.
    ~Applier();
    Applier(const Applier&) = delete;
    Applier& operator=(const Applier&) = delete;

    // Carries out the steps from `from` up to `to`.
    void Run(std::size_t from, std::size_t to);
    // The files the run's subfolder keeps so far: those planned, and those found changed.
    std::size_t Kept() const { return kept_; }

private:
    void Take(const Step& step);
    void Place(const Step& step);
    void PutBack(const Step& step);
    // The file at `step.kept` is what stood at `step.path`: it goes when it is the file planned
    // and not the player's, else it stays.
    void Settle(const Step& step, bool keep);
    void KeepFound(const Step& step, const platform::FileStamp& found);

    platform::FileSystem& files_;
    const Plan& plan_;
    std::map<std::string, platform::FileStamp>& made_;
    std::function<void(const Step&)> report_;
    std::map<std::string, std::string> staged_; // by game path: the copy written aside
    KeptRecord record_;                         // the run's record as it stands on disk
    std::size_t kept_ = 0;
};

} // namespace switcher
