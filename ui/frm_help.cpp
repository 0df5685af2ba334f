#include "ui/frm_help.h"

#include "ui/twips.h"

#include <QCloseEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QStringList>

namespace ui
{

frmHelp::frmHelp()
    : QDialog(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(QStringLiteral("Help"));
    // An empty picture rather than a null icon, which would fall back to the program's icon.
    QPixmap blank(32, 32);
    blank.fill(Qt::transparent);
    setWindowIcon(QIcon(blank));
    setSizeGripEnabled(false);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(Px(120), Px(120), Px(4335), Px(2175));
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setWordWrap(true);
    Label1->setTextFormat(Qt::PlainText);

    Command1 = new QPushButton(QStringLiteral("OK"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(Px(1800), Px(2640), Px(1095), Px(375));
    Command1->setAutoDefault(false);
    Command1->setDefault(false);
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });

    resize(Px(4680), Px(3195));
    Form_Load();
}

QString frmHelp::HelpText()
{
    return QStringList{
        QStringLiteral("KRS Flight Model Switcher V2.0"),
        QString(),
        QStringLiteral("Install into a clean KRS v1.2 folder."),
        QStringLiteral("Inside the KRS  folder create the following folders:"),
        QStringLiteral("JOV - install the JOV Panel files here "),
        QStringLiteral("JOVO - install the JOV Online files here "),
        QStringLiteral("TUK - install the TUK files here "),
        QStringLiteral("KRS - copy the original KRS FLT.CDF and DATA.CDF files into this folder."),
        QString(),
        QStringLiteral("By the JOV Enable-Disable team."),
    }
        .join(QChar(u'\r'));
}

void frmHelp::Form_Load()
{
    // The caption keeps its carriage returns; the label breaks lines only at a line separator,
    // so it is shown with one in each carriage return's place.
    const QString caption = HelpText();
    Label1->setProperty("caption", caption);
    QString shown = caption;
    shown.replace(QChar(u'\r'), QChar(QChar::LineSeparator));
    Label1->setText(shown);
}

void frmHelp::ShowModal()
{
    setWindowModality(Qt::ApplicationModal);
    exec();
}

void frmHelp::Command1_Click()
{
    hide();
}

void frmHelp::closeEvent(QCloseEvent* event)
{
    unloaded_ = true;
    QDialog::closeEvent(event);
}

void frmHelp::showEvent(QShowEvent* event)
{
    // QDialog's own handler centres the window on the screen, which fixes its position; the
    // window manager places it instead, as it places the main window.
    QWidget::showEvent(event);
}

void frmHelp::keyPressEvent(QKeyEvent* event)
{
    // Command1 is not the cancel button: Escape does not put the window away.
    if (event->key() == Qt::Key_Escape) {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace ui
