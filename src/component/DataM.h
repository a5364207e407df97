#pragma once

#include "data/connection.h"
#include "data/dataset.h"

#include <QObject>
#include <QString>

// The database objects of one survey session: one connection and the six
// queries every form shares, with the values the host passed in.
class TDataMod : public QObject {
    Q_OBJECT
public:
    explicit TDataMod(QObject *parent = nullptr);
    ~TDataMod() override;

    zarn::Connection ADOConn1;
    zarn::Dataset djdcTable;
    zarn::Dataset GY;
    zarn::Dataset JZBS;
    zarn::Dataset sz;
    zarn::Dataset Zj;
    zarn::Dataset ADOQuery1;

    QString dwdm;
    QString zdh;
    qint32 lx = 0;
};

// The data module of the running survey session, or null between sessions.
extern TDataMod *DataMod;
