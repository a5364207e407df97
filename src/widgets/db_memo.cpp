#include "widgets/db_memo.h"

#include <QKeyEvent>
#include <QScrollBar>
#include <QTextDocument>

namespace zarn::ui {

DBMemo::DBMemo(QWidget *parent)
    : QPlainTextEdit(parent)
    , DataAwareControl(this, ControlFamily::Memo)
{
    setFrameShape(QFrame::NoFrame);
    document()->setDocumentMargin(1);
    followHeight();
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
    return {QPlainTextEdit::sizeHint().width(), lineHeight()};
}

int DBMemo::lineHeight() const
{
    return fontMetrics().lineSpacing() + 2 * int(document()->documentMargin());
}

void DBMemo::followHeight()
{
    const int inside = height() - 2 * frameWidth();
    const bool oneLine = inside < lineHeight() + fontMetrics().lineSpacing();
    if (oneLine == m_oneLine && lineWrapMode() == (oneLine ? NoWrap : WidgetWidth)) return;
    m_oneLine = oneLine;
    // Wrapped into a single visible line, a long text would show one piece
    // of it and squeeze a scroll bar into the line.
    setLineWrapMode(m_oneLine ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
    setVerticalScrollBarPolicy(m_oneLine ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(m_oneLine ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
}

void DBMemo::showValue(const QString &text)
{
    if (text == toPlainText()) return;
    setPlainText(text);
    // A new value is shown from its beginning.
    moveCursor(QTextCursor::Start);
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
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

void DBMemo::focusInEvent(QFocusEvent *event)
{
    QPlainTextEdit::focusInEvent(event);
    // Arriving by Tab or by the Enter chain, typing replaces the line, as
    // in an edit. The text of a taller memo is kept from such accidents.
    if (m_oneLine &&
        (event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason)) {
        // Selected from the end back to the start, so that the first line stays in view.
        QTextCursor all(document());
        all.movePosition(QTextCursor::End);
        all.movePosition(QTextCursor::Start, QTextCursor::KeepAnchor);
        setTextCursor(all);
    }
}

void DBMemo::resizeEvent(QResizeEvent *event)
{
    QPlainTextEdit::resizeEvent(event);
    followHeight();
}

void DBMemo::changeEvent(QEvent *event)
{
    QPlainTextEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange) followHeight();
}

void DBMemo::focusOutEvent(QFocusEvent *event)
{
    QPlainTextEdit::focusOutEvent(event);
    focusLeft(event->reason());
}

} // namespace zarn::ui
