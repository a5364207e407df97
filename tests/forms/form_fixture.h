#pragma once

#include "forms/ownership_form.h"
#include "forms/use_right_form.h"
#include "forms/use_right_sheet.h"
#include "session/session_context.h"
#include "support/backends.h"
#include "support/scratch_db.h"
#include "widgets/messages.h"

#include <QVariantMap>
#include <gtest/gtest.h>
#include <memory>

class QWidget;

namespace zarn::test {

// A survey database of the test's own (a new SQLite file, or a new database on
// the PostgreSQL test server), a session connected to it, the config.ini of
// the test program cleared, and the message windows recorded. Every case runs
// once per back-end; a back-end that is not configured skips its cases.
class FormTest : public ::testing::TestWithParam<Backend> {
protected:
    Backend backend() const { return GetParam(); }

    void SetUp() override;
    void TearDown() override;

    // Adds a T_DJDCB row (column -> value); returns its id.
    qint64 addSurvey(const QVariantMap &values);
    // Adds a row to an attached table.
    void addAttached(const QString &table, const QVariantMap &values);
    // Opens the use-right form for the session's unit and parcel, as the
    // surveyor meets it once its window has been painted.
    UseRightForm &open(const QString &dwdm, const QString &zdh = {});
    // The same, just made: what waits for the first paint has not run.
    UseRightForm &openBeforePaint(const QString &dwdm, const QString &zdh = {});
    // Opens the ownership form for the session's unit.
    OwnershipForm &openOwnership(const QString &dwdm);
    // The form open now, of either kind.
    SurveyForm *shownForm() const;

    // Reading the database from outside the form.
    int count(const QString &sql, const QVariantList &params = {});
    QString stored(const QString &table, qint64 id, const QString &column);

    QString configPath() const;
    QString ini(const QString &key, const QString &fallback = QStringLiteral("<none>")) const;

    QWidget *control(const QString &name) const;
    QString shown(const QString &name) const;     // what a control shows
    QString current(const QString &column) const; // the form's current row

    std::unique_ptr<ScratchDatabase> db;
    // What runSurveySession would hold for the forms: connection, rows, unit.
    std::unique_ptr<SessionContext> session;
    std::unique_ptr<ui::RecordingMessageService> messages;
    std::unique_ptr<UseRightForm> form;
    std::unique_ptr<OwnershipForm> syq;
    qint64 nextId = 1;
};

} // namespace zarn::test
