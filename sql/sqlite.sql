-- Survey database on SQLite, the embedded default.
-- Whole numbers are declared "integer" and texts "varchar(n)" or "text" so that
-- Qt's SQLite driver reports integer and text columns; SQLite does not enforce
-- the widths. The code tables are filled by code_tables.sql afterwards.

-- One row per survey table of a parcel. A row with a null bgrq is the parcel's
-- current version, a row with a change date a superseded one.
-- DWDM compares without case so that "dwdm like ?" can use the index (unit
-- codes are digits, so nothing else changes).
create table T_DJDCB (
    id integer primary key,
    ysdm varchar(10),
    qhdm varchar(10),
    jddm varchar(10),
    jfdm varchar(10),
    DWDM varchar(20) collate nocase,
    QSDM varchar(30),
    DCBH varchar(30),
    DCLX varchar(10),
    qsmc varchar(100),
    QLR varchar(100),
    DWXZ varchar(20),
    TXDZ varchar(200),
    QLRYB varchar(10),
    SJZGBM varchar(100),
    TDZL varchar(200),
    FRDBXM varchar(50),
    FRSFZM varchar(30),
    FRDBDH varchar(30),
    DLRXM varchar(50),
    DLRSFZ varchar(30),
    DLRDH varchar(30),
    QSXZ varchar(30),
    YBDJH varchar(30),
    ZDBH varchar(30),
    SZTFH varchar(50),
    PZYTDM varchar(10),
    PZYT varchar(50),
    TDYTDM varchar(10),
    TDYT varchar(50),
    QSRQ varchar(20),
    ZZRQ varchar(20),
    QLRZS integer,
    SM varchar(500),
    JZDGS integer,
    DCY varchar(50),
    QSDCJS text,
    QSDCY varchar(50),
    DCRQ varchar(10),
    DJKZJS varchar(500),
    KZY varchar(50),
    KZRQ varchar(10),
    DCSHYJ varchar(500),
    DCSHR varchar(50),
    DCSHRQ varchar(10),
    syqlx varchar(30),
    BDDJ varchar(30),
    ZYGDWZSM varchar(500),
    ZYJXZXSM varchar(500),
    bz text,
    bgrq varchar(10),
    dcblx integer
);

-- The unit's rows (a range on dwdm) and its highest parcel number.
create index IX_DJDCB_DWDM_ZDBH on T_DJDCB (DWDM, ZDBH);
-- The unit's highest survey number, without reading the unit's rows.
create index IX_DJDCB_DWDM_DCBH on T_DJDCB (DWDM, DCBH);
-- One current row per parcel and survey-table kind: two would share one set of
-- attached rows.
create unique index UX_DJDCB_CURRENT on T_DJDCB (DWDM, ZDBH, dcblx) where bgrq is null;

-- Boundary markers, one row per boundary point.
create table T_JZBSB (
    id integer primary key,
    ZDBH varchar(30),
    dwdm varchar(20),
    XH integer,
    JZDTBH varchar(30),
    JZDJJ varchar(20),
    JBLX varchar(20),
    JZXLB varchar(20),
    JZXWZ varchar(10),
    TZJB integer,
    BZ varchar(200),
    FSBC varchar(20),
    DCRQ varchar(10),
    BGRQ varchar(10),
    dcblx integer
);
create index IX_JZBSB_PARCEL on T_JZBSB (ZDBH, dwdm, BGRQ);
-- A unit's rows (a range on dwdm), with the columns the quality check of a
-- unit reads from them, so that it need not visit the table.
create index IX_JZBSB_UNIT on T_JZBSB (dwdm, ZDBH, BGRQ, XH, JZDTBH);

-- Boundary designation, one row per boundary line.
create table T_ZJB (
    id integer primary key,
    ZDBH varchar(30),
    dwdm varchar(20),
    JZXQDH varchar(30),
    JZXZDH varchar(30),
    LZDZDBH varchar(100),
    LZZJRXM varchar(50),
    BZZJRXM varchar(50),
    ZJRQ varchar(10),
    DCRQ varchar(10),
    BGRQ varchar(10),
    dcblx integer
);
create index IX_ZJB_PARCEL on T_ZJB (ZDBH, dwdm, BGRQ);
create index IX_ZJB_UNIT on T_ZJB (dwdm, ZDBH, BGRQ, JZXQDH, JZXZDH);

-- Four sides, one row per stretch of boundary.
create table T_SZB (
    id integer primary key,
    ZDBH varchar(30),
    dwdm varchar(20),
    FWSX varchar(10),
    JZDStart varchar(30),
    JZDEnd varchar(30),
    LZDJHORLOADNAME varchar(100),
    DCRQ varchar(10),
    BGRQ varchar(10),
    dcblx integer
);
create index IX_SZB_PARCEL on T_SZB (ZDBH, dwdm, BGRQ);
create index IX_SZB_UNIT on T_SZB (dwdm, ZDBH, BGRQ, FWSX);

-- Co-use-right holders, one row per holder.
create table T_GYQ (
    id integer primary key,
    ZDBH varchar(30),
    dwdm varchar(20),
    GYSYQRBH varchar(30),
    TDSYZMC varchar(100),
    TDSYZXZ varchar(20),
    TXDZ varchar(200),
    YB varchar(10),
    SJZGBM varchar(100),
    FRDBXM varchar(50),
    FRDBSF varchar(30),
    FRDBDH varchar(30),
    DLRXM varchar(50),
    DLRSF varchar(30),
    DLRDH varchar(30),
    TDYT varchar(50),
    JZWLX varchar(50),
    DZSYMJ varchar(20),
    DZSYJZZDMJ varchar(20),
    GYTDMJ varchar(20),
    FTTDMJ varchar(20),
    FTJZMJ varchar(20),
    DCRQ varchar(10),
    BGRQ varchar(10),
    dcblx integer
);
create index IX_GYQ_PARCEL on T_GYQ (ZDBH, dwdm, BGRQ);
create index IX_GYQ_UNIT on T_GYQ (dwdm, ZDBH, BGRQ);

-- Code tables: read whole, in id order.
create table S_DWXZDM (id integer primary key, dwxzmc varchar(50));
create table S_QSXZ (id integer primary key, qsxzmc varchar(50));
create table S_GYLX (id integer primary key, GYLXMC varchar(50));
create table S_DLDM (id integer primary key, DLDM varchar(10), DLMC varchar(50));
create table S_JBLX (id integer primary key, JBLXMC varchar(50));
create table S_JXLB (id integer primary key, JXLBMC varchar(50));
create table S_JXWZDM (id integer primary key, JXWZ varchar(50));
