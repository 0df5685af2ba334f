#include "ui/qt/frm_help.h"

#include "ui/forms.h"
#include "ui/qt/main_window.h"

#include <QCloseEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

namespace ui::qt
{
frmHelp::frmHelp()
    : QDialog(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint)
{
    const forms::HelpForm& form = forms::kHelpForm;
    setObjectName(QString::fromUtf8(form.name));
    setWindowTitle(QString::fromUtf8(form.title));
    // An empty picture rather than a null icon, which would fall back to the program's icon.
    QPixmap blank(32, 32);
    blank.fill(Qt::transparent);
    setWindowIcon(QIcon(blank));
    setSizeGripEnabled(false);

    Label1 = new QLabel(this);
    Label1->setObjectName(QString::fromUtf8(form.labelName));
    Label1->setGeometry(Pixels(form.labelRect));
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setWordWrap(true);
    Label1->setTextFormat(Qt::PlainText);

    Command1 = new QPushButton(QString::fromUtf8(form.okCaption), this);
    Command1->setObjectName(QString::fromUtf8(form.okName));
    Command1->setGeometry(Pixels(form.okRect));
    Command1->setAutoDefault(false);
    Command1->setDefault(false);
    FitCaption(*Command1);
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });

    resize(forms::Px(form.clientWidth), forms::Px(form.clientHeight));
    Form_Load();
}

QString frmHelp::HelpText()
{
    return QString::fromUtf8(forms::HelpText());
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
    // Every line shows whole, wrapped only where it is wider than the label.
    const QRect room = Label1->contentsRect();
    const int flags = static_cast<int>(Label1->alignment()) | Qt::TextWordWrap;
    ShrinkFontToFit(*Label1, [this, room, flags, &shown] {
        return room.contains(Label1->fontMetrics().boundingRect(room, flags, shown));
    });
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

} // namespace ui::qt
