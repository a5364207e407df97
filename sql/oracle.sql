-- Survey database on Oracle (written for Oracle 12c and later; run with
-- SQL*Plus or SQLcl as a user allowed to create users, roles and public
-- synonyms). See README.md beside this file.
--
-- The tables belong to the schema ZARN. The system names them without the
-- schema: connect as ZARN, or as a user holding the role ZARN_SURVEY, who
-- reaches them through the public synonyms made at the end.
-- Texts are declared in characters (n char), so Chinese text fits whatever the
-- database character set (AL32UTF8 or ZHS16GBK).

create user ZARN identified by "Zarn_Change_Me_1" default tablespace users quota unlimited on users;
grant create session to ZARN;
create role ZARN_SURVEY;

-- One row per survey table of a parcel. A row with a null bgrq is the parcel's
-- current version, a row with a change date a superseded one.
create table ZARN.T_DJDCB (
    id number(10) primary key,
    ysdm varchar2(10 char),
    qhdm varchar2(10 char),
    jddm varchar2(10 char),
    jfdm varchar2(10 char),
    DWDM varchar2(20 char),
    QSDM varchar2(30 char),
    DCBH varchar2(30 char),
    DCLX varchar2(10 char),
    qsmc varchar2(100 char),
    QLR varchar2(100 char),
    DWXZ varchar2(20 char),
    TXDZ varchar2(200 char),
    QLRYB varchar2(10 char),
    SJZGBM varchar2(100 char),
    TDZL varchar2(200 char),
    FRDBXM varchar2(50 char),
    FRSFZM varchar2(30 char),
    FRDBDH varchar2(30 char),
    DLRXM varchar2(50 char),
    DLRSFZ varchar2(30 char),
    DLRDH varchar2(30 char),
    QSXZ varchar2(30 char),
    YBDJH varchar2(30 char),
    ZDBH varchar2(30 char),
    SZTFH varchar2(50 char),
    PZYTDM varchar2(10 char),
    PZYT varchar2(50 char),
    TDYTDM varchar2(10 char),
    TDYT varchar2(50 char),
    QSRQ varchar2(20 char),
    ZZRQ varchar2(20 char),
    QLRZS number(10),
    SM varchar2(500 char),
    JZDGS number(10),
    DCY varchar2(50 char),
    QSDCJS varchar2(2000 char),
    QSDCY varchar2(50 char),
    DCRQ varchar2(10 char),
    DJKZJS varchar2(500 char),
    KZY varchar2(50 char),
    KZRQ varchar2(10 char),
    DCSHYJ varchar2(500 char),
    DCSHR varchar2(50 char),
    DCSHRQ varchar2(10 char),
    syqlx varchar2(30 char),
    BDDJ varchar2(30 char),
    ZYGDWZSM varchar2(500 char),
    ZYJXZXSM varchar2(500 char),
    bz varchar2(2000 char),
    bgrq varchar2(10 char),
    dcblx number(10)
);

-- The unit's rows (a range on dwdm) and its highest parcel number.
create index ZARN.IX_DJDCB_DWDM_ZDBH on ZARN.T_DJDCB (DWDM, ZDBH);
-- The unit's highest survey number, without reading the unit's rows.
create index ZARN.IX_DJDCB_DWDM_DCBH on ZARN.T_DJDCB (DWDM, DCBH);
-- One current row per parcel and survey-table kind: two would share one set of
-- attached rows.
-- Oracle has no partial index: the expressions are null for every other row,
-- and a row whose key expressions are all null is not indexed. A current row
-- without a parcel number is left out as well, since Oracle would count two
-- such rows of one unit as equal.
create unique index ZARN.UX_DJDCB_CURRENT on ZARN.T_DJDCB (
    case when bgrq is null and ZDBH is not null then DWDM end,
    case when bgrq is null and ZDBH is not null then ZDBH end,
    case when bgrq is null and ZDBH is not null then dcblx end);

-- Boundary markers, one row per boundary point.
create table ZARN.T_JZBSB (
    id number(10) primary key,
    ZDBH varchar2(30 char),
    dwdm varchar2(20 char),
    XH number(10),
    JZDTBH varchar2(30 char),
    JZDJJ varchar2(20 char),
    JBLX varchar2(20 char),
    JZXLB varchar2(20 char),
    JZXWZ varchar2(10 char),
    TZJB number(10),
    BZ varchar2(200 char),
    FSBC varchar2(20 char),
    DCRQ varchar2(10 char),
    BGRQ varchar2(10 char),
    dcblx number(10)
);
create index ZARN.IX_JZBSB_PARCEL on ZARN.T_JZBSB (ZDBH, dwdm, BGRQ);
-- A unit's rows (a range on dwdm), with the columns the quality check of a
-- unit reads from them, so that it need not visit the table.
create index ZARN.IX_JZBSB_UNIT on ZARN.T_JZBSB (dwdm, ZDBH, BGRQ, XH, JZDTBH);

-- Boundary designation, one row per boundary line.
create table ZARN.T_ZJB (
    id number(10) primary key,
    ZDBH varchar2(30 char),
    dwdm varchar2(20 char),
    JZXQDH varchar2(30 char),
    JZXZDH varchar2(30 char),
    LZDZDBH varchar2(100 char),
    LZZJRXM varchar2(50 char),
    BZZJRXM varchar2(50 char),
    ZJRQ varchar2(10 char),
    DCRQ varchar2(10 char),
    BGRQ varchar2(10 char),
    dcblx number(10)
);
create index ZARN.IX_ZJB_PARCEL on ZARN.T_ZJB (ZDBH, dwdm, BGRQ);
create index ZARN.IX_ZJB_UNIT on ZARN.T_ZJB (dwdm, ZDBH, BGRQ, JZXQDH, JZXZDH);

-- Four sides, one row per stretch of boundary.
create table ZARN.T_SZB (
    id number(10) primary key,
    ZDBH varchar2(30 char),
    dwdm varchar2(20 char),
    FWSX varchar2(10 char),
    JZDStart varchar2(30 char),
    JZDEnd varchar2(30 char),
    LZDJHORLOADNAME varchar2(100 char),
    DCRQ varchar2(10 char),
    BGRQ varchar2(10 char),
    dcblx number(10)
);
create index ZARN.IX_SZB_PARCEL on ZARN.T_SZB (ZDBH, dwdm, BGRQ);
create index ZARN.IX_SZB_UNIT on ZARN.T_SZB (dwdm, ZDBH, BGRQ, FWSX);

-- Co-use-right holders, one row per holder.
create table ZARN.T_GYQ (
    id number(10) primary key,
    ZDBH varchar2(30 char),
    dwdm varchar2(20 char),
    GYSYQRBH varchar2(30 char),
    TDSYZMC varchar2(100 char),
    TDSYZXZ varchar2(20 char),
    TXDZ varchar2(200 char),
    YB varchar2(10 char),
    SJZGBM varchar2(100 char),
    FRDBXM varchar2(50 char),
    FRDBSF varchar2(30 char),
    FRDBDH varchar2(30 char),
    DLRXM varchar2(50 char),
    DLRSF varchar2(30 char),
    DLRDH varchar2(30 char),
    TDYT varchar2(50 char),
    JZWLX varchar2(50 char),
    DZSYMJ varchar2(20 char),
    DZSYJZZDMJ varchar2(20 char),
    GYTDMJ varchar2(20 char),
    FTTDMJ varchar2(20 char),
    FTJZMJ varchar2(20 char),
    DCRQ varchar2(10 char),
    BGRQ varchar2(10 char),
    dcblx number(10)
);
create index ZARN.IX_GYQ_PARCEL on ZARN.T_GYQ (ZDBH, dwdm, BGRQ);
create index ZARN.IX_GYQ_UNIT on ZARN.T_GYQ (dwdm, ZDBH, BGRQ);

-- Code tables: read whole, in id order.
create table ZARN.S_DWXZDM (id number(10) primary key, dwxzmc varchar2(50 char));
create table ZARN.S_QSXZ (id number(10) primary key, qsxzmc varchar2(50 char));
create table ZARN.S_GYLX (id number(10) primary key, GYLXMC varchar2(50 char));
create table ZARN.S_DLDM (id number(10) primary key, DLDM varchar2(10 char), DLMC varchar2(50 char));
create table ZARN.S_JBLX (id number(10) primary key, JBLXMC varchar2(50 char));
create table ZARN.S_JXLB (id number(10) primary key, JXLBMC varchar2(50 char));
create table ZARN.S_JXWZDM (id number(10) primary key, JXWZ varchar2(50 char));

-- The survey tables are read and written, the code tables only read.
grant select, insert, update, delete on ZARN.T_DJDCB to ZARN_SURVEY;
grant select, insert, update, delete on ZARN.T_JZBSB to ZARN_SURVEY;
grant select, insert, update, delete on ZARN.T_ZJB to ZARN_SURVEY;
grant select, insert, update, delete on ZARN.T_SZB to ZARN_SURVEY;
grant select, insert, update, delete on ZARN.T_GYQ to ZARN_SURVEY;
grant select on ZARN.S_DWXZDM to ZARN_SURVEY;
grant select on ZARN.S_QSXZ to ZARN_SURVEY;
grant select on ZARN.S_GYLX to ZARN_SURVEY;
grant select on ZARN.S_DLDM to ZARN_SURVEY;
grant select on ZARN.S_JBLX to ZARN_SURVEY;
grant select on ZARN.S_JXLB to ZARN_SURVEY;
grant select on ZARN.S_JXWZDM to ZARN_SURVEY;

-- Plain names for every user of the role.
create public synonym T_DJDCB for ZARN.T_DJDCB;
create public synonym T_JZBSB for ZARN.T_JZBSB;
create public synonym T_ZJB for ZARN.T_ZJB;
create public synonym T_SZB for ZARN.T_SZB;
create public synonym T_GYQ for ZARN.T_GYQ;
create public synonym S_DWXZDM for ZARN.S_DWXZDM;
create public synonym S_QSXZ for ZARN.S_QSXZ;
create public synonym S_GYLX for ZARN.S_GYLX;
create public synonym S_DLDM for ZARN.S_DLDM;
create public synonym S_JBLX for ZARN.S_JBLX;
create public synonym S_JXLB for ZARN.S_JXLB;
create public synonym S_JXWZDM for ZARN.S_JXWZDM;

-- The code tables' contents, written with plain names into ZARN's tables.
alter session set current_schema = ZARN;
@@code_tables.sql
commit;
