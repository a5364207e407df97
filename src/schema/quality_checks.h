#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <span>

// The quality check of a unit's survey tables before they are handed in:
// complete, well formed, numbered once, boundary points, co-users, codes and
// versions. Each check is a handful of statements over the whole unit and
// its sub-units (quality_statements.h), never one per parcel; a few decide in
// C++ over the rows one statement reads. No widgets.
namespace zarn {
class Connection;
}

namespace zarn::quality {

enum class Severity { Error, Warning };

// 错误 or 警告.
QString severityText(Severity s);

struct CheckInfo {
    const char *code;     // "WZ01"
    const char *sentence; // what is wrong, in Chinese
    Severity severity;
};

// Every check, in the order their findings of one parcel are listed.
std::span<const CheckInfo> checks();
// The check with a code, or null.
const CheckInfo *checkByCode(const QString &code);

struct Finding {
    QString dwdm;   // the survey row's unit code
    QString zdbh;   // its parcel number (empty when it has none)
    QString dcbh;   // its survey table number; empty for an attached row without a survey table
    int kind = -1;  // dcblx: 0 use right, 1 ownership, -1 unknown
    int check = 0;  // index into checks()
    QString detail; // which column or value, for the surveyor; may be empty

    const CheckInfo &info() const { return checks()[std::size_t(check)]; }
    bool operator==(const Finding &) const = default;
};

struct Scope {
    QString dwdm;  // the unit; its sub-units are checked with it
    QString zdbh;  // empty: every parcel
    int kind = -1; // -1 both kinds, else dcblx (a row of no kind counts as 0)
};

// Called after each check with the checks done and their number; may be empty.
using Progress = std::function<void(int done, int total)>;

// Runs every check on the scope and gives the findings in parcel-number
// order (parcels without a number last), then survey table number, then the
// checks' order. Throws the connection's DatabaseError when a statement
// fails. Reads only.
QList<Finding> run(Connection &connection, const Scope &scope, const Progress &progress = {});

// Every statement run() runs, each once, in the order it first runs them.
// Each binds the unit range (unitcode::unitRange) once for each "escape '!'"
// it holds. For comparing with a database's own client.
QStringList statements();

struct Total {
    int check;
    int findings;
};
// The findings per check, in the checks' order, for every check with one.
QList<Total> totals(const QList<Finding> &findings);
// Whether any finding is an error (not only warnings).
bool hasErrors(const QList<Finding> &findings);

} // namespace zarn::quality
