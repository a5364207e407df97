#pragma once

#include "config/inifile.h"
#include "data/connection.h"
#include "data/dataset.h"
#include "schema/code_tables.h"

#include <QObject>
#include <QString>

namespace zarn {

// What one showdcbfrm call opened, held for the length of the session and
// handed to the forms, editors and dialogs that work on it: the connection,
// the survey rows and the four attached tables' rows, a query for one-off
// statements, the values the host passed in, and the remembered values of
// config.ini. Nothing of it lives beyond the session, and nothing reaches it
// but through this object.
class SessionContext : public QObject {
    Q_OBJECT
public:
    explicit SessionContext(QObject *parent = nullptr);
    ~SessionContext() override;

    Connection connection;
    Dataset surveyRows;           // T_DJDCB, the rows the survey form shows
    Dataset coUserRows;           // T_GYQ, co-use-right holders
    Dataset markerRows;           // T_JZBSB, boundary markers
    Dataset fourSidesRows;        // T_SZB, the four sides
    Dataset designationRows;      // T_ZJB, boundary designation
    Dataset scratchQuery;         // one statement at a time, nothing kept between them
    codes::CodeTables codeTables; // the drop-down lists' code tables, read once

    QString unitCode;     // the host's unit code (DWDM)
    QString parcelNumber; // the host's parcel number (ZDBH), may be empty
    qint32 kind = 0;      // 0 the use-right form, 1 the ownership form

    // The values a surveyor's last row left for the next new row, in
    // config.ini beside the module: one read now, one write at commit().
    IniBatch rememberedValues() const;
};

} // namespace zarn
