#include "ui/failure_guard.h"

#include "platform/fs_error.h"
#include "switcher/set_table.h"

#include <QMessageBox>
#include <QString>

#include <exception>

namespace ui
{
namespace
{

void ShowFailure(const QString& text) noexcept
{
    try {
        QMessageBox box(QMessageBox::Critical, QString::fromUtf8(switcher::kAppTitle),
                        text + QStringLiteral("\n\nJOV Enable-Disable will close now."),
                        QMessageBox::Ok);
        box.setTextFormat(Qt::PlainText);
        box.setWindowModality(Qt::ApplicationModal);
        box.exec();
    } catch (...) {
        // Nothing more can be shown; the program still ends with the failure status.
    }
}

} // namespace

bool RunGuarded(const std::function<void()>& handler)
{
    try {
        handler();
        return true;
    } catch (const platform::FsError& error) {
        ShowFailure(QString::fromLocal8Bit(error.Report()));
    } catch (const std::exception& error) {
        ShowFailure(QStringLiteral("Unexpected failure: ") + QString::fromLocal8Bit(error.what()));
    } catch (...) {
        ShowFailure(QStringLiteral("Unexpected failure."));
    }
    return false;
}

} // namespace ui
