// The filled survey table on paper: the PDF of the row shown, read back with
// poppler's pdftotext, and zarn-sheet's PDF of a whole unit.
#include "form_fixture.h"

#include "forms/sheet_layout.h"
#include "support/tempdir.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

using namespace zarn;
using namespace zarn::forms;
using zarn::test::readFile;
using zarn::test::writeFile;

namespace {

struct ToolRun {
    int exitCode = -1;
    QString out, err;
};

// Runs a tool with `input` on its standard input.
ToolRun runWithInput(const QString &program, const QStringList &args, const QByteArray &input)
{
    QProcess p;
    p.start(program, args);
    p.write(input);
    p.closeWriteChannel();
    ToolRun r;
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit) return r;
    r.exitCode = p.exitCode();
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

QString run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(120000) || p.exitCode() != 0)
        return QStringLiteral("<%1 failed: %2>")
            .arg(program, QString::fromLocal8Bit(p.readAllStandardError()));
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The PDF's text in reading order, without blanks and line breaks.
QString pdfText(const QString &pdf)
{
    return run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")})
        .remove(QRegularExpression(QStringLiteral("\\s")));
}

// Each of the pieces in the text, one after the other; the first missing one
// (or empty when all are there in order).
QString firstOutOfOrder(const QString &text, const QStringList &pieces)
{
    qsizetype at = 0;
    for (const QString &piece : pieces) {
        const qsizetype found = text.indexOf(piece, at);
        if (found < 0) return piece;
        at = found + piece.size();
    }
    return {};
}

class PrintTest : public zarn::test::FormTest {
protected:
    const QString unit = QStringLiteral("320102001001");
    zarn::test::TempDir dir;

    // Every label and value of the sheet, as they are read on the page.
    QStringList expected(const SheetLayout &layout)
    {
        QStringList pieces{text(layout.title)};
        for (const SheetEntry &e : layout.entries) {
            if (e.kind == SheetKind::Button) continue;
            // A label of several lines beside a memo: the value starts level with
            // its first line.
            const QStringList lines = text(e.label).split('\n');
            pieces << lines.first();
            if (e.kind != SheetKind::Heading) pieces << current(text(e.column)).remove(' ');
            pieces << lines.mid(1);
        }
        pieces.removeAll(QString());
        return pieces;
    }
};

TEST_P(PrintTest, ThePdfHoldsEveryLabelAndValueInReadingOrderUncut)
{
    QVariantMap row{{"dwdm", unit}, {"zdbh", "0010010007"}, {"dcbh", "3201020010010007"}};
    for (const SheetEntry &e : useRightSheet().entries)
        if (e.kind != SheetKind::Heading && e.kind != SheetKind::Button &&
            !row.contains(QString::fromLatin1(e.column).toLower()))
            row.insert(QString::fromLatin1(e.column).toLower(), QStringLiteral("值%1").arg(e.tab));
    for (const char *number : {"qlrzs", "jzdgs", "bddj"})
        row.insert(number, 7);
    // A 500-character remark does not fit its one-line blank at any size.
    QString remark;
    for (int i = 0; i < 50; ++i)
        remark += QStringLiteral("第%1段说明文字。").arg(i, 2, 10, QChar('0'));
    remark = remark.left(500);
    row.insert("sm", remark);
    addSurvey(row);
    addSurvey({{"dwdm", unit}, {"zdbh", "0010010007"}, {"bgrq", "20050612"}, {"qlr", "旧版"}});
    open(unit, "0010010007");

    const QString pdf = dir.file("row.pdf");
    ASSERT_TRUE(form->writePdf(pdf));
    const QString page = pdfText(pdf);
    QStringList pieces = expected(useRightSheet());
    pieces.removeAll(remark); // read apart: it follows under the table
    EXPECT_EQ(firstOutOfOrder(page, pieces), QString()) << page.toStdString();
    EXPECT_TRUE(page.contains(remark)) << "the remark was cut";
    EXPECT_FALSE(page.contains(QStringLiteral("变更")));

    // A changed version carries its notice.
    DataMod->djdcTable.locate("bgrq", "20050612");
    form->setcomp();
    ASSERT_TRUE(form->writePdf(pdf));
    EXPECT_TRUE(pdfText(pdf).contains(QStringLiteral("该宗地已于20050612变更")));
    EXPECT_FALSE(form->writePdf(dir.file("no/such/folder/row.pdf")));
}

TEST_P(PrintTest, TheOwnershipTableIsDrawnByTheSameMechanism)
{
    addSurvey({{"dwdm", unit},
               {"zdbh", "0010010003"},
               {"dcbh", "3201020010010003"},
               {"qsmc", "城东村第一村民小组"},
               {"bz", "被县道分割为两块"},
               {"zygdwzsm", "界址点位于田埂交汇处"}});
    openOwnership(unit);
    const QString pdf = dir.file("own.pdf");
    ASSERT_TRUE(syq->writePdf(pdf));
    EXPECT_EQ(firstOutOfOrder(pdfText(pdf), expected(ownershipSheet())), QString())
        << pdfText(pdf).toStdString();
}

TEST_P(PrintTest, ZarnSheetWritesOnePagePerRowOfTheUnit)
{
    if (backend() != zarn::test::Backend::Sqlite) GTEST_SKIP() << "one database is enough";
    // A database of the tool's own: 300 parcels in one unit.
    const QString conn = QStringLiteral("Provider=SQLite;Data Source=") + dir.file("unit.db");
    ASSERT_FALSE(run(ZARN_DB_TOOL, {"init", conn}).startsWith('<'));
    ASSERT_FALSE(
        run(ZARN_DB_TOOL, {"demo", conn, "--units", "1", "--parcels", "300"}).startsWith('<'));
    const QString pdf = dir.file("unit.pdf");
    const QString said = run(ZARN_SHEET_TOOL, {"--dwdm", unit, "--connection", conn, "-o", pdf});
    ASSERT_FALSE(said.startsWith('<')) << said.toStdString();
    const QString info = run(QStringLiteral("pdfinfo"), {pdf});
    const QRegularExpressionMatch pages =
        QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
    ASSERT_TRUE(pages.hasMatch()) << info.toStdString();
    EXPECT_GE(pages.captured(1).toInt(), 300); // the parcels and their older versions
    EXPECT_TRUE(said.contains(QStringLiteral("%1 页").arg(pages.captured(1))));

    // One parcel: its versions only, over an older PDF of that name; the
    // connection string read from standard input, as a password would be.
    const QString one = writeFile(dir.file("one.pdf"), "an older export");
    const ToolRun piped = runWithInput(
        ZARN_SHEET_TOOL, {"--dwdm", unit, "--zdh", "0010010001", "--connection", "-", "-o", one},
        (conn + "\r\n").toUtf8());
    EXPECT_EQ(piped.exitCode, 0) << piped.err.toStdString();
    EXPECT_TRUE(
        run(QStringLiteral("pdfinfo"), {one}).contains(QRegularExpression("Pages:\\s+[12]\\n")));

    // An export that fails (no such parcel) leaves the file it named alone.
    const QByteArray before = readFile(one);
    EXPECT_EQ(run(ZARN_SHEET_TOOL,
                  {"--dwdm", unit, "--zdh", "9999999999", "--connection", conn, "-o", one})
                  .left(1),
              "<");
    EXPECT_EQ(readFile(one), before);

    // Never onto the database or its journals, however they are named: the
    // survey tables stay, and nothing else is left in the folder.
    const QString db = dir.file("unit.db");
    ASSERT_TRUE(QFile::link(db, dir.file("link.pdf")));
    const QStringList folder = QDir(dir.path()).entryList(QDir::Files | QDir::System);
    const qint64 size = QFileInfo(db).size();
    for (const QString &target : {db, dir.path() + "/./unit.db-wal", dir.file("link.pdf"),
                                  QStringLiteral("%1/../%2/unit.db-shm")
                                      .arg(dir.path(), QFileInfo(dir.path()).fileName())}) {
        const ToolRun r = runWithInput(
            ZARN_SHEET_TOOL, {"--dwdm", unit, "--connection", conn, "-o", target}, {});
        EXPECT_EQ(r.exitCode, 2) << target.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("调查数据库"))) << r.err.toStdString();
    }
    EXPECT_EQ(QFileInfo(db).size(), size);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::System), folder);
    EXPECT_TRUE(run(ZARN_SHEET_TOOL, {"--dwdm", unit, "--connection", conn, "-o", pdf})
                    .contains(QStringLiteral("%1 页").arg(pages.captured(1))));
}

TEST_P(PrintTest, TheFormNeverExportsOntoTheDatabaseOrItsConfiguration)
{
    addSurvey({{"dwdm", unit}, {"zdbh", "0010010001"}, {"qlr", "张三"}});
    open(unit);
    QStringList protectedFiles{configPath()};
    if (backend() == zarn::test::Backend::Sqlite)
        protectedFiles << db->file() << db->file() + "-wal";
    for (const QString &target : protectedFiles) {
        const QByteArray before = QFile::exists(target) ? readFile(target) : QByteArray();
        QString why;
        EXPECT_FALSE(form->writePdf(target, &why)) << target.toStdString();
        EXPECT_TRUE(why.contains(QStringLiteral("不能写入"))) << why.toStdString();
        EXPECT_EQ(QFile::exists(target) ? readFile(target) : QByteArray(), before);
    }
    EXPECT_EQ(count("select count(*) from T_DJDCB"), 1);
    QString why;
    EXPECT_TRUE(form->writePdf(dir.file("row.pdf"), &why)) << why.toStdString();
}

using zarn::test::Backend;
using zarn::test::backendParamName;
INSTANTIATE_TEST_SUITE_P(Sqlite, PrintTest, ::testing::Values(Backend::Sqlite),
                         backendParamName<::testing::TestParamInfo<Backend>>);
INSTANTIATE_TEST_SUITE_P(Postgres, PrintTest, ::testing::Values(Backend::Postgres),
                         backendParamName<::testing::TestParamInfo<Backend>>);

} // namespace
