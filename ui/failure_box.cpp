#include "ui/failure_guard.h"

#include "switcher/set_table.h"

#include <QMessageBox>
#include <QString>

namespace ui
{

void ShowFailureBox(const std::string& text)
{
    QMessageBox box(QMessageBox::Critical, QString::fromUtf8(switcher::kAppTitle),
                    QString::fromLocal8Bit(text), QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

} // namespace ui
