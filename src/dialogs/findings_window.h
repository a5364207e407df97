#pragma once

#include "schema/quality_checks.h"

#include <QWidget>

class QLabel;
class QPushButton;
class QTableWidget;

namespace zarn {
class Connection;
}

namespace zarn::ui {

// 检查本单位: the findings of the quality check of a unit's survey tables,
// in a window of its own that stays open beside the survey form (it is not
// modal). A grid with the severity, the parcel and the sentence, in
// parcel-number order; a double-click on a finding asks for its parcel
// (parcelChosen), which the form moves to through its own move rules.
//
// The checks read the database through the connection given, in statements
// of their own, so they see what is stored (not a pending edit) and need no
// keys from the form: a district session whose keys are still arriving is
// checked whole. The window does not own the connection; it must outlive the
// window, or be closed only with it.
class FindingsWindow : public QWidget {
    Q_OBJECT
public:
    // unit: the session's unit code (its sub-units are checked with it);
    // kind: -1 both kinds of survey table, 0 use right, 1 ownership.
    FindingsWindow(Connection &connection, const QString &unit, int kind,
                   QWidget *parent = nullptr);

    // Runs the checks again and shows what they find now (after a 保存, say).
    // A failure is shown in the window, with the findings of the last run
    // kept and marked as such; nothing is thrown.
    void refresh();

    const QList<quality::Finding> &findings() const { return m_findings; }
    // The grid, for tests that click on it.
    QTableWidget *grid() const { return m_grid; }

signals:
    // A finding was double-clicked: the survey row it is about.
    void parcelChosen(const QString &dwdm, const QString &zdbh, const QString &dcbh);

private:
    void display(const QList<quality::Finding> &findings);
    void chose(int row);

    Connection &m_connection;
    QString m_unit;
    int m_kind;
    QList<quality::Finding> m_findings;
    QTableWidget *m_grid = nullptr;
    QLabel *m_status = nullptr;
    QPushButton *m_refresh = nullptr;
};

} // namespace zarn::ui
