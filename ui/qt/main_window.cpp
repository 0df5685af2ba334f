#include "ui/qt/main_window.h"

#include "ui/forms.h"
#include "ui/qt/frm_help.h"

#include "packaging/jov-enable.xpm"

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QIcon>
#include <QMenuBar>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QWindow>

namespace ui::qt
{
namespace
{

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

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent)
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
    QPushButton* previous = nullptr;
    for (const forms::ButtonForm& spec : form.buttons) {
        auto* button =
            new QPushButton(QString::fromUtf8(spec.caption), spec.inFrame ? Frame1 : client);
        button->setObjectName(QString::fromUtf8(spec.name));
        button->setGeometry(Pixels(spec.rect));
        button->setAutoDefault(false);
        button->setDefault(false);
        const switcher::Control control = spec.control;
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
