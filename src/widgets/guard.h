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

// The standard error report itself.
void reportError(QWidget *context, const std::exception &error);
void reportError(QWidget *context, const QString &text);

// The text the report shows for an error.
QString errorText(const std::exception &error);
// The text shown for an error that is not an exception of ours or the library's.
QString unknownErrorText();

} // namespace zarn::ui
