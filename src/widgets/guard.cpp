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

#include <memory>
#include <optional>

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

namespace {

// What a report shows: its text and its kind.
struct Report {
    QString text;
    QString caption;
    MessageIcon icon = MessageIcon::Critical;
};

Report errorReport(const QString &text)
{
    return {text, QStringLiteral("错误"), MessageIcon::Critical};
}

Report reportOf(const std::exception &error)
{
    QString text;
    try {
        text = errorText(error);
    } catch (const std::exception &) {
        // Out of memory making the text: the short one still says it failed.
        text = unknownErrorText();
    }
    // Rows another user deleted leaving the list is news, not a failure.
    if (dynamic_cast<const zarn::RowsDeletedError *>(&error))
        return {text, QStringLiteral("提示"), MessageIcon::Information};
    return errorReport(text);
}

void show(QWidget *context, const Report &report)
{
    // Reporting must never fail in turn: a broken message service or an
    // allocation failure here would otherwise escape into the event loop.
    try {
        messageBox(report.text, report.caption, report.icon, Ok, context);
    } catch (const std::exception &) {
        qWarning("zarn: could not show a report: %s", qUtf8Printable(report.text));
    }
}

// A report waiting for the event it was made in to return, or on screen.
struct PendingReport {
    quintptr context; // compared only: the widget may be gone
    QPointer<QWidget> alive;
    Report report;
    bool showing = false;
};
QList<std::shared_ptr<PendingReport>> s_pending;

// Shows a waiting report while the window it belongs to is open; once that
// window has closed (or the widget is gone) there is no one left to tell,
// and a box without its window would stand alone on the desktop.
void showPending(const std::shared_ptr<PendingReport> &pending)
{
    if (pending->showing || !s_pending.contains(pending)) return;
    QWidget *context = pending->alive.data();
    // A report made for no window at all is shown on its own.
    if (pending->context != 0 && (!context || !context->window()->isVisible())) {
        s_pending.removeOne(pending);
        return;
    }
    pending->showing = true;
    show(context, pending->report);
    // Only now: a second commit while the box is open says the same again.
    s_pending.removeOne(pending);
}

void reportLater(QWidget *context, Report report)
{
    const quintptr key = reinterpret_cast<quintptr>(context);
    for (const auto &p : std::as_const(s_pending))
        if (p->context == key && p->report.text == report.text) return;
    auto pending = std::make_shared<PendingReport>();
    pending->context = key;
    pending->alive = context;
    pending->report = std::move(report);
    s_pending.append(pending);
    // A timer of its own, not the context's: a window closing meanwhile
    // shows it first (flushReports). A real timer rather than a posted call,
    // so a report made while posted events are being delivered (a view
    // commits its editor on Return that way) comes in the same turn of the loop.
    auto *timer = new QTimer;
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, pending] {
        timer->deleteLater();
        showPending(pending);
    });
    timer->start(0);
}

// Runs what an event handler does; the report of the error it raised, if
// it raised one. This is where every exception of an event handler ends:
// none may unwind into Qt's event loop, which is not built to carry it
// (the application would end). Errors of ours and the library's are said
// as they are; anything else, thrown by code that is not ours, is the one
// thing caught without its type, said in general words.
std::optional<Report> reportRaised(const std::function<void()> &handler)
{
    try {
        handler();
        return std::nullopt;
    } catch (const zarn::Error &e) {
        return reportOf(e);
    } catch (const std::exception &e) {
        return reportOf(e);
    } catch (...) {
        return errorReport(unknownErrorText());
    }
}

} // namespace

void reportError(QWidget *context, const QString &text)
{
    show(context, errorReport(text));
}

void reportError(QWidget *context, const std::exception &error)
{
    show(context, reportOf(error));
}

void reportAfterEvent(QWidget *context, const QString &text)
{
    reportLater(context, errorReport(text));
}

void reportAfterEvent(QWidget *context, std::exception_ptr error)
{
    if (auto report = reportRaised([&] { std::rethrow_exception(error); }))
        reportLater(context, std::move(*report));
}

void flushReports(QWidget *window)
{
    if (!window) return;
    const QList<std::shared_ptr<PendingReport>> waiting = s_pending;
    for (const auto &p : waiting) {
        QWidget *context = p->alive.data();
        if (context && context->window() == window) showPending(p);
    }
}

void guardInEvent(QWidget *context, const std::function<void()> &handler)
{
    if (auto report = reportRaised(handler)) reportLater(context, std::move(*report));
}

void guard(QWidget *context, const std::function<void()> &handler)
{
    // The handler may close and delete the very window it ran for.
    QPointer<QWidget> alive(context);
    if (const auto report = reportRaised(handler)) show(alive.data(), *report);
}

} // namespace zarn::ui
