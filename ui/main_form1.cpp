#include "ui/main_form1.h"

#include "ui/failure_guard.h"
#include "ui/forms.h"
#include "ui/frm_help.h"

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

#include <stdexcept>

namespace ui
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

QRect Rect(const forms::TwipRect& twips)
{
    return {forms::Px(twips.left), forms::Px(twips.top), forms::Px(twips.width),
            forms::Px(twips.height)};
}

} // namespace

Main_Form1::Main_Form1(QWidget* parent) : QMainWindow(parent)
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
    Frame1->setGeometry(Rect(form.frame.rect));
    QPushButton* previous = nullptr;
    for (const forms::ButtonForm& button : form.buttons) {
        QPushButton* made = MakeButton(button.inFrame ? Frame1 : client, button);
        SlotOf(button.control) = made;
        if (previous != nullptr) {
            setTabOrder(previous, made);
        }
        previous = made;
    }

    mnuHelp = menuBar()->addAction(QString::fromUtf8(form.menuCaption));
    mnuHelp->setObjectName(QString::fromUtf8(form.menuName));

    connect(Install, &QPushButton::clicked, this, [this] { Handle([this] { Install_Click(); }); });
    connect(InstallOnline, &QPushButton::clicked, this,
            [this] { Handle([this] { InstallOnline_Click(); }); });
    connect(InstallTUK, &QPushButton::clicked, this,
            [this] { Handle([this] { InstallTUK_Click(); }); });
    connect(Remove, &QPushButton::clicked, this, [this] { Handle([this] { Remove_Click(); }); });
    for (int index = 0; index < switcher::kCountryCount; ++index) {
        connect(Country[static_cast<std::size_t>(index)], &QPushButton::clicked, this,
                [this, index] { Handle([this, index] { Country_Click(index); }); });
    }
    connect(mnuHelp, &QAction::triggered, this, [this] { Handle([this] { mnuHelp_Click(); }); });

    resize(forms::Px(form.clientWidth),
           forms::Px(form.clientHeight) + menuBar()->sizeHint().height());
    qApp->installEventFilter(this);
}

Main_Form1::~Main_Form1()
{
    qApp->removeEventFilter(this);
}

QPushButton* Main_Form1::MakeButton(QWidget* parent, const forms::ButtonForm& form)
{
    auto* button = new QPushButton(QString::fromUtf8(form.caption), parent);
    button->setObjectName(QString::fromUtf8(form.name));
    button->setGeometry(Rect(form.rect));
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

QPushButton*& Main_Form1::SlotOf(switcher::Control control)
{
    switch (control) {
    case switcher::Control::Install:
        return Install;
    case switcher::Control::InstallOnline:
        return InstallOnline;
    case switcher::Control::InstallTUK:
        return InstallTUK;
    case switcher::Control::Remove:
        return Remove;
    case switcher::Control::Country0:
        return Country[0];
    case switcher::Control::Country1:
        return Country[1];
    case switcher::Control::Country2:
        return Country[2];
    }
    throw std::logic_error("no button for a control");
}

bool Main_Form1::Form_Load()
{
    bool locked = false;
    Handle([this, &locked] {
        // While the window is open no jov-switch changes the folder behind its back.
        lock_ = platform::FolderLock::Acquire(".", std::chrono::seconds(5));
        if (!lock_) {
            ShowMessage(std::string(forms::kFolderBusyMessage));
            return;
        }
        locked = true;
        switcher_.Start();
    });
    if (failed_) {
        exitCode_ = kFailureExitCode;
        return false;
    }
    if (!locked) {
        exitCode_ = 1;
        return false;
    }
    return true;
}

void Main_Form1::Handle(const std::function<void()>& handler)
{
    if (failed_) {
        return;
    }
    ++handlerDepth_;
    const bool done = RunGuarded(handler);
    --handlerDepth_;
    if (!done) {
        // The window stays disabled and takes no input until the program has ended.
        failed_ = true;
        busy_ = true;
        QCoreApplication::exit(kFailureExitCode);
        return;
    }
    if (handlerDepth_ == 0 && enablePending_) {
        EnableAfterCommand();
    }
}

void Main_Form1::EnableAfterCommand()
{
    // Input the window system queued while the command ran is delivered now, to a window that
    // is still disabled and busy, and so dropped.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    enablePending_ = false;
    busy_ = false;
    setEnabled(true);
}

void Main_Form1::SetCaption(const std::string& text)
{
    setWindowTitle(QString::fromLocal8Bit(text));
}

void Main_Form1::SetEnabled(switcher::Control control, bool flag)
{
    SlotOf(control)->setEnabled(flag);
}

void Main_Form1::SetWindowEnabled(bool flag)
{
    if (!flag) {
        busy_ = true;
        enablePending_ = false;
        setEnabled(false);
        if (isVisible()) {
            repaint(); // shows the greyed buttons without a turn of the event loop
        }
        return;
    }
    if (handlerDepth_ > 0) {
        enablePending_ = true;
        return;
    }
    busy_ = false;
    setEnabled(true);
}

void Main_Form1::ShowMessage(const std::string& text)
{
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(switcher::kAppTitle),
                    QString::fromLocal8Bit(text), QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

bool Main_Form1::eventFilter(QObject* watched, QEvent* event)
{
    if (busy_ && event->type() == QEvent::Close && watched == this) {
        // A close from the title bar, Alt+F4 or the window manager is the player's input too;
        // ignored, the close event keeps the window open.
        event->ignore();
        return true;
    }
    if (busy_ && IsUserInput(event->type())) {
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

void Main_Form1::Install_Click()
{
    switcher_.Install_Click();
}

void Main_Form1::InstallOnline_Click()
{
    switcher_.InstallOnline_Click();
}

void Main_Form1::InstallTUK_Click()
{
    switcher_.InstallTUK_Click();
}

void Main_Form1::Remove_Click()
{
    switcher_.Remove_Click();
}

void Main_Form1::Country_Click(int index)
{
    switcher_.Country_Click(static_cast<std::int16_t>(index));
}

void Main_Form1::mnuHelp_Click()
{
    if (!help_) {
        help_ = std::make_unique<frmHelp>();
    }
    help_->ShowModal();
    if (help_->Unloaded()) {
        help_.reset();
    }
}

} // namespace ui
