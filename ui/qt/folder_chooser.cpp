#include "ui/qt/folder_chooser.h"

#include "ui/qt/start_request.h"

#include "finder/finder.h"
#include "switcher/set_table.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>
#include <thread>

namespace ui::qt
{
namespace
{

QString FromNative(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

// The folder RememberGameFolder kept, as the search finds it, where it still holds the game.
std::optional<finder::Found> LastUsed()
{
    const QFileInfo last(FromNative(RememberedGameFolder()));
    if (!last.isDir()) {
        return std::nullopt;
    }
    const std::string folder = QFile::encodeName(last.canonicalFilePath()).toStdString();
    finder::Search search = finder::Find({{finder::PathOf(folder), 0, "used last time"}});
    if (search.folders.empty()) {
        return std::nullopt;
    }
    return std::move(search.folders.front());
}

// What the folder holds, in the player's words.
QString StateOf(const finder::Found& found)
{
    QString state = found.ready ? QStringLiteral("ready")
                                : QStringLiteral("to prepare: copy the game's FLT.CDF and DATA.CDF "
                                                 "into a new folder named krs in it");
    if (found.installed) {
        const switcher::SetRow* row = switcher::RowOfWord(*found.installed);
        state += !row ? QStringLiteral(", jovo.ini names no set")
                 : row->folder == switcher::SetFolder::Stock
                     ? QStringLiteral(", stock flight models")
                     : QStringLiteral(", %1 installed")
                           .arg(QString::fromUtf8(row->name.data(), row->name.size()));
    }
    return state;
}

// Items no wider than the list, so that a long path is elided where the list sets it, not
// scrolled.
class FittingDelegate final : public QStyledItemDelegate
{
public:
    explicit FittingDelegate(QListWidget* list) : QStyledItemDelegate(list), list_(list) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const QSize natural = QStyledItemDelegate::sizeHint(option, index);
        return {std::min(natural.width(), list_->viewport()->width()), natural.height()};
    }

private:
    QListWidget* list_;
};

class FolderChooser final : public QDialog
{
public:
    explicit FolderChooser(std::optional<std::string> given) : given_(std::move(given))
    {
        setWindowTitle(QString::fromUtf8(kFolderChooserTitle));
        auto* layout = new QVBoxLayout(this);
        status_ = new QLabel;
        status_->setObjectName(QStringLiteral("searchStatus"));
        status_->setWordWrap(true);
        layout->addWidget(status_);
        list_ = new QListWidget;
        list_->setObjectName(QStringLiteral("foundFolders"));
        list_->setMinimumSize(560, 220);
        // A long path keeps its beginning and the folder's own name; the tooltip has it whole.
        list_->setTextElideMode(Qt::ElideMiddle);
        list_->setWordWrap(false);
        list_->setItemDelegate(new FittingDelegate(list_));
        list_->setResizeMode(QListView::Adjust);
        list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        layout->addWidget(list_, 1);
        auto* buttons = new QDialogButtonBox;
        open_ = buttons->addButton(QStringLiteral("&Open"), QDialogButtonBox::AcceptRole);
        open_->setObjectName(QStringLiteral("openFolder"));
        open_->setEnabled(false);
        open_->setDefault(true);
        auto* other =
            buttons->addButton(QStringLiteral("&Other folder…"), QDialogButtonBox::ActionRole);
        other->setObjectName(QStringLiteral("otherFolder"));
        auto* searchFolder = buttons->addButton(QStringLiteral("Search &a folder or drive…"),
                                                QDialogButtonBox::ActionRole);
        searchFolder->setObjectName(QStringLiteral("searchFolder"));
        stop_ = buttons->addButton(QStringLiteral("&Stop searching"), QDialogButtonBox::ActionRole);
        stop_->setObjectName(QStringLiteral("stopSearch"));
        buttons->addButton(QDialogButtonBox::Cancel);
        layout->addWidget(buttons);

        connect(list_, &QListWidget::currentRowChanged, this,
                [this](int row) { open_->setEnabled(row >= 0); });
        if (std::optional<finder::Found> last = LastUsed()) {
            last_ = last->folder;
            found_.push_back(std::move(*last));
        }
        Fill({});
        connect(list_, &QListWidget::itemActivated, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        connect(other, &QPushButton::clicked, this, &FolderChooser::ChooseOther);
        connect(stop_, &QPushButton::clicked, this, [this] { search_.request_stop(); });
        connect(searchFolder, &QPushButton::clicked, this, &FolderChooser::SearchFolder);

        SetStatus(QStringLiteral("Searching Wine prefixes, Lutris, Bottles, PlayOnLinux and "
                                 "Steam for KRS 1.2…"));
        StartSearch([](std::stop_token stop) { return finder::FindGameFolders({}, stop); });
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

protected:
    void showEvent(QShowEvent* event) override
    {
        QDialog::showEvent(event);
        FitList();
    }

    void resizeEvent(QResizeEvent* event) override
    {
        QDialog::resizeEvent(event);
        FitStatus();
    }

private:
    // Lists the folders found so far: ready ones first, otherwise in the order found, which the
    // one used last leads. The current row is `preferred`'s, or else the first.
    void Fill(const std::string& preferred)
    {
        std::vector<const finder::Found*> order;
        for (const finder::Found& found : found_) {
            order.push_back(&found);
        }
        std::stable_sort(order.begin(), order.end(),
                         [](const auto* a, const auto* b) { return a->ready && !b->ready; });
        list_->clear();
        for (const finder::Found* found : order) {
            const QString folder = FromNative(found->folder);
            const QString about =
                StateOf(*found) + QStringLiteral(" · ") +
                (found->folder == last_
                     ? QStringLiteral("used last time")
                     : QStringLiteral("found in ") + QString::fromStdString(found->source));
            auto* item = new QListWidgetItem(folder + QStringLiteral("\n    ") + about, list_);
            item->setData(Qt::UserRole, folder);
            item->setToolTip(folder);
            if (found->folder == preferred || list_->currentRow() < 0) {
                list_->setCurrentItem(item);
            }
        }
        FitList();
    }

    // Grows the window with the list, up to three quarters of the screen, once it is laid out.
    void FitList()
    {
        if (!isVisible()) {
            return;
        }
        const QRect screen = this->screen()->availableGeometry();
        int textWidth = 0;
        for (int row = 0; row < list_->count(); ++row) {
            for (const QString& line : list_->item(row)->text().split(QLatin1Char('\n'))) {
                textWidth = std::max(textWidth, list_->fontMetrics().horizontalAdvance(line));
            }
        }
        // The frame, the scroll bar, and room for the item's margins.
        const int frame = 2 * list_->frameWidth();
        const QSize rows(textWidth + frame + list_->verticalScrollBar()->sizeHint().width() +
                             list_->fontMetrics().averageCharWidth() * 2,
                         list_->count() * std::max(list_->sizeHintForRow(0), 0) + frame);
        const QSize wanted =
            (size() - list_->size() + rows).boundedTo(screen.size() * 3 / 4).expandedTo(size());
        if (wanted != size()) {
            resize(wanted);
            if (!screen.contains(frameGeometry())) {
                move(screen.center() - rect().center());
            }
        }
    }

    void SetStatus(const QString& text)
    {
        status_->setText(text);
        FitStatus();
    }

    // A word-wrapped label takes the height its text needs at the window's width, so that the
    // window grows with it instead of laying the list over the buttons.
    void FitStatus()
    {
        const int height = status_->heightForWidth(status_->width());
        if (height > 0 && height != status_->minimumHeight()) {
            status_->setMinimumHeight(height);
        }
    }

    // Runs `search` beside the window, with the search's bounds. A search started later stops
    // this one; what it found until then is still listed.
    void StartSearch(std::function<finder::Search(std::stop_token)> search)
    {
        const int generation = ++generation_;
        stop_->show();
        search_ =
            std::jthread([this, generation, search = std::move(search)](std::stop_token stop) {
                finder::Search found = search(stop);
                QMetaObject::invokeMethod(
                    this, [this, generation, found = std::move(found)] { Show(found, generation); },
                    Qt::QueuedConnection);
            });
    }

    // What the known places miss: a folder or a whole drive the player names, searched deep.
    void SearchFolder()
    {
        const std::optional<std::string> folder = ChooseFolderToSearch();
        if (!folder) {
            return;
        }
        searched_ = FromNative(*folder);
        SetStatus(QStringLiteral("Searching %1 for KRS 1.2…").arg(searched_));
        StartSearch([folder = *folder](std::stop_token stop) {
            return finder::Find({{finder::PathOf(folder), finder::kNamedFolderDepth, folder}}, {},
                                stop);
        });
    }

    void Show(const finder::Search& search, int generation)
    {
        for (const finder::Found& found : search.folders) {
            if (std::none_of(found_.begin(), found_.end(),
                             [&](const auto& at) { return at.folder == found.folder; })) {
                found_.push_back(found);
            }
        }
        // What a search of the player's own finds is chosen: its first ready folder, if any.
        const auto ready = std::find_if(search.folders.begin(), search.folders.end(),
                                        [](const finder::Found& found) { return found.ready; });
        Fill(searched_.isEmpty() || search.folders.empty() ? std::string()
             : ready != search.folders.end()               ? ready->folder
                                                           : search.folders.front().folder);
        if (generation != generation_) {
            return; // a later search runs
        }
        stop_->hide();
        const QString where = searched_.isEmpty() ? QStringLiteral("Wine prefixes, Lutris, "
                                                                   "Bottles, PlayOnLinux or Steam")
                                                  : searched_;
        const QString other =
            QStringLiteral("Choose it with \"Other folder…\", or search a folder or drive.");
        if (list_->count() > 0) {
            SetStatus(search.complete ? QStringLiteral("Choose the KRS 1.2 game folder:")
                                      : QStringLiteral("Choose the KRS 1.2 game folder. The search "
                                                       "stopped early: if yours is not listed, "
                                                       "search a folder or drive."));
        } else {
            SetStatus((search.complete
                           ? QStringLiteral("No KRS 1.2 game folder was found in %1. ")
                           : QStringLiteral("The search stopped early, and found no KRS "
                                            "1.2 game folder in %1 so far. "))
                          .arg(where) +
                      other);
        }
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
    std::vector<finder::Found> found_; // every folder found, in the order found
    std::string last_;                 // the folder used last time, when it still holds the game
    QString other_;
    QString searched_;   // the folder the player named for the last search; empty: known places
    int generation_ = 0; // of the search whose end the window shows
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
