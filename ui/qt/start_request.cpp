#include "ui/qt/start_request.h"

#include "ui/qt/main_window.h"

#include "platform/fs_error.h"
#include "switcher/set_table.h"
#include "switcher/switcher.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <iostream>

namespace ui::qt
{
namespace
{

constexpr const char* kUsage =
    "Usage: JOV_Enable [--choose-folder] [GAMEDIR]\n"
    "       JOV_Enable --help | --version\n\n"
    "Starts JOV Enable-Disable on the KRS 1.2 game folder GAMEDIR, or on the current folder "
    "when none is given. With --choose-folder (as the desktop entry starts it), it first asks "
    "for the game folder unless GAMEDIR holds the game's krs folder.";

const QString kLastFolderKey = QStringLiteral("LastGameFolder");

QString RememberedFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/jov-enable/jov-enable.conf");
}

std::optional<std::string> AskForFolder(const QString& title, const QString& start)
{
    // Qt's file dialog records its own history in the user's settings (QtProject.conf) each
    // time it closes, Cancel included. That would be a write outside any game folder, so the
    // user-scope settings Qt keeps for itself point where no file can be created.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("/dev/null"));
    const QString chosen = QFileDialog::getExistingDirectory(
        nullptr, title, start.isEmpty() ? QDir::homePath() : start, QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return QFile::encodeName(chosen).toStdString();
}

} // namespace

StartRequest ReadCommandLine(int argc, const char* const argv[])
{
    StartRequest request;
    int next = 1;
    if (next < argc && argv[next] == kChooseFolderOption) {
        request.choose = true;
        ++next;
    }
    for (int at = next; at < argc; ++at) {
        request.help = argv[at] == std::string_view("--help");
        request.version = argv[at] == std::string_view("--version");
        if (request.help || request.version) {
            return request;
        }
        if (argv[at][0] == '-') {
            request.problem = "Unknown option \"" + std::string(argv[at]) + "\".";
            return request;
        }
    }
    if (argc - next > 1) {
        request.problem = "Too many arguments: JOV_Enable takes one game folder at most.";
    } else if (next < argc) {
        request.folder = argv[next];
        if (request.folder->empty()) {
            request.problem = "The game folder's name is empty.";
        }
    }
    return request;
}

std::string_view Usage()
{
    return kUsage;
}

std::string EnterFolder(platform::FileSystem& files, const std::string& folder)
{
    try {
        files.SetWorkingDir(folder);
        return {};
    } catch (const platform::FsError& error) {
        return "Cannot use the game folder \"" + folder + "\": " + error.Explanation() + ".";
    }
}

int RefuseCommandLine(const std::string& problem)
{
    std::cerr << "JOV_Enable: " << problem << "\n\n" << kUsage << '\n';
    ShowBox(problem + "\n\n" + kUsage, BoxIcon::Warning);
    return kUsageExitCode;
}

bool HoldsStockSet(platform::FileSystem& files)
{
    try {
        return switcher::SetPresentHere(files, switcher::SetFolder::Stock);
    } catch (const platform::FsError&) {
        return true; // the window reports what keeps it from the folder
    }
}

std::optional<std::string> ChooseGameFolder(const std::optional<std::string>& startAt)
{
    // The folder given, else the last choice, or the nearest folder above it still there.
    QString start =
        QFile::decodeName(QByteArray::fromStdString(startAt.value_or(RememberedGameFolder())));
    while (!start.isEmpty() && !QFileInfo(start).isDir()) {
        const QString parent = QFileInfo(start).path();
        start = parent == start ? QString() : parent;
    }
    return AskForFolder(QStringLiteral("Choose the KRS 1.2 game folder"), start);
}

std::optional<std::string> ChooseFolderToSearch()
{
    return AskForFolder(QStringLiteral("Search for the KRS 1.2 game folder in"), QString());
}

std::string RememberedGameFolder()
{
    return QFile::encodeName(
               QSettings(RememberedFile(), QSettings::IniFormat).value(kLastFolderKey).toString())
        .toStdString();
}

void RememberGameFolder(const std::string& folder)
{
    QSettings settings(RememberedFile(), QSettings::IniFormat);
    settings.setValue(kLastFolderKey, QFile::decodeName(QByteArray::fromStdString(folder)));
}

} // namespace ui::qt
