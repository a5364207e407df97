#include "widgets/guard.h"

#include "data/errors.h"
#include "widgets/messages.h"
#include "widgets/refusals.h"

#include <QPointer>
#include <QWidget>

namespace zarn::ui {

QString unknownErrorText()
{
    return QStringLiteral("发生未知错误，操作未完成。");
}

QString errorText(const std::exception &error)
{
    // A refusal is said in the surveyor's words, with the database's after them.
    if (const auto *refusal = dynamic_cast<const zarn::DatabaseError *>(&error))
        return refusalText(*refusal);
    if (const auto *ours = dynamic_cast<const zarn::Error *>(&error)) return ours->message();
    const QString text = QString::fromUtf8(error.what());
    return text.isEmpty() ? unknownErrorText() : text;
}

void reportError(QWidget *context, const QString &text)
{
    // Reporting must never fail in turn: a broken message service or an
    // allocation failure here would otherwise escape into the event loop.
    try {
        messageBox(text, QStringLiteral("错误"), MessageIcon::Critical, Ok, context);
    } catch (...) {
        qWarning("zarn: could not show an error report: %s", qUtf8Printable(text));
    }
}

void reportError(QWidget *context, const std::exception &error)
{
    QString text;
    try {
        text = errorText(error);
    } catch (...) {
        text = unknownErrorText();
    }
    // Rows another user deleted leaving the list is news, not a failure.
    if (dynamic_cast<const zarn::RowsDeletedError *>(&error)) {
        try {
            messageBox(text, QStringLiteral("提示"), MessageIcon::Information, Ok, context);
        } catch (...) {
            qWarning("zarn: could not show a notice: %s", qUtf8Printable(text));
        }
        return;
    }
    reportError(context, text);
}

void guard(QWidget *context, const std::function<void()> &handler)
{
    // The handler may close and delete the very window it ran for.
    QPointer<QWidget> alive(context);
    try {
        handler();
    } catch (const std::exception &e) {
        reportError(alive.data(), e);
    } catch (...) {
        reportError(alive.data(), unknownErrorText());
    }
}

} // namespace zarn::ui
