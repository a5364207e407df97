#include "widgets/survey_dialog.h"

#include <QFrame>

#include "widgets/fonts.h"
#include "widgets/guard.h"
#include "widgets/speed_button.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>

namespace zarn::ui {

QFrame *whitePanel(const QString &name, QWidget *parent)
{
    auto *p = new QFrame(parent);
    p->setObjectName(name);
    p->setAutoFillBackground(true);
    QPalette pal = p->palette();
    pal.setColor(QPalette::Window, Qt::white);
    p->setPalette(pal);
    return p;
}

void noAutoDefault(QWidget *root)
{
    if (!root) return;
    QList<QPushButton *> buttons = root->findChildren<QPushButton *>();
    if (auto *self = qobject_cast<QPushButton *>(root)) buttons.prepend(self);
    for (QPushButton *b : std::as_const(buttons)) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
}

SurveyDialog::SurveyDialog(QWidget *parent)
    : QDialog(parent)
{
    setFont(songFont(9));
    setWindowIcon(surveyWindowIcon());
}

SurveyDialog::~SurveyDialog() = default;

void SurveyDialog::centreOnScreen()
{
    QScreen *screen = this->screen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    QRect frame = frameGeometry();
    frame.moveCenter(area.center());
    move(frame.topLeft());
}

void SurveyDialog::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Enter:
    case Qt::Key_Return:
        // Neither closes the window nor presses a button: the controls own these keys.
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void SurveyDialog::showEvent(QShowEvent *event)
{
    // Buttons added after construction are caught here, before the dialog
    // picks a default button of its own.
    noAutoDefault(this);
    QDialog::showEvent(event);
}

void SurveyDialog::closeEvent(QCloseEvent *event)
{
    // A refusal reported after the event that closed the window (typing in a
    // number field, then the close box) would otherwise come after the
    // window, on its own.
    if (event->isAccepted()) flushReports(this);
    QDialog::closeEvent(event);
}

} // namespace zarn::ui
