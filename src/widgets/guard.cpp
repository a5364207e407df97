#include "widgets/guard.h"

#include "data/errors.h"
#include "widgets/messages.h"
#include "widgets/refusals.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QList>
#include <QPointer>
#include <QTimer>
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

namespace {

// Reports queued or on screen, by context and text.
struct PendingReport {
    quintptr context; // compared only: the widget may be gone
    QString text;
    bool operator==(const PendingReport &) const = default;
};
QList<PendingReport> s_pending;

} // namespace

void reportAfterEvent(QWidget *context, const QString &text)
{
    const PendingReport key{reinterpret_cast<quintptr>(context), text};
    if (s_pending.contains(key)) return;
    s_pending.append(key);
    QPointer<QWidget> alive(context);
    // A timer of its own, not the context's: the report is not lost with a
    // context closed meanwhile. A real timer rather than a posted call, so a
    // report made while posted events are being delivered (a view commits
    // its editor on Return that way) comes in the same turn of the loop.
    auto *timer = new QTimer;
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, key, alive] {
        reportError(alive.data(), key.text);
        // Only now: a second commit while the box is open says the same again.
        s_pending.removeOne(key);
        timer->deleteLater();
    });
    timer->start(0);
}

void reportAfterEvent(QWidget *context, std::exception_ptr error)
{
    QString text;
    try {
        std::rethrow_exception(error);
    } catch (const std::exception &e) {
        try {
            text = errorText(e);
        } catch (...) {
            text = unknownErrorText();
        }
    } catch (...) {
        text = unknownErrorText();
    }
    reportAfterEvent(context, text);
}

void guardInEvent(QWidget *context, const std::function<void()> &handler)
{
    try {
        handler();
    } catch (...) {
        reportAfterEvent(context, std::current_exception());
    }
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
