#pragma once

// What the quality checks share: the rows they read, read once per run, and
// the making of a finding from a row. Internal to the checks.

#include "data/connection.h"
#include "schema/quality_checks.h"

#include <QHash>
#include <QSet>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <array>
#include <utility>
#include <vector>

namespace zarn::quality::internal {

// A statement's row as text: the survey row's keys, then its other values.
struct Row {
    QString dwdm, zdbh, dcbh;
    int kind;
    QStringList values;
};

struct Marker {
    QString number; // JZDTBH, trimmed
    int xh;         // -1 when blank
};
struct Line {
    QString start, end;
};
// A parcel's current markers and designation lines, and what its markers
// hold that no code table has.
struct Boundary {
    QString dwdm, zdbh;
    std::vector<Marker> markers;
    std::vector<Line> lines;
    int counted = 0; // markers with a number, as count(XH) counts them
    QStringList badCodes;
};

// A value trimmed as the databases' trim() does it: spaces only.
QStringView sqlTrimmed(QStringView v);

// The code tables the program looks values up in, by the name codeEntries
// gives them. The marker tables are trimmed as the program trims a marker's
// values, the others as the databases trim.
inline constexpr std::array<std::pair<const char *, bool>, 7> kCodeTables{{{"JBLX", false},
                                                                           {"JZXLB", false},
                                                                           {"JZXWZ", false},
                                                                           {"QSXZ", true},
                                                                           {"DWXZ", true},
                                                                           {"DLDM", true},
                                                                           {"DLMC", true}}};

// The unit's statements. A statement several checks read is run once per
// run and its rows kept for them.
class Reader {
public:
    Reader(Connection &c, const QString &dwdm);

    // Runs a reading statement with the unit range bound for each unit test
    // it holds, and hands every row to f.
    template <class F> void rows(const QString &sql, F &&f)
    {
        QVariantList params;
        for (qsizetype n = sql.count(QLatin1String("escape '!'")); n > 0; --n)
            params += m_unit;
        QSqlQuery query = m_connection.exec(Access::Read, sql, params, /*repeatable=*/true);
        while (query.next())
            f(query);
        // A kept statement left active would hold its result until the next run.
        query.finish();
    }

    // A statement whose rows begin with the four keys, read once.
    const QList<Row> &table(const QString &sql);

    // The current survey rows (with JZDGS as their first value).
    const QList<Row> &current();

    // The trimmed entries of a code table of kCodeTables.
    const QSet<QString> &codes(const char *name);

    // The current survey rows of a parcel.
    QList<const Row *> currentOf(const QString &dwdm, const QString &zdbh);

    // The current markers and lines of every parcel of the unit, read once.
    std::vector<Boundary> &boundaries();

    // A parcel's markers and lines, or null when it has none.
    const Boundary *boundaryOf(const QString &dwdm, const QString &zdbh);

private:
    static constexpr std::size_t kNone = std::size_t(-1);

    Boundary &parcel(const QSqlQuery &r, std::size_t &last);

    Connection &m_connection;
    QVariantList m_unit;
    QHash<QString, QList<Row>> m_tables;
    QHash<QString, QMultiHash<QString, const Row *>> m_currentIndex;
    bool m_currentIndexed = false;
    std::vector<Boundary> m_boundaries;
    QHash<QString, QHash<QString, std::size_t>> m_parcelIndex;
    bool m_boundariesRead = false;
    QHash<QString, QSet<QString>> m_codes;
    bool m_codesRead = false;
};

using Out = QList<Finding>;

// A finding on the row of a statement whose rows begin with the four keys.
Finding keyed(const QSqlQuery &r, int check);
Finding keyed(const Row &r, int check, const QString &detail = {});

} // namespace zarn::quality::internal
