#pragma once

#include "schema/quality_checks.h"

#include <QList>
#include <QString>
#include <QStringList>

class QIODevice;

// The findings of a quality check as the office reads them: a table on the
// terminal, a CSV file for the spreadsheet and a PDF report.
namespace zarn::checkreport {

// What the report is about, for its heading.
struct Heading {
    QString dwdm;
    QString connection; // where the survey is, without a password
    QString when;       // "2026年12月08日 09:30"
};

// The findings' columns: 地籍号, 调查表号, 代码, 问题 (the sentence and its
// detail), 严重程度.
QStringList columnTitles();
QStringList cells(const quality::Finding &f);

// The table and the totals per check, columns aligned by display width
// (a Chinese character takes two columns), each line ending in '\n'.
QString textTable(const QList<quality::Finding> &findings);

// UTF-8 with a byte-order mark, CRLF line ends, fields quoted where needed:
// the unit code joins the table's columns, then the totals follow after a
// blank line.
QByteArray csv(const QList<quality::Finding> &findings);

// The PDF report: A4 portrait, 15 mm margins, the Song face, as the survey
// tables print; the heading, the findings with their titles repeated on
// every page, the totals, and page numbers. False when the device cannot be
// painted on.
bool writePdf(QIODevice &device, const Heading &heading, const QList<quality::Finding> &findings,
              int *pages = nullptr);

} // namespace zarn::checkreport
