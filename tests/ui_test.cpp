#include "game_folder.h"

#include "ui/failure_guard.h"
#include "ui/qt/main_window.h"

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <functional>
#include <memory>

namespace
{

QRect Twips(int left, int top, int width, int height)
{
    return {left / 15, top / 15, width / 15, height / 15};
}

// Calls `run` for each event of one type that reaches the objects it watches.
struct OnEvent final : QObject
{
    OnEvent(QEvent::Type type, std::function<void()> run) : type(type), run(std::move(run)) {}
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == type) {
            run();
        }
        return false;
    }
    QEvent::Type type;
    std::function<void()> run;
};

class UiTest : public GameFolderTest
{
protected:
    // The window after a start-up that must succeed, shown and active.
    ui::qt::MainWindow& Shown()
    {
        window = std::make_unique<ui::qt::MainWindow>();
        EXPECT_TRUE(window->Logic().Form_Load());
        window->show();
        QApplication::setActiveWindow(window.get());
        return *window;
    }

    template <typename T = QPushButton> T* Find(const char* name) const
    {
        return window->findChild<T*>(name);
    }

    // Answers the next modal window from a timer, so that no test waits for a person.
    static void WhenModal(std::function<void(QWidget*)> answer)
    {
        auto* timer = new QTimer(qApp);
        QObject::connect(timer, &QTimer::timeout, [timer, answer] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                timer->stop();
                timer->deleteLater();
                answer(modal);
            }
        });
        timer->start(5);
    }

    // Checks the next message box with `check`, then presses OK, its only button. Every box of
    // the program bears the application's title.
    void AcceptNextBox(std::function<void(QMessageBox&)> check)
    {
        WhenModal([this, check](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->windowTitle(), "JOV Enable-Disable");
            EXPECT_EQ(box->buttons(), QList{box->button(QMessageBox::Ok)});
            check(*box);
            ++boxesAccepted;
            box->button(QMessageBox::Ok)->click();
        });
    }

    std::unique_ptr<ui::qt::MainWindow> window;
    int boxesAccepted = 0;
};

} // namespace

TEST_F(UiTest, ControlsStandWhereAndAsTheyShould)
{
    Record("none");
    window = std::make_unique<ui::qt::MainWindow>();
    EXPECT_EQ(window->windowTitle(), "JOV Enable-Disable");
    ASSERT_TRUE(window->Logic().Form_Load());
    EXPECT_EQ(window->windowTitle(), "JOV Enable/Disable (KRS Flight Models)"); // before showing
    window->show();

    EXPECT_EQ(window->centralWidget()->size(), QSize(385, 266));
    auto* frame = Find<QGroupBox>("Frame1");
    EXPECT_EQ(frame->geometry(), Twips(120, 240, 2415, 3375));
    EXPECT_EQ(frame->title(), "Remove Flight Models");
    const std::vector<std::tuple<const char*, QString, QRect>> controls{
        // in tab order
        {"Install", "Install JOV Panel", Twips(2880, 360, 2415, 495)},
        {"Remove", "KRS  Flight Models", Twips(2880, 2760, 2415, 855)},
        {"Country0", "RAF", Twips(360, 480, 1575, 615)},
        {"Country1", "USAAF", Twips(360, 1440, 1575, 615)},
        {"Country2", "Luftwaffe", Twips(360, 2400, 1575, 615)},
        {"InstallOnline", "Install JOV Online", Twips(2880, 1200, 2415, 495)},
        {"InstallTUK", "Install TUK", Twips(2880, 1920, 2415, 495)},
    };
    window->resize(900, 700); // moves nothing
    QApplication::processEvents();
    QWidget* previous = Find("InstallTUK");
    for (const auto& [name, caption, where] : controls) {
        auto* button = Find(name);
        EXPECT_EQ(button->text(), caption) << name;
        EXPECT_EQ(button->geometry(), where) << name;
        EXPECT_FALSE(button->isDefault() || button->autoDefault()) << name;
        EXPECT_EQ(button->parentWidget() == frame, QString(name).startsWith("Country")) << name;
        QWidget* next = previous->nextInFocusChain();
        while (!(next->focusPolicy() & Qt::TabFocus)) {
            next = next->nextInFocusChain();
        }
        EXPECT_EQ(next, button) << name; // the tab order
        previous = button;
    }
    EXPECT_EQ(Find<QAction>("mnuHelp")->text(), "&Help");
    EXPECT_EQ(window->windowIcon().availableSizes().value(0), QSize(32, 32));
}

TEST_F(UiTest, FirstStartWithoutStockTellsBeforeTheWindowShows)
{
    window = std::make_unique<ui::qt::MainWindow>();
    AcceptNextBox([this](QMessageBox& box) {
        EXPECT_EQ(box.text(), "KRS folder does not exist!");
        EXPECT_EQ(box.icon(), QMessageBox::NoIcon);
        EXPECT_FALSE(window->isVisible() || window->isEnabled());
    });
    ASSERT_TRUE(window->Logic().Form_Load());

    EXPECT_EQ(boxesAccepted, 1);
    EXPECT_TRUE(window->isEnabled());
    EXPECT_EQ(window->windowTitle(), "JOV Enable/Disable (KRS Flight Models)");
    EXPECT_TRUE(Find("Install")->isEnabled());
    EXPECT_FALSE(Find("Remove")->isEnabled());
    EXPECT_EQ(Read("jovo.ini"), "\"none\"\r\n");
}

TEST_F(UiTest, CommandDisablesWindowAndDropsInputQueuedMeanwhile)
{
    Record("none");
    Write("krs/flt.cdf");
    Write("jov/panel.dat");
    auto& form = Shown();

    // The moment the command disables the window, a click on "KRS  Flight Models", a key press
    // and a close request arrive, as they would while a large set is being copied.
    std::vector<bool> enabledChanges;
    auto* remove = Find("Remove");
    auto spy = std::make_unique<OnEvent>(QEvent::EnabledChange, [&] {
        enabledChanges.push_back(form.isEnabled());
        if (form.isEnabled()) {
            return;
        }
        const QPoint at = remove->rect().center();
        for (const auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QCoreApplication::postEvent(remove, new QMouseEvent(type, at, remove->mapToGlobal(at),
                                                                Qt::LeftButton, Qt::LeftButton,
                                                                Qt::NoModifier));
        }
        for (const auto type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QCoreApplication::postEvent(remove,
                                        new QKeyEvent(type, Qt::Key_Space, Qt::NoModifier, " "));
        }
        QCoreApplication::postEvent(form.windowHandle(), new QCloseEvent);
    });
    form.installEventFilter(spy.get());

    QTest::mouseClick(Find("Install"), Qt::LeftButton);
    spy.reset();
    QApplication::processEvents();
    QApplication::processEvents();

    EXPECT_EQ(enabledChanges, (std::vector<bool>{false, true}));
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(Read("jovo.ini"), "\"jov\"\r\n");

    // Once the window is enabled again, the same button works.
    QTest::mouseClick(remove, Qt::LeftButton);
    EXPECT_EQ(Read("jovo.ini"), "\"none\"\r\n");
}

TEST_F(UiTest, FailureIsReportedAndEndsTheProgramWithoutEnablingOrWriting)
{
    Record("jov");
    Write("krs/flt.cdf");
    WriteReadOnly("HURR.FLT");
    auto& form = Shown();

    AcceptNextBox([this](QMessageBox& box) {
        EXPECT_TRUE(box.text().contains("Error 13: Permission denied")) << box.text().toStdString();
        EXPECT_TRUE(box.text().contains("delete \"HURR.FLT\" in " + QString::fromStdString(game)));
    });
    QTimer::singleShot(0, [&] { QTest::mouseClick(Find("Remove"), Qt::LeftButton); });
    EXPECT_EQ(QApplication::exec(), ui::kFailureExitCode);

    EXPECT_EQ(boxesAccepted, 1);
    EXPECT_TRUE(form.Logic().Failed());
    EXPECT_FALSE(form.isEnabled());
    EXPECT_EQ(Read("jovo.ini"), "\"jov\"\r\n");

    // Nothing runs after the failure, not even a later click.
    QTest::mouseClick(Find("Remove"), Qt::LeftButton);
    EXPECT_TRUE(Exists("HURR.FLT"));
}

TEST_F(UiTest, HelpWindowTextLoadsOnceUntilClosedThroughTitleBar)
{
    Record("none");
    Write("krs/flt.cdf");
    Write("jov/panel.dat");
    auto& form = Shown();
    int helpChosen = 0;
    QObject::connect(Find<QAction>("mnuHelp"), &QAction::triggered, [&] { ++helpChosen; });

    // Each showing: how the help window looks, what its label shows, and that the main window
    // takes no input meanwhile; then it is left as `leave` does.
    std::vector<QString> captions;
    const auto showing = [&](std::function<void(QWidget*, QLabel*)> leave) {
        WhenModal([&, leave](QWidget* help) {
            auto* label = help->findChild<QLabel*>("Label1");
            EXPECT_EQ(help->windowTitle(), "Help");
            EXPECT_EQ(help->size(), QSize(312, 213));
            EXPECT_EQ(label->geometry(), Twips(120, 120, 4335, 2175));
            EXPECT_EQ(help->findChild<QPushButton*>("Command1")->geometry(),
                      Twips(1800, 2640, 1095, 375));
            EXPECT_EQ(help->parentWidget(), nullptr);
            QPixmap empty(32, 32);
            empty.fill(Qt::transparent);
            EXPECT_TRUE(help->windowIcon().pixmap(32).toImage() == empty.toImage());
            // Placed by the platform, as the main window is; not centred on the screen.
            EXPECT_EQ(help->pos(), form.pos());
            const QString caption = label->property("caption").toString();
            // The credit, the last line, fits the label's width: one line, not wrapped.
            EXPECT_LE(label->fontMetrics().horizontalAdvance(caption.split('\r').last()),
                      label->width());
            captions.push_back(caption);
            EXPECT_EQ(label->text(), QString(caption).replace('\r', QChar::LineSeparator));

            // A click on "Install JOV Panel", then Alt+H, even with the main window made active.
            const QPoint install = Find("Install")->mapTo(&form, QPoint(5, 5));
            QTest::mouseClick(form.windowHandle(), Qt::LeftButton, {}, install);
            QApplication::setActiveWindow(&form);
            QTest::keyClick(form.windowHandle(), Qt::Key_H, Qt::AltModifier);
            leave(help, label);
        });
    };

    // Alt+H chooses Help; OK hides the window, which keeps what its label shows.
    showing([](QWidget* help, QLabel* label) {
        label->setProperty("caption", "kept while hidden");
        label->setText("kept while hidden");
        help->findChild<QPushButton*>("Command1")->click();
    });
    QTest::keyClick(&form, Qt::Key_H, Qt::AltModifier);
    ASSERT_EQ(captions.size(), 1U);
    const QStringList lines = captions[0].split('\r'); // the credit, the tenth, is free
    EXPECT_EQ(lines.size(), 10);
    EXPECT_EQ(lines.mid(0, 9),
              (QStringList{
                  "KRS Flight Model Switcher V2.0", "", "Install into a clean KRS v1.2 folder.",
                  "Inside the KRS  folder create the following folders:",
                  "JOV - install the JOV Panel files here ",
                  "JOVO - install the JOV Online files here ", "TUK - install the TUK files here ",
                  "KRS - copy the original KRS FLT.CDF and DATA.CDF files into this folder.", ""}));

    showing([](QWidget* help, QLabel*) { help->windowHandle()->close(); });
    Find<QAction>("mnuHelp")->trigger();
    ASSERT_EQ(captions.size(), 2U);
    EXPECT_EQ(captions[1], "kept while hidden");

    showing([](QWidget* help, QLabel*) { help->windowHandle()->close(); });
    Find<QAction>("mnuHelp")->trigger();
    ASSERT_EQ(captions.size(), 3U);
    EXPECT_EQ(captions[2], captions[0]); // built anew after the close

    EXPECT_EQ(helpChosen, 3);
    EXPECT_EQ(Read("jovo.ini"), "\"none\"\r\n");
}
