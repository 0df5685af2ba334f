#include "ui/qt/folder_chooser.h"

#include "ui/qt/start_request.h"

#include "finder/finder.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QVBoxLayout>

#include <thread>

namespace ui::qt
{
namespace
{

QString FromNative(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

// The folder RememberGameFolder kept, where it still is.
QString LastUsed()
{
    const QString file = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                         QStringLiteral("/jov-enable/jov-enable.conf");
    const QString last =
        QSettings(file, QSettings::IniFormat).value(QStringLiteral("LastGameFolder")).toString();
    return QFileInfo(last).isDir() ? QFileInfo(last).canonicalFilePath() : QString();
}

class FolderChooser final : public QDialog
{
public:
    explicit FolderChooser(std::optional<std::string> given) : given_(std::move(given))
    {
        setWindowTitle(QString::fromUtf8(kFolderChooserTitle));
        auto* layout = new QVBoxLayout(this);
        status_ = new QLabel(QStringLiteral("Searching Wine prefixes, Lutris, Bottles, "
                                            "PlayOnLinux and Steam for KRS 1.2…"));
        status_->setObjectName(QStringLiteral("searchStatus"));
        status_->setWordWrap(true);
        layout->addWidget(status_);
        list_ = new QListWidget;
        list_->setObjectName(QStringLiteral("foundFolders"));
        list_->setMinimumSize(560, 220);
        layout->addWidget(list_);
        auto* buttons = new QDialogButtonBox;
        open_ = buttons->addButton(QStringLiteral("&Open"), QDialogButtonBox::AcceptRole);
        open_->setObjectName(QStringLiteral("openFolder"));
        open_->setEnabled(false);
        open_->setDefault(true);
        auto* other =
            buttons->addButton(QStringLiteral("&Other folder…"), QDialogButtonBox::ActionRole);
        other->setObjectName(QStringLiteral("otherFolder"));
        stop_ = buttons->addButton(QStringLiteral("&Stop searching"), QDialogButtonBox::ActionRole);
        stop_->setObjectName(QStringLiteral("stopSearch"));
        buttons->addButton(QDialogButtonBox::Cancel);
        layout->addWidget(buttons);

        connect(list_, &QListWidget::currentRowChanged, this,
                [this](int row) { open_->setEnabled(row >= 0); });
        const QString last = LastUsed();
        if (!last.isEmpty()) {
            Add(last, QStringLiteral("used last time"));
        }
        connect(list_, &QListWidget::itemActivated, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        connect(other, &QPushButton::clicked, this, &FolderChooser::ChooseOther);
        connect(stop_, &QPushButton::clicked, this, [this] { search_.request_stop(); });

        search_ = std::jthread([this](std::stop_token stop) {
            finder::Search found = finder::FindGameFolders({}, stop);
            QMetaObject::invokeMethod(
                this, [this, found = std::move(found)] { Show(found); }, Qt::QueuedConnection);
        });
    }

    std::optional<std::string> Chosen() const
    {
        if (!other_.isEmpty()) {
            return QFile::encodeName(other_).toStdString();
        }
        const QListWidgetItem* item = list_->currentItem();
        if (item == nullptr) {
            return std::nullopt;
        }
        return QFile::encodeName(item->data(Qt::UserRole).toString()).toStdString();
    }

private:
    void Add(const QString& folder, const QString& about)
    {
        for (int row = 0; row < list_->count(); ++row) {
            if (list_->item(row)->data(Qt::UserRole).toString() == folder) {
                return; // the last used folder, found again
            }
        }
        auto* item = new QListWidgetItem(folder + QStringLiteral("\n    ") + about, list_);
        item->setData(Qt::UserRole, folder);
        if (list_->currentRow() < 0) {
            list_->setCurrentItem(item);
        }
    }

    void Show(const finder::Search& search)
    {
        for (const finder::Found& found : search.folders) {
            QString about = found.ready ? QStringLiteral("ready")
                                        : QStringLiteral("to prepare: make its KRS folder first "
                                                         "(Help says how)");
            if (found.installed) {
                about += QStringLiteral(", \"%1\" installed").arg(FromNative(*found.installed));
            }
            Add(FromNative(found.folder),
                about + QStringLiteral(" · found in ") + QString::fromStdString(found.source));
        }
        stop_->hide();
        status_->setText((list_->count() == 0
                              ? QStringLiteral("No KRS 1.2 game folder was found in Wine "
                                               "prefixes, Lutris, Bottles, PlayOnLinux or "
                                               "Steam. Choose it with \"Other folder…\".")
                              : QStringLiteral("Choose the KRS 1.2 game folder:")) +
                         (search.complete ? QString()
                                          : QStringLiteral(" (The search stopped before it looked "
                                                           "everywhere.)")));
    }

    void ChooseOther()
    {
        const std::optional<std::string> chosen = ChooseGameFolder(given_);
        if (chosen) {
            other_ = FromNative(*chosen);
            accept();
        }
    }

    std::optional<std::string> given_;
    QLabel* status_ = nullptr;
    QListWidget* list_ = nullptr;
    QPushButton* open_ = nullptr;
    QPushButton* stop_ = nullptr;
    QString other_;
    // Last, so that it is stopped and joined before the widgets it reports to go.
    std::jthread search_;
};

} // namespace

std::optional<std::string> ChooseFoundFolder(const std::optional<std::string>& given)
{
    FolderChooser chooser(given);
    if (chooser.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return chooser.Chosen();
}

} // namespace ui::qt
