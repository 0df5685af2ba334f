#include "switcher/plan.h"

namespace switcher
{

std::string Describe(const Step& step)
{
    switch (step.kind) {
    case Step::Kind::Sweep:
        return "remove leftover " + step.path;
    case Step::Kind::MakeFolder:
        return "make folder " + step.path;
    case Step::Kind::WriteRecord:
    case Step::Kind::WriteCopies:
        return "write " + step.path;
    case Step::Kind::Take:
        return step.keep ? "keep " + step.path + " -> " + step.kept : "delete " + step.path;
    case Step::Kind::Stage:
        return "copy " + step.source + " -> " + step.path + " (aside)";
    case Step::Kind::Place:
        return "put in place " + step.path + (step.keep ? ", keeping the old -> " + step.kept : "");
    case Step::Kind::PutBack:
        return "put back " + step.source + " -> " + step.path;
    case Step::Kind::Remove:
        return "remove " + step.path;
    case Step::Kind::Flush:
        return "flush " + step.path;
    case Step::Kind::WriteState:
        break;
    }
    return "write " + step.path + " \"" + step.text + "\"";
}

bool SameFile(const platform::FileStamp& now, const platform::FileStamp& planned)
{
    return now.IsFile() && planned.IsFile() && (planned.inode == 0 || now.SameIdentity(planned)) &&
           now.size == planned.size && now.modified == planned.modified &&
           now.readOnly == planned.readOnly;
}

} // namespace switcher
