#include "fixture.h"

#include "support/backends.h"
#include "widgets/messages.h"

#include <QApplication>
#include <QTest>

namespace zarn::test {

void WidgetTest::SetUp()
{
    messages = std::make_unique<zarn::ui::RecordingMessageService>();
    db = std::make_unique<ScratchDatabase>(Backend::Sqlite);
    conn = db->open();
    exec({QStringLiteral("create table t_w (id integer primary key, zdbh varchar(20), "
                         "qlr varchar(100), n integer, bz text, dclx varchar(10))"),
          QStringLiteral("insert into t_w (id, zdbh, qlr, n, bz, dclx) values "
                         "(1, '001', '张三', 5, '第一行', '初始'), "
                         "(2, '002', '李四', null, null, '变更'), "
                         "(3, '003', '王五', 7, '多行' || char(10) || '备注', '其他')")});
    ds = std::make_unique<zarn::Dataset>(conn.get());
    ds->setQuery({.table = QStringLiteral("t_w"), .order = {{.column = QStringLiteral("id")}}});
    ds->open();
    source = std::make_unique<zarn::ui::DataSource>(ds.get());
    window = std::make_unique<QWidget>();
    window->resize(400, 300);
    window->show();
}

void WidgetTest::TearDown()
{
    window.reset();
    source.reset();
    ds.reset();
    conn.reset();
    db.reset();
    messages.reset();
}

void WidgetTest::exec(const QStringList &statements)
{
    execAll(*conn, statements);
}

QString WidgetTest::stored(int id, const QString &column)
{
    return test::stored(*conn, QStringLiteral("t_w"), id, column);
}

int WidgetTest::rowsInTable()
{
    return int(count(*conn, QStringLiteral("select count(*) from t_w")));
}

void WidgetTest::focus(QWidget *w)
{
    QApplication::setActiveWindow(w->window());
    w->setFocus(Qt::OtherFocusReason);
    QApplication::processEvents();
}

void WidgetTest::typeText(QWidget *w, const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.unicode() < 0x80) {
            QTest::keyClick(w, c.toLatin1());
        } else {
            // A character outside the Basic Multilingual Plane is one key.
            const qsizetype n = c.isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
            QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, text.mid(i, n), Qt::NoModifier);
            i += n - 1;
        }
    }
}

QStringList WidgetTest::reportedErrors() const
{
    QStringList list;
    for (const auto &r : messages->records)
        if (!r.plain && r.icon == zarn::ui::MessageIcon::Critical) list << r.text;
    return list;
}

} // namespace zarn::test
