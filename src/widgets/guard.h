#pragma once

#include <QString>

#include <exception>
#include <functional>

class QWidget;

namespace zarn::ui {

// Runs one event handler. An error that escapes it is shown in the standard
// error report (captioned 错误, error icon, OK) and
// goes no further, so the window stays usable and no exception reaches Qt's
// event loop. A database refusal shows its sentence for the surveyor and the
// database's text (refusals.h), another zarn::Error its message(),
// std::exception its what() read as UTF-8, anything else a generic text.
void guard(QWidget *context, const std::function<void()> &handler);

// The same, for a handler that runs inside a widget's event (a key press, a
// focus change, a view writing its editor's text to the model): the handler
// runs now, and an error escaping it is reported by reportAfterEvent.
void guardInEvent(QWidget *context, const std::function<void()> &handler);

// Reports an error once the event being handled has returned. A modal box
// opened inside the event takes the focus from the widget whose handler is
// still running: a cell editor commits once more (a second box) and may be
// deleted by Qt under its own key press. The report keeps its kind (rows
// another user deleted are news, not an error), and is shown only while the
// context's window is open: a window that closes first shows it as it closes
// (flushReports); one gone or hidden by then drops it. A report for no
// context (null) is shown on its own. A report the same as
// one already waiting or on screen for the same context is dropped.
void reportAfterEvent(QWidget *context, std::exception_ptr error);
void reportAfterEvent(QWidget *context, const QString &text);

// Shows now, over the window, the reports still waiting for widgets of it: a
// window calls it as it closes, while it is still there to own them.
void flushReports(QWidget *window);

// The standard error report itself.
void reportError(QWidget *context, const std::exception &error);
void reportError(QWidget *context, const QString &text);

// The text the report shows for an error.
QString errorText(const std::exception &error);
// The text shown for an error that is not an exception of ours or the library's.
QString unknownErrorText();

} // namespace zarn::ui
