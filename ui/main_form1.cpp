#include "ui/main_form1.h"

#include "ui/failure_guard.h"
#include "ui/frm_help.h"
#include "ui/twips.h"

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

} // namespace

Main_Form1::Main_Form1(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Main_Form1"));
    setWindowTitle(QString::fromUtf8(switcher::kAppTitle));
    setWindowIcon(QIcon(QPixmap(jov_enable_xpm)));

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);

    Install = MakeButton(client, "Install", "Install JOV Panel", 2880, 360, 2415, 495);
    Remove = MakeButton(client, "Remove", "KRS  Flight Models", 2880, 2760, 2415, 855);
    Frame1 = new QGroupBox(QStringLiteral("Remove Flight Models"), client);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(Px(120), Px(240), Px(2415), Px(3375));
    Country[0] = MakeButton(Frame1, "Country0", "RAF", 360, 480, 1575, 615);
    Country[1] = MakeButton(Frame1, "Country1", "USAAF", 360, 1440, 1575, 615);
    Country[2] = MakeButton(Frame1, "Country2", "Luftwaffe", 360, 2400, 1575, 615);
    InstallOnline =
        MakeButton(client, "InstallOnline", "Install JOV Online", 2880, 1200, 2415, 495);
    InstallTUK = MakeButton(client, "InstallTUK", "Install TUK", 2880, 1920, 2415, 495);

    setTabOrder(Install, Remove);
    setTabOrder(Remove, Country[0]);
    setTabOrder(Country[0], Country[1]);
    setTabOrder(Country[1], Country[2]);
    setTabOrder(Country[2], InstallOnline);
    setTabOrder(InstallOnline, InstallTUK);

    mnuHelp = menuBar()->addAction(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));

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

    resize(Px(5775), Px(3990) + menuBar()->sizeHint().height());
    qApp->installEventFilter(this);
}

Main_Form1::~Main_Form1()
{
    qApp->removeEventFilter(this);
}

QPushButton* Main_Form1::MakeButton(QWidget* parent, const char* name, const char* caption,
                                    int left, int top, int width, int height)
{
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setObjectName(QString::fromUtf8(name));
    button->setGeometry(Px(left), Px(top), Px(width), Px(height));
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

QPushButton* Main_Form1::ButtonOf(switcher::Control control) const
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
    return nullptr;
}

bool Main_Form1::Form_Load()
{
    bool locked = false;
    Handle([this, &locked] {
        // While the window is open no jov-switch changes the folder behind its back.
        lock_ = platform::FolderLock::Acquire(".", std::chrono::seconds(5));
        if (!lock_) {
            ShowMessage("Another copy of JOV Enable-Disable, or jov-switch, is working on this "
                        "game folder. Close it, then start JOV Enable-Disable again.");
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
    ButtonOf(control)->setEnabled(flag);
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
