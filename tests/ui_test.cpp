#include "game_folder.h"
#include "slow_copies.h"
#include "window_geometry.h"

#include "platform/native_file_system.h"
#include "ui/failure_guard.h"
#include "ui/qt/frm_help.h"
#include "ui/qt/main_window.h"

#include <QAction>
#include <QApplication>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSemaphore>
#include <QStyleOptionGroupBox>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <functional>
#include <memory>

namespace
{

QRect PixelsOf(const Place& place)
{
    return {Pixels(place.left), Pixels(place.top), Pixels(place.width), Pixels(place.height)};
}

class UiTest : public GameFolderTest
{
protected:
    // The window after a start-up that must succeed, shown and active.
    ui::qt::MainWindow& Shown(platform::FileSystem* files = nullptr)
    {
        window = std::make_unique<ui::qt::MainWindow>(files);
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

    std::unique_ptr<ui::qt::MainWindow> window;
};

} // namespace

// Every fixed text where the player reads it, read in the rows' order. The list is the texts
// themselves, never the program's constants: a changed letter anywhere fails its row.
TEST_F(UiTest, EveryFixedTextReadsAsWritten)
{
    ui::qt::frmHelp help;
    window = std::make_unique<ui::qt::MainWindow>();
    // The main window's title once start-up has read `word` from the state file.
    const auto title = [&](const std::string& word) {
        Record(word);
        window = std::make_unique<ui::qt::MainWindow>();
        EXPECT_TRUE(window->Logic().Form_Load());
        return window->windowTitle();
    };
    // The box a click on `button` shows where its set's folder is missing: title, then text.
    const auto box = [&](const char* button) {
        QString shown = title(std::string(button) == "Remove" ? "jov" : "none");
        WhenModal([&shown](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            shown = box->windowTitle() + ": " + box->text();
            box->button(QMessageBox::Ok)->click();
        });
        Find(button)->click();
        return shown;
    };
    const QStringList lines = help.findChild<QLabel*>("Label1")->text().split(QChar::LineSeparator);
    const std::pair<QString, const char*> rows[] = {
        {window->windowTitle(), "JOV Enable-Disable"}, // before start-up
        {help.windowTitle(), "Help"},
        {Find("Install")->text(), "Install JOV Panel"},
        {Find("InstallOnline")->text(), "Install JOV Online"},
        {Find("InstallTUK")->text(), "Install TUK"},
        {Find("Remove")->text(), "KRS  Flight Models"},
        {Find<QGroupBox>("Frame1")->title(), "Remove Flight Models"},
        {Find("Country0")->text(), "RAF"},
        {Find("Country1")->text(), "USAAF"},
        {Find("Country2")->text(), "Luftwaffe"},
        {Find<QAction>("mnuHelp")->text(), "&Help"},
        {help.findChild<QPushButton*>("Command1")->text(), "OK"},
        {title("none"), "JOV Enable/Disable (KRS Flight Models)"},
        {title("jov"), "JOV Enable/Disable (JOV Panel)"},
        {title("jovo"), "JOV Enable/Disable (JOV Online)"},
        {title("tuk"), "JOV Enable/Disable (TUK)"},
        {title("Tuk"), "JOV Enable/Disable (Error)"},
        {box("Install"), "JOV Enable-Disable: Cannot find JOV directory."},
        {box("InstallOnline"), "JOV Enable-Disable: Cannot find JOVO directory."},
        {box("InstallTUK"), "JOV Enable-Disable: Cannot find TUK directory."},
        {box("Remove"), "JOV Enable-Disable: KRS folder does not exist!"},
        {QString::number(lines.size()), "10"}, // help lines
        {lines.value(0), "KRS Flight Model Switcher V2.0"},
        {lines.value(1), ""},
        {lines.value(2), "Install into a clean KRS v1.2 folder."},
        {lines.value(3), "Inside the KRS  folder create the following folders:"},
        {lines.value(4), "JOV - install the JOV Panel files here "},
        {lines.value(5), "JOVO - install the JOV Online files here "},
        {lines.value(6), "TUK - install the TUK files here "},
        {lines.value(7),
         "KRS - copy the original KRS FLT.CDF and DATA.CDF files into this folder."},
        {lines.value(8), ""},
        {lines.value(9), "By the JOV Enable-Disable team."},
    };
    for (const auto& [shown, text] : rows) {
        EXPECT_EQ(shown.toStdString(), text);
    }
}

TEST_F(UiTest, ControlsStandWhereAndAsTheyShould)
{
    Record("none");
    window = std::make_unique<ui::qt::MainWindow>();
    ASSERT_TRUE(window->Logic().Form_Load());
    window->show();

    EXPECT_EQ(window->centralWidget()->size(),
              QSize(Pixels(kMainClientWidth), Pixels(kMainClientHeight)));
    auto* frame = Find<QGroupBox>(kFrame1.name);
    EXPECT_EQ(frame->geometry(), PixelsOf(kFrame1));
    window->resize(900, 700); // moves nothing
    QApplication::processEvents();
    QWidget* previous = Find(kMainButtons.back().name);
    for (const Place& place : kMainButtons) {
        auto* button = Find(place.name);
        EXPECT_EQ(button->geometry(), PixelsOf(place)) << place.name;
        EXPECT_FALSE(button->isDefault() || button->autoDefault()) << place.name;
        EXPECT_EQ(button->parentWidget() == frame, QString(place.name).startsWith("Country"));
        QWidget* next = previous->nextInFocusChain();
        while (!(next->focusPolicy() & Qt::TabFocus)) {
            next = next->nextInFocusChain();
        }
        EXPECT_EQ(next, button) << place.name; // the tab order
        previous = button;
    }
    EXPECT_EQ(window->windowIcon().availableSizes().value(0), QSize(32, 32));
}

// The help text in its label, the frame's title, the captions, in the installed desktop fonts.
TEST_F(UiTest, TextsFitTheirControlsInDesktopFonts)
{
    const QFont desktop = QApplication::font();
    for (const char* family : {"DejaVu Sans", "Noto Sans", "Cantarell"}) {
        for (const int points : {9, 10, 11}) {
            if (!QFontDatabase::hasFamily(family)) {
                continue;
            }
            SCOPED_TRACE(testing::Message() << family << ' ' << points);
            QApplication::setFont(QFont(family, points));
            ui::qt::frmHelp help;
            auto* label = help.findChild<QLabel*>(kLabel1.name);
            const QRect room = label->contentsRect();
            EXPECT_TRUE(room.contains(label->fontMetrics().boundingRect(
                room, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, label->text())));

            window = std::make_unique<ui::qt::MainWindow>();
            auto* frame = Find<QGroupBox>(kFrame1.name);
            QStyleOptionGroupBox title;
            title.initFrom(frame);
            title.text = frame->title();
            title.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
            EXPECT_TRUE(frame->rect().contains(frame->style()->subControlRect(
                QStyle::CC_GroupBox, &title, QStyle::SC_GroupBoxLabel, frame)));
            for (auto* button : window->findChildren<QPushButton*>()) {
                EXPECT_TRUE(button->rect().contains(QRect({}, button->sizeHint())))
                    << button->text().toStdString();
            }
        }
    }
    QApplication::setFont(desktop);
}

// A failure, as the player meets it in Qt, shows its box and then ends the event loop.
TEST_F(UiTest, AFailureShowsItsBoxAndEndsTheEventLoop)
{
    Record("jov");
    Write("krs/flt.cdf");
    WriteReadOnly("HURR.FLT");
    auto& form = Shown();
    int boxes = 0;
    WhenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), "JOV Enable-Disable");
        EXPECT_EQ(box->buttons(), QList{box->button(QMessageBox::Ok)});
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        EXPECT_TRUE(box->text().contains("delete \"HURR.FLT\" in " + QString::fromStdString(game)));
        ++boxes;
        box->button(QMessageBox::Ok)->click();
    });
    QTimer::singleShot(0, [&] { QTest::mouseClick(Find("Remove"), Qt::LeftButton); });
    QTimer::singleShot(10000, [] { QApplication::exit(-1); }); // no box: the test fails, not hangs
    EXPECT_EQ(QApplication::exec(), ui::kFailureExitCode);
    EXPECT_EQ(boxes, 1);
    EXPECT_FALSE(form.isEnabled());
    EXPECT_EQ(Read("jovo.ini"), "\"jov\"\r\n");
}

// On a slow disk a command takes seconds. An event posted to the window's thread meanwhile is
// run within a second each time, and the click, key and close made meanwhile do nothing.
TEST_F(UiTest, AnswersThroughASlowCommandAndTakesNoInputMeanwhile)
{
    Record("none");
    for (char name = 'A'; name <= 'J'; ++name) {
        Write(std::string("jov/") + name + ".DAT");
    }
    platform::NativeFileSystem native;
    const auto act = [&] {
        QTest::mouseClick(Find("Remove"), Qt::LeftButton);
        QTest::keyClick(window.get(), Qt::Key_H, Qt::AltModifier);
        window->close(); // ignored, or the window is hidden
    };
    SlowCopies slow(native);
    slow.act = [&] { QMetaObject::invokeMethod(window.get(), act, Qt::QueuedConnection); };
    slow.answers = [&] {
        auto answered = std::make_shared<QSemaphore>();
        QMetaObject::invokeMethod(
            window.get(), [answered] { answered->release(); }, Qt::QueuedConnection);
        return answered->tryAcquire(1, 1000);
    };
    Shown(&slow);
    int helpChosen = 0;
    QObject::connect(Find<QAction>("mnuHelp"), &QAction::triggered, [&] { ++helpChosen; });

    QTest::mouseClick(Find("Install"), Qt::LeftButton);
    EXPECT_EQ(std::pair(slow.turns, slow.unanswered), std::pair(30, 0));
    EXPECT_EQ(Read("jovo.ini"), "\"jov\"\r\n");
    EXPECT_EQ(helpChosen, 0);
    EXPECT_TRUE(window->isVisible() && window->isEnabled());
    window.reset(); // before the file system it works on
}

// The help window as Qt shows it, its look and text, over a main window that takes no input.
TEST_F(UiTest, HelpWindowHidesOnOkAndUnloadsOnClose)
{
    Record("none");
    Write("jov/panel.dat");
    auto& form = Shown();
    int helpChosen = 0;
    QObject::connect(Find<QAction>("mnuHelp"), &QAction::triggered, [&] { ++helpChosen; });
    std::vector<QString> captions;
    const auto showing = [&](bool close) {
        WhenModal([&, close](QWidget* help) {
            auto* label = help->findChild<QLabel*>(kLabel1.name);
            EXPECT_EQ(help->size(), QSize(Pixels(kHelpClientWidth), Pixels(kHelpClientHeight)));
            EXPECT_EQ(label->geometry(), PixelsOf(kLabel1));
            EXPECT_EQ(help->findChild<QPushButton*>(kCommand1.name)->geometry(),
                      PixelsOf(kCommand1));
            EXPECT_EQ(help->parentWidget(), nullptr);
            QPixmap empty(32, 32);
            empty.fill(Qt::transparent);
            EXPECT_TRUE(help->windowIcon().pixmap(32).toImage() == empty.toImage());
            EXPECT_EQ(help->pos(), form.pos()); // placed by the platform, not centred
            const QString caption = label->property("caption").toString();
            EXPECT_EQ(label->text(), QString(caption).replace('\r', QChar::LineSeparator));
            // The credit, the last line, fits the label's width: one line, not wrapped.
            EXPECT_LE(label->fontMetrics().horizontalAdvance(caption.split('\r').last()),
                      label->width());
            captions.push_back(caption);

            // A click on "Install JOV Panel", then Alt+H, even with the main window active.
            QTest::mouseClick(form.windowHandle(), Qt::LeftButton, {},
                              Find("Install")->mapTo(&form, QPoint(5, 5)));
            QApplication::setActiveWindow(&form);
            QTest::keyClick(form.windowHandle(), Qt::Key_H, Qt::AltModifier);
            label->setProperty("caption", "kept while hidden");
            label->setText("kept while hidden");
            close ? (void)help->windowHandle()->close()
                  : help->findChild<QPushButton*>(kCommand1.name)->click();
        });
    };
    showing(false);
    QTest::keyClick(&form, Qt::Key_H, Qt::AltModifier);
    showing(true);
    Find<QAction>("mnuHelp")->trigger();
    showing(false);
    Find<QAction>("mnuHelp")->trigger();

    ASSERT_EQ(captions.size(), 3U);
    EXPECT_EQ(captions[0].count('\r'), 9); // ten lines, no line feed
    EXPECT_FALSE(captions[0].contains('\n'));
    EXPECT_EQ(captions[1], "kept while hidden");
    EXPECT_EQ(captions[2], captions[0]); // built anew after the close
    EXPECT_EQ(helpChosen, 3);
    EXPECT_EQ(Read("jovo.ini"), "\"none\"\r\n");
}
