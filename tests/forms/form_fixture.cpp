#include "form_fixture.h"

#include "config/config_ini.h"
#include "data/dataset.h"
#include "widgets/data_aware.h"

#include <QFile>

namespace zarn::test {

void FormTest::SetUp()
{
    ZARN_SKIP_UNLESS_CONFIGURED(backend());
    db = std::make_unique<ScratchDatabase>(backend());
    QFile::remove(configPath());
    session = std::make_unique<SessionContext>();
    db->openSurvey(session->connection);
    messages = std::make_unique<ui::RecordingMessageService>();
}

void FormTest::TearDown()
{
    form.reset();
    syq.reset();
    session.reset();
    messages.reset();
    // The server drops the database only once the session's connection
    // is gone.
    db.reset();
    QFile::remove(configPath());
}

qint64 FormTest::addSurvey(const QVariantMap &values)
{
    Dataset t(&session->connection);
    t.setQuery({.table = QStringLiteral("T_DJDCB"), .filter = QStringLiteral("id = ?")}, {-1});
    t.open();
    t.append();
    const qint64 id = values.contains("id") ? values.value("id").toLongLong() : nextId;
    nextId = std::max(nextId, id + 1);
    t.setValue("id", id);
    t.setValue("dcblx", 0);
    for (auto it = values.begin(); it != values.end(); ++it)
        t.setValue(it.key(), it.value());
    t.post();
    return id;
}

void FormTest::addAttached(const QString &table, const QVariantMap &values)
{
    static qint64 attachedId = 1;
    Dataset t(&session->connection);
    t.setQuery({.table = table, .filter = QStringLiteral("id = ?")}, {-1});
    t.open();
    t.append();
    t.setValue("id", attachedId++);
    for (auto it = values.begin(); it != values.end(); ++it)
        t.setValue(it.key(), it.value());
    t.post();
}

UseRightForm &FormTest::open(const QString &dwdm, const QString &zdh)
{
    openBeforePaint(dwdm, zdh).finishOpening();
    return *form;
}

UseRightForm &FormTest::openBeforePaint(const QString &dwdm, const QString &zdh)
{
    session->unitCode = dwdm;
    session->parcelNumber = zdh;
    form = std::make_unique<UseRightForm>(*session);
    return *form;
}

OwnershipForm &FormTest::openOwnership(const QString &dwdm)
{
    session->unitCode = dwdm;
    session->parcelNumber.clear();
    syq = std::make_unique<OwnershipForm>(*session);
    return *syq;
}

SurveyForm *FormTest::shownForm() const
{
    if (syq) return syq.get();
    return form.get();
}

int FormTest::count(const QString &sql, const QVariantList &params)
{
    return int(test::count(session->connection, sql, params));
}

QString FormTest::stored(const QString &table, qint64 id, const QString &column)
{
    return test::stored(session->connection, table, id, column);
}

QString FormTest::configPath() const
{
    return zarn::configIniPath();
}

QString FormTest::ini(const QString &key, const QString &fallback) const
{
    return zarn::readConfigValue(QStringLiteral("DCB"), key, fallback);
}

QWidget *FormTest::control(const QString &name) const
{
    return shownForm()->findChild<QWidget *>(name);
}

QString FormTest::shown(const QString &name) const
{
    for (ui::DataAwareControl *c : ui::dataAwareControls(shownForm()))
        if (c->widget()->objectName() == name) return c->controlText();
    return QStringLiteral("<no control %1>").arg(name);
}

QString FormTest::current(const QString &column) const
{
    return session->surveyRows.text(column);
}

} // namespace zarn::test
