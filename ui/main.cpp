#include "ui/main_form1.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("JOV_Enable"));
    QApplication::setApplicationVersion(QStringLiteral(JOV_VERSION_TEXT));

    ui::Main_Form1 window;
    if (!window.Form_Load()) {
        return window.ExitCode();
    }
    window.show();
    return QApplication::exec();
}
