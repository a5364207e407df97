#pragma once

#include "widgets/messages.h"

#include <QString>
#include <exception>

class QWidget;

namespace zarn {
class DatabaseError;
}

namespace zarn::ui {

// The one place a database refusal is put into words for the surveyor: a
// sentence saying what happened and what to do, in the survey sheet's terms
// (the field's printed label, the parcel number), then, on lines of its own,
// the database's own text for the administrator.
QString refusalSentence(const DatabaseError &error);
QString refusalText(const DatabaseError &error);
// A unit's rows that did not load: nothing was being saved, so the sentence
// says what the form cannot do now and whom to tell, then the database's text.
QString loadFailureText(const DatabaseError &error);
// A 新增 the database did not take, for the refusals that leave nothing
// typed behind (the new row is dropped, the sheet back on the row it came
// from): what to press again, and when. Empty for any other refusal, whose
// own sentence holds.
QString newRowNotMadeSentence(const DatabaseError &error);

// What a move that found rows another user deleted says (RowsDeletedError):
// how many left the list, that the sheet still shows the row it left, and
// whether the change of that row was stored on the way.
QString rowsDeletedText(const DatabaseError &error, bool changeStored);

// The reason to show for any error: refusalText for a database refusal, the
// error's own text otherwise.
QString reasonText(const std::exception &error);

// A fixed text of the form (such as "数据保存失败！"), kept exactly as it is,
// with the reason on the lines after it.
QString withReason(const QString &fixedText, const std::exception &error);

// Shows withReason in a captioned box; returns the button pressed.
int showFailure(const QString &fixedText, const QString &caption, MessageIcon icon,
                const std::exception &error, QWidget *parent = nullptr, int buttons = Ok);

// For a row another user changed (and did not delete): the fixed text, that
// the change was not stored, and the question whether to load the other
// user's version (dropping the change on the sheet). True when the surveyor
// chose to.
bool askToLoadTheirVersion(const QString &fixedText, const QString &caption,
                           const DatabaseError &error, QWidget *parent = nullptr);

// For a row another user deleted while the surveyor was changing it: the
// fixed text (if any), that the change was not stored, and the question
// whether to take the row out of the list (dropping the typing). True when
// the surveyor chose to.
bool askToDropDeletedRow(const QString &fixedText, QWidget *parent = nullptr);

} // namespace zarn::ui
