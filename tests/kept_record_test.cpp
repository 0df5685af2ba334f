#include "switcher/kept_record.h"

#include <gtest/gtest.h>

using switcher::KeptEntry;
using What = KeptEntry::What;

// Records players already have, and lines they edited, read back as the entries they say.
TEST(KeptRecordTest, EntriesAreReadFromEveryFormTheyStandIn)
{
    const KeptEntry tabbed{"a\tb.flt", "a\tb (2).flt", What::Cleared, "none", 7, 0};
    struct Row
    {
        const char* name;
        std::string text;
        std::vector<std::string> read; // name, kept name, what, by: each entry's
    };
    const std::vector<Row> rows{
        {"the format of earlier versions",
         "JOV Enable-Disable kept these files of the game folder /g\r\nwhen it ran \"install "
         "jov\" on 2026-12-07 at 10:15:03.\r\n\r\nName in the game folder\tName here\tWhat "
         "happened\tSize in bytes\tLast changed\r\nREADME.TXT\tREADME.TXT\treplaced by the "
         "install of JOV Panel\t20\t2026-12-07 10:15:03\r\nmine.flt\tmine.flt\tremoved with the "
         "RAF flight models\t5\t2026-12-07 10:15:03\r\n",
         {"README.TXT", "README.TXT", "replaced", "jov", "mine.flt", "mine.flt", "removed", "raf"}},
        {"a line edited in Notepad, LF only and no size",
         "x.dat\tx (2).dat\tcleared by the restore of the stock set\n",
         {"x.dat", "x (2).dat", "cleared", "none"}},
        {"a missing column, an unknown set and an empty name",
         "a.dat\ta.dat\r\nb.dat\tb.dat\treplaced by the install of FOO\t1\t?\r\n\tc\tcleared by "
         "the restore of the stock set\r\n",
         {}},
        {"a name with a tab",
         switcher::Format(tabbed),
         {"a\tb.flt", "a\tb (2).flt", "cleared", "none"}},
    };
    const auto word = [](What what) {
        return what == What::Replaced  ? "replaced"
               : what == What::Cleared ? "cleared"
               : what == What::Removed ? "removed"
                                       : "put back";
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> read;
        for (const KeptEntry& entry : switcher::Parse(row.text).entries) {
            read.insert(read.end(), {entry.name, entry.keptName, word(entry.what), entry.by});
        }
        EXPECT_EQ(read, row.read);
    }
    EXPECT_EQ(switcher::Parse(switcher::Format(tabbed)).entries.at(0).size, 7u);
    EXPECT_EQ(switcher::Parse(switcher::Format(switcher::KeptRecord{"/g", "restore", 0, 12, {}}))
                  .sequence,
              12u);
}
