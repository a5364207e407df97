// The filled survey table on paper: the PDF of the row shown, read back with
// poppler's pdftotext, and zarn-sheet's PDF of a whole unit.
#include "form_fixture.h"

#include "forms/sheet_layout.h"
#include "support/tempdir.h"

#include <QProcess>
#include <QRegularExpression>

using namespace zarn;
using namespace zarn::forms;

namespace {

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

    // One parcel: its versions only.
    const QString one = dir.file("one.pdf");
    run(ZARN_SHEET_TOOL, {"--dwdm", unit, "--zdh", "0010010001", "--connection", conn, "-o", one});
    EXPECT_TRUE(
        run(QStringLiteral("pdfinfo"), {one}).contains(QRegularExpression("Pages:\\s+[12]\\n")));
}

using zarn::test::Backend;
using zarn::test::backendParamName;
INSTANTIATE_TEST_SUITE_P(Sqlite, PrintTest, ::testing::Values(Backend::Sqlite),
                         backendParamName<::testing::TestParamInfo<Backend>>);
INSTANTIATE_TEST_SUITE_P(Postgres, PrintTest, ::testing::Values(Backend::Postgres),
                         backendParamName<::testing::TestParamInfo<Backend>>);

} // namespace
