// The filled survey table on paper: the PDF of the row shown and the printer's
// page, read back with poppler's pdftotext, and zarn-sheet's PDF of a whole unit.
#include "form_fixture.h"

#include "forms/shaped_text.h"
#include "forms/sheet_layout.h"
#include "forms/sheet_print.h"
#include "support/tempdir.h"
#include "widgets/fonts.h"

#include <QDir>
#include <QFileInfo>
#include <QPrinter>
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

// The words of a PDF with their boxes in points, page by page.
struct Word {
    int page;
    QRectF box;
    QString text;
};

QList<Word> pdfWords(const QString &pdf)
{
    const QString html = run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, "-"});
    static const QRegularExpression tag(
        QStringLiteral("<page |<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" "
                       "yMax=\"([\\d.]+)\">([^<]*)</word>"));
    QList<Word> words;
    int page = 0;
    for (auto m = tag.globalMatch(html); m.hasNext();) {
        const QRegularExpressionMatch w = m.next();
        if (w.captured(0) == QLatin1String("<page ")) {
            ++page;
            continue;
        }
        words.append({page,
                      QRectF(QPointF(w.captured(1).toDouble(), w.captured(2).toDouble()),
                             QPointF(w.captured(3).toDouble(), w.captured(4).toDouble())),
                      w.captured(5)});
    }
    return words;
}

// A4 less the 15 mm margins, in points, and a point of slack for the glyphs.
const QRectF kPrintable = QRectF(0, 0, 595.28, 841.89).adjusted(41.5, 41.5, -41.5, -41.5);

// The words lying (partly) outside the printable area, to be cut by a printer.
QStringList outsidePrintable(const QList<Word> &words)
{
    QStringList out;
    for (const Word &w : words)
        if (!kPrintable.contains(w.box))
            out << QStringLiteral("%1 on page %2 at %3,%4")
                       .arg(w.text)
                       .arg(w.page)
                       .arg(w.box.right())
                       .arg(w.box.bottom());
    return out;
}

int pageCount(const QString &pdf)
{
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)"))
                                          .match(run(QStringLiteral("pdfinfo"), {pdf}));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
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
    for (const SheetEntry &e : useRightSheetLayout().entries)
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
    QStringList pieces = expected(useRightSheetLayout());
    pieces.removeAll(remark); // read apart: it follows under the table
    EXPECT_EQ(firstOutOfOrder(page, pieces), QString()) << page.toStdString();
    EXPECT_TRUE(page.contains(remark)) << "the remark was cut";
    EXPECT_FALSE(page.contains(QStringLiteral("变更")));

    // A changed version carries its notice.
    session->surveyRows.locate("bgrq", "20050612");
    form->applyChangeLock();
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
    EXPECT_EQ(firstOutOfOrder(pdfText(pdf), expected(ownershipSheetLayout())), QString())
        << pdfText(pdf).toStdString();
}

TEST_P(PrintTest, ThePrinterAndThePdfPlaceThePageAlikeWithinTheMargins)
{
    addSurvey({{"dwdm", unit},
               {"zdbh", "0010010007"},
               {"dcbh", "3201020010010007"},
               {"qlr", "张三"},
               {"frdbdh", "025-85741047"},
               {"bddj", "1200元每平方米"}});
    open(unit, "0010010007");
    // The printer's own path, as after the print dialog, into a file.
    const QString printed = dir.file("printed.pdf");
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printed);
        setUpSheetPages(printer);
        form->printTo(printer);
    }
    const QString exported = dir.file("exported.pdf");
    ASSERT_TRUE(form->writePdf(exported));

    const QList<Word> onPrinter = pdfWords(printed), inPdf = pdfWords(exported);
    ASSERT_GT(inPdf.size(), 40);
    EXPECT_EQ(outsidePrintable(onPrinter), QStringList());
    ASSERT_EQ(onPrinter.size(), inPdf.size());
    for (qsizetype i = 0; i < inPdf.size(); ++i) {
        const QPointF moved = onPrinter[i].box.topLeft() - inPdf[i].box.topLeft();
        ASSERT_LT(moved.manhattanLength(), 1.0)
            << inPdf[i].text.toStdString() << " moved by " << moved.x() << "," << moved.y();
    }
    // The title in the middle of the sheet, the rows down to its foot.
    const Word &title = inPdf.first();
    EXPECT_EQ(title.text, text(useRightSheetLayout().title));
    EXPECT_NEAR(title.box.center().x(), 595.28 / 2, 3);
    qreal lowest = 0;
    for (const Word &w : inPdf)
        lowest = std::max(lowest, w.box.bottom());
    EXPECT_GT(lowest, kPrintable.bottom() - 40);
}

TEST_P(PrintTest, LongNotesContinueOnFurtherPagesWithNothingCut)
{
    // Four notes on one row, none of which fits its blank at a readable size:
    // three as long as their columns take, the survey notes longer than a page
    // and in paragraphs.
    const QStringList columns{"sm", "qsdcjs", "djkzjs", "dcshyj"};
    QVariantMap row{{"dwdm", unit}, {"zdbh", "0010010007"}, {"dcbh", "3201020010010007"}};
    QStringList notes;
    for (int n = 0; n < columns.size(); ++n) {
        QString note;
        for (int i = 0; note.size() < (n == 1 ? 5000 : 500); ++i)
            note += QStringLiteral("记事%1之第%2句。%3")
                        .arg(n + 1)
                        .arg(i, 3, 10, QChar('0'))
                        .arg(n == 1 && i % 40 == 39 ? "\n" : "");
        notes << note.left(n == 1 ? 5000 : 500);
        row.insert(columns[n], notes.last());
    }
    row.insert("qlr", QStringLiteral("南京市玄武区秦淮街道钟山经济合作社"));
    addSurvey(row);
    open(unit, "0010010007");

    const QString pdf = dir.file("notes.pdf");
    ASSERT_TRUE(form->writePdf(pdf));
    const int pages = pageCount(pdf);
    EXPECT_GE(pages, 3);
    EXPECT_EQ(outsidePrintable(pdfWords(pdf)), QStringList());
    QString all = pdfText(pdf);
    EXPECT_EQ(all.count(QStringLiteral("（见表下续）")), 4);
    EXPECT_TRUE(all.contains(QStringLiteral("南京市玄武区秦淮街道钟山经济合作社")));
    // Every page that carries the notes on says which table it belongs to.
    const QString header = QStringLiteral("土地使用权地籍调查表（续）调查表号3201020010010007");
    EXPECT_EQ(all.count(header), pages - 1);
    // Each of those pages then starts with a label: of a note that begins
    // there, or of one resumed from the page before, which began under it.
    static const QRegularExpression labelled(QStringLiteral("^(.+?)（(续|接上页)）："));
    QStringList resumed;
    for (int page = 2; page <= pages; ++page) {
        const QString n = QString::number(page);
        const QString text = run(QStringLiteral("pdftotext"),
                                 {QStringLiteral("-layout"), "-f", n, "-l", n, pdf, "-"})
                                 .remove(QRegularExpression(QStringLiteral("\\s")))
                                 .remove(header);
        const QRegularExpressionMatch m = labelled.match(text);
        ASSERT_TRUE(m.hasMatch()) << "page " << page << " starts " << text.left(20).toStdString();
        if (m.captured(2) == QStringLiteral("接上页")) {
            const QString begun = m.captured(1) + QStringLiteral("（续）：");
            EXPECT_TRUE(all.left(all.indexOf(header + m.captured(0))).contains(begun))
                << "page " << page << " resumes " << m.captured(1).toStdString();
            resumed << m.captured(0);
        }
    }
    EXPECT_FALSE(resumed.isEmpty()) << "the notes longer than a page were never resumed";
    all.remove(header);
    for (const QString &label : resumed)
        all.remove(label);
    for (qsizetype n = 0; n < notes.size(); ++n)
        EXPECT_TRUE(all.contains(QString(notes[n]).remove('\n')))
            << columns[n].toStdString() << " was cut";
}

TEST_P(PrintTest, ZarnSheetPrintsEachRowOnTheSheetOfItsKind)
{
    QString note;
    for (int i = 0; note.size() < 1500; ++i)
        note += QStringLiteral("记事第%1句。").arg(i, 3, 10, QChar('0'));
    addSurvey({{"dwdm", unit},
               {"zdbh", "0010010001"},
               {"dcbh", "3201020010010001"},
               {"qlr", "使用者甲"},
               {"qsdcjs", note}});
    // A row of no recorded kind is a use-right table, the default form's.
    addSurvey({{"dwdm", unit}, {"zdbh", "0010010002"}, {"qlr", "使用者乙"}, {"dcblx", QVariant()}});
    addSurvey(
        {{"dwdm", unit}, {"zdbh", "0010010003"}, {"qsmc", "城东村第一村民小组"}, {"dcblx", 1}});

    const QString useRight = text(useRightSheetLayout().title),
                  ownership = text(ownershipSheetLayout().title);
    struct Case {
        QStringList args;
        int useRightTables, ownershipTables;
    };
    for (const Case &c : {Case{{}, 2, 1}, Case{{"--lx", "0"}, 2, 0}, Case{{"--lx", "1"}, 0, 1}}) {
        const QString pdf = dir.file("unit.pdf");
        const ToolRun r = runWithInput(
            ZARN_SHEET_TOOL, QStringList{"--dwdm", unit, "--connection", "-", "-o", pdf} + c.args,
            db->connectionString().toUtf8() + "\n");
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        const QString page = pdfText(pdf);
        // The long remark takes a page of its own after its table, and counts.
        const int pages = pageCount(pdf);
        EXPECT_EQ(pages, c.useRightTables + c.ownershipTables + (c.useRightTables > 0 ? 1 : 0))
            << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.out.contains(QStringLiteral("%1 页").arg(pages))) << r.out.toStdString();
        EXPECT_EQ(page.count(useRight) - page.count(useRight + QStringLiteral("（续）")),
                  c.useRightTables);
        EXPECT_EQ(page.count(ownership), c.ownershipTables);
        EXPECT_EQ(page.contains(QStringLiteral("使用者乙")), c.useRightTables > 0);
        EXPECT_EQ(page.contains(QStringLiteral("名称城东村第一村民小组")), c.ownershipTables > 0);
        EXPECT_EQ(page.contains(note), c.useRightTables > 0);
    }
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
    // Read a few rows at a time, every parcel is printed.
    const QString all = pdfText(pdf);
    for (int parcel = 1; parcel <= 300; ++parcel)
        EXPECT_TRUE(all.contains(QStringLiteral("001001%1").arg(parcel, 4, 10, QChar('0'))))
            << parcel;
    // The sheet laid out once is still text in the embedded face on the last
    // page as on the first.
    const QString last = pages.captured(1);
    EXPECT_TRUE(run(QStringLiteral("pdftotext"), {"-f", last, "-l", last, pdf, "-"})
                    .contains(QStringLiteral("调查表号")));
    const QStringList fonts =
        run(QStringLiteral("pdffonts"), {pdf}).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_GT(fonts.size(), 2) << "a header and at least one face";
    for (const QString &face : fonts.mid(2)) {
        const QStringList cells = face.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        ASSERT_GE(cells.size(), 5);
        EXPECT_EQ(cells[cells.size() - 5], "yes") << face.toStdString(); // embedded
    }

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
        const ToolRun r =
            runWithInput(ZARN_SHEET_TOOL, {"--dwdm", unit, "--connection", conn, "-o", target}, {});
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

// A value printed again is drawn from what it was shaped as the first times:
// the same glyphs at the same places, at the size asked for; and however many
// values recur, the record of them stays small.
TEST(ShapedLinesTest, AValueKeptIsTheValueShapedAfreshAtItsOwnSize)
{
    auto at = [](int pixels) {
        QFont f = ui::songFont(9);
        f.setPixelSize(pixels);
        return f;
    };
    auto glyphsOf = [](const ShapedLine &l) {
        QList<std::pair<quint32, QPointF>> glyphs;
        for (const QGlyphRun &run : l.runs)
            for (qsizetype i = 0; i < run.glyphIndexes().size(); ++i)
                glyphs.append({run.glyphIndexes()[i], run.positions()[i]});
        return glyphs;
    };
    ShapedLines lines;
    const QString value = QStringLiteral("城东村 No.7 AV号");
    for (int time = 1; time <= 3; ++time) // met once, kept, then taken from the record
        for (int pixels : {12, 9}) {
            const ShapedLine fresh = shapeLine(value, at(pixels));
            const ShapedLine got = lines.line(value, pixels, at(pixels));
            EXPECT_EQ(glyphsOf(got), glyphsOf(fresh)) << time << " " << pixels;
            EXPECT_EQ(got.width, fresh.width) << time << " " << pixels;
            EXPECT_EQ(got.height, fresh.height) << time << " " << pixels;
        }
    EXPECT_GT(lines.line(value, 12, at(12)).width, lines.line(value, 9, at(9)).width);

    for (int i = 0; i < 3 * ShapedLines::kKept; ++i)
        for (int time = 0; time < 2; ++time)
            lines.line(QString::number(i), 12, at(12));
    EXPECT_LE(lines.keptCount(), ShapedLines::kKept);
    EXPECT_GT(lines.keptCount(), 0);
}

using zarn::test::Backend;
using zarn::test::backendParamName;
INSTANTIATE_TEST_SUITE_P(Sqlite, PrintTest, ::testing::Values(Backend::Sqlite),
                         backendParamName<::testing::TestParamInfo<Backend>>);
INSTANTIATE_TEST_SUITE_P(Postgres, PrintTest, ::testing::Values(Backend::Postgres),
                         backendParamName<::testing::TestParamInfo<Backend>>);

} // namespace
