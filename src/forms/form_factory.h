#pragma once

class QDialog;
class QWidget;

namespace zarn {

// The survey form of a form kind (0 use-right, 1 ownership), or null for a
// kind without a form. The caller shows it modally and deletes it.
QDialog *createSurveyForm(int lx, QWidget *owner);

} // namespace zarn
