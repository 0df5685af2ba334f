#include "game_folder.h"

#include "ui/failure_guard.h"
#include "ui/main_form1.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace
{

struct BoxSeen
{
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;
    bool mainVisible = false;
    bool mainEnabled = false;
};

class UiTest : public GameFolderTest
{
protected:
    void TearDown() override
    {
        window.reset();
        GameFolderTest::TearDown();
    }

    ui::Main_Form1& Open()
    {
        window = std::make_unique<ui::Main_Form1>();
        return *window;
    }

    // The window after a start-up that must succeed, shown.
    ui::Main_Form1& Shown()
    {
        auto& form = Open();
        EXPECT_TRUE(form.Form_Load());
        form.show();
        return form;
    }

    template <typename T = QPushButton> T* Find(const char* name) const
    {
        T* found = window->findChild<T*>(QString::fromUtf8(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    // Answers the next modal window from a timer, so the test never waits for a person:
    // `answer` gets the window once it is the active modal one.
    void WhenModal(std::function<void(QWidget*)> answer)
    {
        auto* timer = new QTimer(qApp);
        timer->setInterval(5);
        QObject::connect(timer, &QTimer::timeout, [timer, answer] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                timer->stop();
                timer->deleteLater();
                answer(modal);
            }
        });
        timer->start();
    }

    // Records the next message box and presses its OK button.
    void AcceptNextBox(std::vector<BoxSeen>& seen)
    {
        WhenModal([this, &seen](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            seen.push_back({box->windowTitle(), box->text(), box->icon(),
                            static_cast<int>(box->buttons().size()), window->isVisible(),
                            window->isEnabled()});
            box->button(QMessageBox::Ok)->click();
        });
    }

    std::unique_ptr<ui::Main_Form1> window;
};

// Calls `onEvent` for each event of one type that reaches the watched object.
class EventSpy final : public QObject
{
public:
    EventSpy(QObject& watched, QEvent::Type type, std::function<void()> onEvent)
        : watched_(watched), type_(type), onEvent_(std::move(onEvent))
    {
        watched_.installEventFilter(this);
    }
    ~EventSpy() override { watched_.removeEventFilter(this); }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == type_) {
            onEvent_();
        }
        return false;
    }

private:
    QObject& watched_;
    QEvent::Type type_;
    std::function<void()> onEvent_;
};

QRect Twips(int left, int top, int width, int height)
{
    return {left / 15, top / 15, width / 15, height / 15};
}

} // namespace

TEST_F(UiTest, ControlsStandWhereAndAsTheyShould)
{
    Record("none");
    auto& form = Open();
    EXPECT_EQ(form.windowTitle(), "JOV Enable-Disable");
    QString titleWhenShown;
    EventSpy spy(form, QEvent::Show, [&] { titleWhenShown = form.windowTitle(); });
    ASSERT_TRUE(form.Form_Load());
    form.show();
    EXPECT_EQ(titleWhenShown, "JOV Enable/Disable (KRS Flight Models)");

    EXPECT_EQ(form.centralWidget()->size(), QSize(385, 266));
    const std::vector<std::tuple<const char*, QString, QRect>> controls{
        {"Install", "Install JOV Panel", Twips(2880, 360, 2415, 495)},
        {"Remove", "KRS  Flight Models", Twips(2880, 2760, 2415, 855)},
        {"Country0", "RAF", Twips(360, 480, 1575, 615)},
        {"Country1", "USAAF", Twips(360, 1440, 1575, 615)},
        {"Country2", "Luftwaffe", Twips(360, 2400, 1575, 615)},
        {"InstallOnline", "Install JOV Online", Twips(2880, 1200, 2415, 495)},
        {"InstallTUK", "Install TUK", Twips(2880, 1920, 2415, 495)},
    };
    auto* frame = Find<QGroupBox>("Frame1");
    EXPECT_EQ(frame->geometry(), Twips(120, 240, 2415, 3375));
    EXPECT_EQ(frame->title(), "Remove Flight Models");
    std::vector<QWidget*> expectedOrder;
    for (const auto& [name, caption, where] : controls) {
        auto* button = Find(name);
        EXPECT_EQ(button->text(), caption) << name;
        EXPECT_EQ(button->geometry(), where) << name;
        EXPECT_FALSE(button->isDefault() || button->autoDefault()) << name;
        EXPECT_EQ(button->parentWidget() == frame, QString(name).startsWith("Country")) << name;
        expectedOrder.push_back(button);
    }

    std::vector<QWidget*> tabOrder;
    QWidget* at = expectedOrder.front();
    do {
        if (at->focusPolicy() & Qt::TabFocus) {
            tabOrder.push_back(at);
        }
        at = at->nextInFocusChain();
    } while (at != expectedOrder.front());
    EXPECT_EQ(tabOrder, expectedOrder);

    // Resizing moves nothing.
    form.resize(900, 700);
    QApplication::processEvents();
    EXPECT_EQ(Find("Remove")->geometry(), Twips(2880, 2760, 2415, 855));
    EXPECT_EQ(Find<QAction>("mnuHelp")->text(), "&Help");
    EXPECT_FALSE(form.windowIcon().isNull());
    EXPECT_EQ(form.windowIcon().availableSizes().value(0), QSize(32, 32));
}

TEST_F(UiTest, FirstStartWithoutStockTellsBeforeTheWindowShows)
{
    std::vector<BoxSeen> seen;
    auto& form = Open();
    AcceptNextBox(seen);
    ASSERT_TRUE(form.Form_Load());

    ASSERT_EQ(seen.size(), 1U);
    EXPECT_EQ(seen[0].title, "JOV Enable-Disable");
    EXPECT_EQ(seen[0].text, "KRS folder does not exist!");
    EXPECT_EQ(seen[0].icon, QMessageBox::NoIcon);
    EXPECT_EQ(seen[0].buttons, 1);
    EXPECT_FALSE(seen[0].mainVisible);
    EXPECT_FALSE(seen[0].mainEnabled);
    EXPECT_TRUE(form.isEnabled());
    EXPECT_EQ(form.windowTitle(), "JOV Enable/Disable (KRS Flight Models)");
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

    // The moment the command disables the window, a click on "KRS  Flight Models" and a key
    // press arrive, as they would while a large set is being copied.
    std::vector<bool> enabledChanges;
    auto* remove = Find("Remove");
    auto spy = std::make_unique<EventSpy>(form, QEvent::EnabledChange, [&] {
        enabledChanges.push_back(form.isEnabled());
        if (!form.isEnabled()) {
            const QPoint centre = remove->rect().center();
            const QPoint global = remove->mapToGlobal(centre);
            for (const auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
                QCoreApplication::postEvent(remove,
                                            new QMouseEvent(type, centre, global, Qt::LeftButton,
                                                            Qt::LeftButton, Qt::NoModifier));
            }
            QCoreApplication::postEvent(
                remove, new QKeyEvent(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " "));
            QCoreApplication::postEvent(
                remove, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, " "));
        }
    });

    QTest::mouseClick(Find("Install"), Qt::LeftButton);
    spy.reset();
    QApplication::processEvents();
    QApplication::processEvents();

    EXPECT_EQ(enabledChanges, (std::vector<bool>{false, true}));
    EXPECT_EQ(Read("jovo.ini"), "\"jov\"\r\n");
    EXPECT_TRUE(Exists("panel.dat"));
    EXPECT_EQ(form.windowTitle(), "JOV Enable/Disable (JOV Panel)");

    // Once the window is enabled again, the same button works.
    QTest::mouseClick(remove, Qt::LeftButton);
    EXPECT_EQ(Read("jovo.ini"), "\"none\"\r\n");
    EXPECT_FALSE(Exists("panel.dat"));
}

TEST_F(UiTest, FailureIsReportedAndEndsTheProgramWithoutEnablingOrWriting)
{
    Record("jov");
    Write("krs/flt.cdf");
    WriteReadOnly("HURR.FLT");
    auto& form = Shown();

    std::vector<BoxSeen> seen;
    AcceptNextBox(seen);
    QTimer::singleShot(0, [&] { QTest::mouseClick(Find("Remove"), Qt::LeftButton); });
    const int status = QApplication::exec();

    EXPECT_EQ(status, ui::kFailureExitCode);
    ASSERT_EQ(seen.size(), 1U);
    EXPECT_EQ(seen[0].title, "JOV Enable-Disable");
    EXPECT_TRUE(seen[0].text.contains("Error 13: Permission denied")) << seen[0].text.toStdString();
    EXPECT_TRUE(seen[0].text.contains("delete \"HURR.FLT\" in " + QString::fromStdString(game)));
    EXPECT_TRUE(form.Failed());
    EXPECT_FALSE(form.isEnabled());
    EXPECT_EQ(Read("jovo.ini"), "\"jov\"\r\n");

    // Nothing runs after the failure, not even a later click.
    QTest::mouseClick(Find("Remove"), Qt::LeftButton);
    EXPECT_TRUE(Exists("HURR.FLT"));
}

TEST_F(UiTest, HelpWindowTextLoadsOnceUntilClosedThroughTitleBar)
{
    Record("none");
    auto& form = Shown();
    QApplication::setActiveWindow(&form);

    std::vector<QString> captions;
    bool mainBlocked = false;
    const auto inspectThen = [&](std::function<void(QWidget*, QLabel*)> leave) {
        WhenModal([&, leave](QWidget* help) {
            auto* label = help->findChild<QLabel*>("Label1");
            ASSERT_NE(label, nullptr);
            EXPECT_EQ(help->windowTitle(), "Help");
            EXPECT_EQ(help->size(), QSize(312, 213));
            EXPECT_EQ(label->geometry(), Twips(120, 120, 4335, 2175));
            EXPECT_EQ(help->findChild<QPushButton*>("Command1")->geometry(),
                      Twips(1800, 2640, 1095, 375));
            EXPECT_EQ(help->parentWidget(), nullptr);
            EXPECT_NE(help->windowIcon().cacheKey(), form.windowIcon().cacheKey());
            mainBlocked = QApplication::activeModalWidget() == help && !form.isActiveWindow();
            captions.push_back(label->property("caption").toString());
            EXPECT_FALSE(label->text().contains('\n'));
            EXPECT_EQ(label->text().count(QChar::LineSeparator), 9);
            leave(help, label);
        });
    };

    // Alt+H chooses Help; OK hides the window, which keeps what its label shows.
    inspectThen([](QWidget* help, QLabel* label) {
        label->setProperty("caption", "kept while hidden");
        help->findChild<QPushButton*>("Command1")->click();
    });
    QTest::keyClick(&form, Qt::Key_H, Qt::AltModifier);
    ASSERT_EQ(captions.size(), 1U);
    EXPECT_TRUE(mainBlocked);
    const QString text = captions[0];
    EXPECT_EQ(text.count('\r'), 9);
    EXPECT_FALSE(text.contains('\n'));
    EXPECT_TRUE(text.startsWith("KRS Flight Model Switcher V2.0\r\rInstall into"));
    EXPECT_TRUE(text.contains("\rInside the KRS  folder create the following folders:\r"));
    EXPECT_TRUE(text.contains("\rTUK - install the TUK files here \rKRS - copy"));

    inspectThen([](QWidget* help, QLabel*) { help->close(); });
    Find<QAction>("mnuHelp")->trigger();
    ASSERT_EQ(captions.size(), 2U);
    EXPECT_EQ(captions[1], "kept while hidden");

    inspectThen([](QWidget* help, QLabel*) { help->close(); });
    Find<QAction>("mnuHelp")->trigger();
    ASSERT_EQ(captions.size(), 3U);
    EXPECT_EQ(captions[2], text); // built anew after the close
}
