#include "widgets/db_memo.h"

#include <QKeyEvent>
#include <QTextDocument>

namespace zarn::ui {

DBMemo::DBMemo(QWidget *parent)
    : QPlainTextEdit(parent)
    , DataAwareControl(this, ControlFamily::Memo)
{
    setFrameShape(QFrame::NoFrame);
    document()->setDocumentMargin(1);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Tab moves on through the form, as in the edits.
    setTabChangesFocus(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Text, kControlInk);
    pal.setColor(QPalette::Base, Qt::white);
    setPalette(pal);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!isShowingValue()) textTyped(toPlainText());
    });
    refresh();
}

DBMemo::DBMemo(const QString &objectName, QWidget *parent)
    : DBMemo(parent)
{
    setObjectName(objectName);
}

DBMemo::~DBMemo() = default;

void DBMemo::setReadOnly(bool readOnly)
{
    DataAwareControl::setReadOnly(readOnly);
}

QString DBMemo::controlText() const
{
    return toPlainText();
}

QSize DBMemo::sizeHint() const
{
    // One visual line.
    const int line = fontMetrics().lineSpacing() + 2 * int(document()->documentMargin());
    return {QPlainTextEdit::sizeHint().width(), line};
}

void DBMemo::showValue(const QString &text)
{
    if (text != toPlainText()) setPlainText(text);
}

void DBMemo::applyReadOnly(bool readOnly)
{
    QPlainTextEdit::setReadOnly(readOnly);
    // Read-only still lets the text be selected and copied from the keyboard.
    if (readOnly) setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

void DBMemo::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        escapePressed();
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void DBMemo::focusOutEvent(QFocusEvent *event)
{
    QPlainTextEdit::focusOutEvent(event);
    focusLeft(event->reason());
}

} // namespace zarn::ui
