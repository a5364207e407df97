#include "report.h"

#include "forms/sheet_print.h"
#include "widgets/fonts.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPdfWriter>
#include <QTextLayout>

#include <algorithm>
#include <array>
#include <functional>

namespace zarn::checkreport {

namespace {

QString problemText(const quality::Finding &f)
{
    const QString sentence = QString::fromUtf8(f.info().sentence);
    return f.detail.isEmpty() ? sentence : sentence + QStringLiteral("：") + f.detail;
}

// Columns a character takes on a terminal: two for the wide East Asian
// characters (CJK, full-width forms), one for the rest.
int displayWidth(const QString &s)
{
    int w = 0;
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        const bool wide = (u >= 0x1100 && u <= 0x115F) || (u >= 0x2E80 && u <= 0xA4CF) ||
                          (u >= 0xAC00 && u <= 0xD7A3) || (u >= 0xF900 && u <= 0xFAFF) ||
                          (u >= 0xFE30 && u <= 0xFE4F) || (u >= 0xFF00 && u <= 0xFF60) ||
                          (u >= 0xFFE0 && u <= 0xFFE6);
        w += wide ? 2 : 1;
    }
    return w;
}

QString padded(const QString &s, int width)
{
    return s + QString(std::max(0, width - displayWidth(s)), QLatin1Char(' '));
}

QString aligned(const QList<QStringList> &rows)
{
    QList<int> widths;
    for (const QStringList &r : rows)
        for (int i = 0; i < r.size(); ++i) {
            if (widths.size() <= i) widths.append(0);
            widths[i] = std::max(widths[i], displayWidth(r[i]));
        }
    QString out;
    for (const QStringList &r : rows) {
        QString line;
        for (int i = 0; i < r.size(); ++i)
            line += i + 1 == r.size() ? r[i] : padded(r[i], widths[i]) + QStringLiteral("  ");
        out += line + QLatin1Char('\n');
    }
    return out;
}

QList<QStringList> totalRows(const QList<quality::Finding> &findings)
{
    QList<QStringList> rows{{QStringLiteral("代码"), QStringLiteral("检查项"),
                             QStringLiteral("严重程度"), QStringLiteral("问题数")}};
    for (const quality::Total &t : quality::totals(findings)) {
        const quality::CheckInfo &c = quality::checks()[std::size_t(t.check)];
        rows.append({QString::fromUtf8(c.code), QString::fromUtf8(c.sentence),
                     quality::severityText(c.severity), QString::number(t.findings)});
    }
    return rows;
}

QString summaryLine(const QList<quality::Finding> &findings)
{
    const auto errors = std::count_if(findings.begin(), findings.end(), [](const auto &f) {
        return f.info().severity == quality::Severity::Error;
    });
    return QStringLiteral("共 %1 个问题：错误 %2 个，警告 %3 个。")
        .arg(findings.size())
        .arg(errors)
        .arg(findings.size() - errors);
}

QString csvField(const QString &s)
{
    if (!s.contains(QLatin1Char(',')) && !s.contains(QLatin1Char('"')) &&
        !s.contains(QLatin1Char('\n')) && !s.contains(QLatin1Char('\r')))
        return s;
    QString q = s;
    q.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

// ---------------------------------------------------------------- PDF

QFont reportFont(qreal points, bool bold = false)
{
    QFont f = ui::songFont(9);
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

// Pages of the report: a page is started when a row does not fit.
class PdfPages {
public:
    PdfPages(QPdfWriter &writer, QPainter &painter)
        : m_writer(writer)
        , m_painter(painter)
    {
        const QRect r = painter.viewport();
        m_width = r.width();
        m_height = r.height();
        m_footer = QFontMetricsF(reportFont(8), &writer).height() * 2;
    }

    qreal width() const { return m_width; }
    // Room for `height` more on this page, else a new page; gives the top.
    qreal take(qreal height, const std::function<void()> &onNewPage = {})
    {
        if (m_y + height > m_height - m_footer && m_y > 0) {
            newPage();
            if (onNewPage) onNewPage();
        }
        const qreal top = m_y;
        m_y += height;
        return top;
    }
    void skip(qreal h) { m_y += h; }
    void finish() { footer(); }
    int pages() const { return m_page; }

private:
    void footer()
    {
        m_painter.setFont(reportFont(8));
        m_painter.drawText(QRectF(0, m_height - m_footer, m_width, m_footer),
                           Qt::AlignHCenter | Qt::AlignBottom,
                           QStringLiteral("第 %1 页").arg(m_page));
    }
    void newPage()
    {
        footer();
        m_writer.newPage();
        ++m_page;
        m_y = 0;
    }

    QPdfWriter &m_writer;
    QPainter &m_painter;
    qreal m_width = 0, m_height = 0, m_footer = 0, m_y = 0;
    int m_page = 1;
};

// Lines of a text wrapped to a width.
QStringList wrapped(const QString &text, const QFont &font, qreal width, QPaintDevice *device)
{
    QTextLayout layout(text, font, device);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines << text.mid(line.textStart(), line.textLength());
    }
    layout.endLayout();
    return lines.isEmpty() ? QStringList{QString()} : lines;
}

// A table whose columns share the page width by the given fractions; the
// titles are drawn again at the top of every page.
void drawTable(PdfPages &pages, QPainter &p, QPdfWriter &writer, const QStringList &titles,
               const QList<qreal> &fractions, const QList<QStringList> &rows)
{
    const QFont body = reportFont(9), head = reportFont(9, true);
    const qreal line = QFontMetricsF(body, &writer).height();
    const qreal pad = line * 0.25;
    QList<qreal> x{0};
    for (const qreal f : fractions)
        x.append(x.last() + f * pages.width());
    // A row that does not fit starts a page, headed by the titles again.
    std::function<void()> titlesAgain;
    auto drawRow = [&](const QStringList &cells, const QFont &font, bool shaded) {
        QList<QStringList> lines;
        int most = 1;
        for (int i = 0; i < cells.size(); ++i) {
            lines.append(wrapped(cells[i], font, x[i + 1] - x[i] - 2 * pad, &writer));
            most = std::max(most, int(lines.last().size()));
        }
        const qreal h = most * line + 2 * pad;
        const qreal top = pages.take(h, titlesAgain);
        if (shaded) p.fillRect(QRectF(0, top, pages.width(), h), QColor(232, 232, 232));
        p.setFont(font);
        for (int i = 0; i < cells.size(); ++i) {
            for (int l = 0; l < lines[i].size(); ++l)
                p.drawText(
                    QRectF(x[i] + pad, top + pad + l * line, x[i + 1] - x[i] - 2 * pad, line),
                    Qt::AlignLeft | Qt::AlignVCenter, lines[i][l]);
            p.drawRect(QRectF(x[i], top, x[i + 1] - x[i], h));
        }
    };
    drawRow(titles, head, true);
    titlesAgain = [&] { drawRow(titles, head, true); };
    for (const QStringList &r : rows)
        drawRow(r, body, false);
}

} // namespace

QStringList columnTitles()
{
    return {QStringLiteral("地籍号"), QStringLiteral("调查表号"), QStringLiteral("代码"),
            QStringLiteral("问题"), QStringLiteral("严重程度")};
}

QStringList cells(const quality::Finding &f)
{
    return {f.zdbh, f.dcbh, QString::fromUtf8(f.info().code), problemText(f),
            quality::severityText(f.info().severity)};
}

QString textTable(const QList<quality::Finding> &findings)
{
    if (findings.isEmpty()) return QStringLiteral("未发现问题。\n");
    QList<QStringList> rows{columnTitles()};
    for (const quality::Finding &f : findings) {
        // The severity before the long sentence keeps the columns straight.
        const QStringList c = cells(f);
        rows.append({c[0], c[1], c[2], c[4], c[3]});
    }
    std::swap(rows[0][3], rows[0][4]);
    return aligned(rows) + QLatin1Char('\n') + aligned(totalRows(findings)) +
           summaryLine(findings) + QLatin1Char('\n');
}

QByteArray csv(const QList<quality::Finding> &findings)
{
    QString out;
    auto line = [&](const QStringList &fields) {
        QStringList q;
        for (const QString &f : fields)
            q << csvField(f);
        out += q.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    };
    line(QStringList{QStringLiteral("单位代码")} + columnTitles());
    for (const quality::Finding &f : findings)
        line(QStringList{f.dwdm} + cells(f));
    out += QStringLiteral("\r\n");
    for (const QStringList &r : totalRows(findings))
        line(r);
    return QByteArray("\xEF\xBB\xBF") + out.toUtf8();
}

bool writePdf(QIODevice &device, const Heading &heading, const QList<quality::Finding> &findings,
              int *pageCount)
{
    QPdfWriter writer(&device);
    writer.setResolution(600);
    writer.setTitle(QStringLiteral("地籍调查成果质量检查报告"));
    writer.setCreator(QStringLiteral("Zarndcbdll"));
    forms::setUpSheetPages(writer);
    QPainter p;
    if (!p.begin(&writer)) return false;
    p.setPen(QPen(Qt::black, 0));
    PdfPages pages(writer, p);

    const QFont title = reportFont(16, true), body = reportFont(9);
    const qreal titleHeight = QFontMetricsF(title, &writer).height() * 1.6;
    p.setFont(title);
    p.drawText(QRectF(0, pages.take(titleHeight), pages.width(), titleHeight), Qt::AlignCenter,
               QStringLiteral("地籍调查成果质量检查报告"));
    const qreal line = QFontMetricsF(body, &writer).height() * 1.3;
    p.setFont(body);
    for (const QString &s :
         {QStringLiteral("单位代码：%1（含下级单位）").arg(heading.dwdm),
          QStringLiteral("数据库：%1").arg(heading.connection),
          QStringLiteral("检查时间：%1").arg(heading.when), summaryLine(findings)})
        p.drawText(QRectF(0, pages.take(line), pages.width(), line),
                   Qt::AlignLeft | Qt::AlignVCenter, s);
    pages.skip(line);

    QList<QStringList> rows;
    for (const quality::Finding &f : findings)
        rows.append(cells(f));
    if (!rows.isEmpty())
        drawTable(pages, p, writer, columnTitles(), {0.13, 0.19, 0.07, 0.52, 0.09}, rows);
    pages.skip(line);
    p.setFont(reportFont(11, true));
    p.drawText(QRectF(0, pages.take(line * 1.4), pages.width(), line * 1.4),
               Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("各检查项问题数"));
    QList<QStringList> totals = totalRows(findings);
    const QStringList totalTitles = totals.takeFirst();
    drawTable(pages, p, writer, totalTitles, {0.1, 0.62, 0.14, 0.14}, totals);
    pages.finish();
    if (pageCount) *pageCount = pages.pages();
    return p.end();
}

} // namespace zarn::checkreport
