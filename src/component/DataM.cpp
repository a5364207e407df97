#include "component/DataM.h"

#include "schema/statements.h"

TDataMod *DataMod = nullptr;

TDataMod::TDataMod(QObject *parent)
    : QObject(parent)
    , ADOConn1(this)
    , djdcTable(&ADOConn1, this)
    , GY(&ADOConn1, this)
    , JZBS(&ADOConn1, this)
    , sz(&ADOConn1, this)
    , Zj(&ADOConn1, this)
    , ADOQuery1(&ADOConn1, this)
{
    ADOConn1.setObjectName(QStringLiteral("ADOConn1"));
    djdcTable.setObjectName(QStringLiteral("djdcTable"));
    GY.setObjectName(QStringLiteral("GY"));
    JZBS.setObjectName(QStringLiteral("JZBS"));
    sz.setObjectName(QStringLiteral("sz"));
    Zj.setObjectName(QStringLiteral("Zj"));
    ADOQuery1.setObjectName(QStringLiteral("ADOQuery1"));
    // Design-time text only; every form replaces it before opening.
    djdcTable.setSql(zarn::sql::djdcDesignTime);
}

TDataMod::~TDataMod()
{
    // Datasets go first so no query outlives the connection.
    ADOConn1.close();
}
