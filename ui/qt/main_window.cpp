#include "ui/qt/main_window.h"

#include "ui/forms.h"
#include "ui/qt/frm_help.h"

#include "packaging/jov-enable.xpm"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QFontInfo>
#include <QGroupBox>
#include <QIcon>
#include <QMenuBar>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <QWindow>

#include <algorithm>

namespace ui::qt
{
namespace
{

// Smaller text is hard to read; a text that does not fit at this size is cut at the edge of its
// control, as the label cuts the help text.
constexpr int kSmallestPixelSize = 8;

// The frame's title, which the style draws above the frame's line, within the frame.
void FitTitle(QGroupBox& frame)
{
    ShrinkFontToFit(frame, [&frame] {
        QStyleOptionGroupBox option;
        option.initFrom(&frame);
        option.text = frame.title();
        option.textAlignment = frame.alignment();
        option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        return frame.rect().contains(frame.style()->subControlRect(
            QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, &frame));
    });
}

bool IsUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
        return true;
    default:
        return false;
    }
}

} // namespace

QRect Pixels(const forms::TwipRect& twips)
{
    return {forms::Px(twips.left), forms::Px(twips.top), forms::Px(twips.width),
            forms::Px(twips.height)};
}

void ShrinkFontToFit(QWidget& widget, const std::function<bool()>& fits)
{
    // Each fitted control holds its own size, so a frame's smaller title leaves the buttons
    // inside it at the window's size.
    QFont font = widget.window()->font();
    qreal points = font.pointSizeF() > 0 ? font.pointSizeF() : QFontInfo(font).pointSizeF();
    font.setPointSizeF(points);
    widget.setFont(font);
    const qreal smallest = kSmallestPixelSize * 72.0 / widget.logicalDpiY();
    while (points > smallest && !fits()) {
        points = std::max(points - 0.25, smallest);
        font.setPointSizeF(points);
        widget.setFont(font);
    }
}

void FitCaption(QPushButton& button)
{
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    const QRect room =
        button.style()->subElementRect(QStyle::SE_PushButtonContents, &option, &button);
    ShrinkFontToFit(button, [&button, room] {
        const QSize caption = button.fontMetrics().size(Qt::TextShowMnemonic, button.text());
        return caption.width() <= room.width() && caption.height() <= room.height();
    });
}

MainWindow::MainWindow(platform::FileSystem* files) : form_(*this, files)
{
    const forms::MainForm& form = forms::kMainForm;
    setObjectName(QString::fromUtf8(form.name));
    setWindowTitle(QString::fromUtf8(form.title));
    setWindowIcon(QIcon(QPixmap(jov_enable_xpm)));

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);

    Frame1 = new QGroupBox(QString::fromUtf8(form.frame.caption), client);
    Frame1->setObjectName(QString::fromUtf8(form.frame.name));
    Frame1->setGeometry(Pixels(form.frame.rect));
    FitTitle(*Frame1);
    QPushButton* previous = nullptr;
    for (const forms::ButtonForm& buttonForm : form.buttons) {
        auto* button = new QPushButton(QString::fromUtf8(switcher::CaptionOf(buttonForm.control)),
                                       buttonForm.inFrame ? Frame1 : client);
        button->setObjectName(QString::fromStdString(forms::ButtonName(buttonForm.control)));
        button->setGeometry(Pixels(buttonForm.rect));
        button->setAutoDefault(false);
        button->setDefault(false);
        FitCaption(*button);
        const switcher::Control control = buttonForm.control;
        connect(button, &QPushButton::clicked, this, [this, control] { form_.Click(control); });
        buttons_[static_cast<std::size_t>(control)] = button;
        if (previous != nullptr) {
            setTabOrder(previous, button);
        }
        previous = button;
    }

    mnuHelp = menuBar()->addAction(QString::fromUtf8(form.menuCaption));
    mnuHelp->setObjectName(QString::fromUtf8(form.menuName));
    connect(mnuHelp, &QAction::triggered, this, [this] { form_.mnuHelp_Click(); });

    resize(forms::Px(form.clientWidth),
           forms::Px(form.clientHeight) + menuBar()->sizeHint().height());
    qApp->installEventFilter(this);
}

MainWindow::~MainWindow()
{
    qApp->removeEventFilter(this);
}

void MainWindow::SetCaption(const std::string& text)
{
    setWindowTitle(QString::fromLocal8Bit(text));
}

void MainWindow::SetButtonEnabled(switcher::Control control, bool flag)
{
    buttons_[static_cast<std::size_t>(control)]->setEnabled(flag);
}

void MainWindow::SetWindowEnabled(bool flag)
{
    setEnabled(flag);
    if (!flag && isVisible()) {
        repaint(); // shows the greyed buttons without a turn of the event loop
    }
}

void MainWindow::RunBusy(BusyWork& work)
{
    QEventLoop loop;
    busyWork_ = &work;
    busyLoop_ = &loop;
    // Called from the work's thread; the call is queued for this one.
    work.Start([this] {
        QMetaObject::invokeMethod(
            this, [this] { ServeBusy(); }, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    busyWork_ = nullptr;
    busyLoop_ = nullptr;
}

// Also reached from a box's own event loop while a call the work handed over shows it.
void MainWindow::ServeBusy()
{
    if (busyWork_ != nullptr && busyWork_->Serve()) {
        busyLoop_->quit();
    }
}

void MainWindow::DropQueuedInput()
{
    // Delivered now to a window that is still disabled and busy, the input is dropped.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

void MainWindow::ShowBox(const std::string& text, BoxIcon icon)
{
    qt::ShowBox(text, icon);
}

std::unique_ptr<HelpWindow> MainWindow::LoadHelp()
{
    return std::make_unique<frmHelp>();
}

int MainWindow::ShowAndRun()
{
    show();
    return QApplication::exec();
}

void MainWindow::EndProgram(int status)
{
    QCoreApplication::exit(status);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (form_.Busy() && event->type() == QEvent::Close && watched == this) {
        // A close from the title bar, Alt+F4 or the window manager is the player's input too;
        // ignored, the close event keeps the window open.
        event->ignore();
        return true;
    }
    if (form_.Busy() && IsUserInput(event->type())) {
        if (const auto* widget = qobject_cast<QWidget*>(watched);
            widget != nullptr && widget->window() == this) {
            return true;
        }
        if (watched == windowHandle()) {
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void ShowBox(const std::string& text, BoxIcon icon)
{
    const QMessageBox::Icon shown = icon == BoxIcon::Error     ? QMessageBox::Critical
                                    : icon == BoxIcon::Warning ? QMessageBox::Warning
                                                               : QMessageBox::NoIcon;
    QMessageBox box(shown, QString::fromUtf8(switcher::kAppTitle), QString::fromLocal8Bit(text),
                    QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

} // namespace ui::qt
