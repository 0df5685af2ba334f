#include "ui/failure_guard.h"
#include "ui/qt/folder_chooser.h"
#include "ui/qt/main_window.h"
#include "ui/qt/start_request.h"

#include "platform/native_file_system.h"

#include <QApplication>

#include <iostream>
#include <thread>

#ifdef JOV_WARM_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

namespace
{

#ifdef JOV_WARM_FONTCONFIG
// Lists every font once, which brings fontconfig's caches into memory for Qt's own listing.
void WarmFontCaches()
{
    FcInit();
    FcPattern* any = FcPatternCreate();
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, FC_STYLE, FC_FILE, FC_CHARSET, FC_LANG,
                                            static_cast<char*>(nullptr));
    if (FcFontSet* fonts = FcFontList(nullptr, any, objects)) {
        FcFontSetDestroy(fonts);
    }
    FcObjectSetDestroy(objects);
    FcPatternDestroy(any);
}
#endif

// Lets the player choose a found game folder where none was given, or where the one given holds
// no game, then shows the window on the working folder. Returns the program's exit status.
int ShowWindow(platform::NativeFileSystem& files, const ui::qt::StartRequest& request)
{
    std::optional<std::string> chosen;
    if (request.choose && (!request.folder || !ui::qt::HoldsStockSet(files))) {
        // A folder that was given but holds no game is where the dialog starts.
        chosen = ui::qt::ChooseFoundFolder(request.folder ? std::optional(files.WorkingDir())
                                                          : std::nullopt);
        if (!chosen) {
            return 0;
        }
        const auto showFailure = [](const std::string& text) {
            ui::qt::ShowBox(text, ui::BoxIcon::Error);
        };
        if (!ui::RunGuarded([&] { files.SetWorkingDir(*chosen); }, showFailure)) {
            return ui::kFailureExitCode;
        }
    }

    ui::qt::MainWindow window;
    if (!window.Logic().Form_Load()) {
        return window.Logic().ExitCode();
    }
    // Offered first next time only once the window has started on it with the stock set in
    // place, so without the message that it is missing.
    if (chosen && ui::qt::HoldsStockSet(files)) {
        ui::qt::RememberGameFolder(*chosen);
    }
    return window.ShowAndRun();
}

} // namespace

int main(int argc, char* argv[])
{
    // A game folder on the command line becomes the working folder before anything else, so
    // the program then runs exactly as if started there.
    const ui::qt::StartRequest request = ui::qt::ReadCommandLine(argc, argv);
    // Answered on standard output before Qt starts, so they work without a display.
    if (request.help || request.version) {
        std::cout << (request.help ? ui::qt::Usage() : "JOV_Enable " JOV_VERSION_TEXT) << '\n';
        return 0;
    }
    platform::NativeFileSystem files;
    std::string problem = request.problem;
    if (problem.empty() && request.folder) {
        problem = ui::qt::EnterFolder(files, *request.folder);
    }

    // Qt sees only the program's name, so its own options (-platform, -style, -reverse, ...)
    // change nothing. The environment still chooses the platform (QT_QPA_PLATFORM).
    char fallbackName[] = "JOV_Enable";
    char* qtArgv[] = {argc > 0 ? argv[0] : fallbackName, nullptr};
    int qtArgc = 1;
#ifdef JOV_WARM_FONTCONFIG
    // Reading the font configuration is the largest part of showing the first text; it runs
    // beside the connection to the display instead of after it.
    std::thread fonts(WarmFontCaches);
    QApplication app(qtArgc, qtArgv);
    fonts.join();
#else
    QApplication app(qtArgc, qtArgv);
#endif
    QApplication::setApplicationName(QStringLiteral("JOV_Enable"));
    QApplication::setApplicationVersion(QStringLiteral(JOV_VERSION_TEXT));
    QGuiApplication::setDesktopFileName(QStringLiteral("jov-enable"));

    if (!problem.empty()) {
        return ui::qt::RefuseCommandLine(problem);
    }
    return ShowWindow(files, request);
}
