#include "switcher/plan.h"

#include <utility>

namespace switcher
{

Step::Step(Kind kind, std::string path, std::string source, platform::FileStamp stamp,
           std::string text, platform::FileStamp from)
    : kind(kind), path(std::move(path)), source(std::move(source)), stamp(std::move(stamp)),
      text(std::move(text)), from(std::move(from))
{}

std::string Describe(const Step& step)
{
    switch (step.kind) {
    case Step::Kind::MakeFolder:
        return "make folder " + step.path;
    case Step::Kind::WriteRecord:
    case Step::Kind::WriteCopies:
        return "write " + step.path;
    case Step::Kind::KeepByMoving:
    case Step::Kind::KeepByLinking:
        return "keep " + step.path + " -> " + step.source;
    case Step::Kind::Delete:
        return "delete " + step.path;
    case Step::Kind::Copy:
        return "copy " + step.source + " -> " + step.path;
    case Step::Kind::PutBack:
        return "put back " + step.source + " -> " + step.path;
    case Step::Kind::TidyUp:
        return "remove folder " + step.path;
    case Step::Kind::Flush:
        return "flush " + step.path;
    case Step::Kind::WriteState:
        break;
    }
    return "write " + step.path + " \"" + step.text + "\"";
}

} // namespace switcher
