#include "game_folder.h"

#include "ui/qt/folder_chooser.h"
#include "ui/qt/start_request.h"

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <fstream>

namespace fs = std::filesystem;

namespace
{

using FolderChooserTest = GameFolderTest;

// The folder to prepare is found first (a Steam library), the ready ones after it (a prefix).
TEST_F(FolderChooserTest, ReadyFoldersComeFirstTheOneUsedLastAtTheirHead)
{
    const fs::path home = fs::canonical(root) / "home";
    setenv("HOME", home.c_str(), 1);
    setenv("WINEPREFIX", (home / "pfx").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
    const auto make = [&](const std::string& relative, bool ready, const std::string& word) {
        fs::create_directories(home / relative / (ready ? "krs" : ""));
        std::ofstream(home / relative / "FLT.CDF") << "x";
        std::ofstream(home / relative / "jovo.ini") << "\"" << word << "\"\r\n";
        return (home / relative).string();
    };
    const std::string prepare = make(".local/share/Steam/steamapps/common/KRS", false, "none");
    const std::string a = make(".wine/drive_c/A/KRS", true, "none");
    const std::string b = make(".wine/drive_c/B/KRS", true, "jov");
    const std::string wine = " · found in Wine (~/.wine)";
    const struct
    {
        const char* name;
        std::string last;
        Names shown; // each folder, and below it what it holds and where it was found
    } rows[] = {
        {"nothing used before",
         "",
         {a + "\n    ready, stock flight models" + wine,
          b + "\n    ready, JOV Panel installed" + wine,
          prepare + "\n    to prepare: copy the game's FLT.CDF and DATA.CDF into a new folder "
                    "named krs in it, stock flight models · found in Steam"}},
        {"B used last time",
         b,
         {b + "\n    ready, JOV Panel installed · used last time",
          a + "\n    ready, stock flight models" + wine, prepare + "\n    to prepare: "}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (!row.last.empty()) {
            ui::qt::RememberGameFolder(row.last);
        }
        // Once the search has ended, the list is read and Enter opens the folder chosen.
        Names shown;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (dialog == nullptr || !dialog->findChild<QPushButton*>("stopSearch")->isHidden()) {
                return;
            }
            timer.stop();
            auto* list = dialog->findChild<QListWidget*>("foundFolders");
            for (int at = 0; at < list->count(); ++at) {
                shown.push_back(list->item(at)->text().toStdString());
                EXPECT_EQ(list->item(at)->toolTip(), list->item(at)->data(Qt::UserRole));
            }
            QTest::keyClick(list, Qt::Key_Return);
        });
        timer.start(5);
        const std::optional<std::string> chosen = ui::qt::ChooseFoundFolder(std::nullopt);
        ASSERT_EQ(shown.size(), row.shown.size());
        for (std::size_t at = 0; at < shown.size(); ++at) {
            EXPECT_EQ(shown[at].substr(0, row.shown[at].size()), row.shown[at]);
        }
        EXPECT_EQ(chosen.value_or(""), row.shown.front().substr(0, row.shown.front().find('\n')));
    }
}

} // namespace
