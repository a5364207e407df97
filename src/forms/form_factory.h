#pragma once

class QDialog;
class QWidget;

namespace zarn {

class SessionContext;

// The survey form of the session's kind (0 use-right, 1 ownership) on the
// session's rows, or null for a kind without a form. The caller shows it
// modally and deletes it before the session.
QDialog *createSurveyForm(SessionContext &session, QWidget *owner);

} // namespace zarn
