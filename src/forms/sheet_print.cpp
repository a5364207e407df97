#include "forms/sheet_print.h"

#include "forms/shaped_text.h"
#include "forms/sheet_layout.h"
#include "forms/sheet_paint.h"
#include "widgets/fonts.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QTextLayout>
#include <QtMath>

namespace zarn::forms {

namespace {

constexpr int kTitleHeight = 44;     // design pixels above the table
constexpr int kSheetPixels = 12;     // the sheet's own text size
constexpr qreal kReadablePoints = 7; // a value is never set smaller on paper
const QColor kValueInk(0, 0, 128);

QFont pixelFont(int pixels)
{
    QFont f = ui::songFont(9);
    f.setPixelSize(std::max(1, pixels));
    return f;
}

// A value's own line breaks (a memo's), as text layout takes them.
QString withLineSeparators(QString text)
{
    text.replace(QStringLiteral("\r\n"), QString(QChar::LineSeparator));
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    return text;
}

// The text broken into lines of the given width, as [start, length) pieces.
QList<std::pair<int, int>> wrappedLines(const QString &text, const QFont &font, qreal width,
                                        QTextOption::WrapMode mode)
{
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(mode);
    layout.setTextOption(option);
    QList<std::pair<int, int>> lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines.append({line.textStart(), line.textLength()});
    }
    layout.endLayout();
    return lines;
}

// Where a line shaped alone stands, vertically centred in `line` from the
// left: where drawText with AlignLeft | AlignVCenter puts it.
QPointF oneLineAt(const QRectF &line, const ShapedLine &shaped)
{
    return {line.left(), line.top() + (line.height() - shaped.height) / 2};
}

QString firstLine(const char *label)
{
    return text(label).split(QLatin1Char('\n')).join(QString());
}

// The survey table number a page is headed with.
QString tableNumber(const SheetLayout &layout, const SheetValues &values)
{
    for (const SheetEntry &e : layout.entries)
        if (QString::fromLatin1(e.column).compare(QLatin1String("DCBH"), Qt::CaseInsensitive) == 0)
            return values.value(text(e.column)).trimmed();
    return {};
}

// Heads a page that carries on a table: its title marked （续） and its
// survey table number, so that a loose page finds its table. The height used.
qreal paintContinuedHeader(QPainter &p, const SheetLayout &layout, const QString &number)
{
    QFont title = pixelFont(20);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::black);
    p.drawText(QRectF(0, 0, layout.pictureWidth, kTitleHeight - 8), Qt::AlignCenter,
               text(layout.title) + QStringLiteral("（续）"));
    p.setFont(pixelFont(kSheetPixels));
    p.drawText(QRectF(4, kTitleHeight - 8, layout.pictureWidth - 8, 20),
               Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("调查表号 ") + number);
    const qreal rule = kTitleHeight + 14;
    p.drawLine(QPointF(2, rule), QPointF(layout.pictureWidth - 3, rule));
    return rule + 10;
}

} // namespace

void setUpSheetPages(QPagedPaintDevice &device)
{
    device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
}

SheetPages::SheetPages(QPagedPaintDevice &device)
    : m_device(device)
    , m_painter(std::make_unique<QPainter>())
{
    if (!m_painter->begin(&m_device)) m_painter.reset();
}

SheetPages::~SheetPages()
{
    finish();
}

bool SheetPages::isOpen() const
{
    return m_painter != nullptr;
}

// What is the same on every page of a sheet kind: the title, frame, rules
// and labels drawn once for replaying, and where each value goes.
struct SheetPages::PrintedSheet {
    struct Blank {
        QString column;
        QString label; // on one line, for a continuation
        QRectF box;    // the blank, less a little air
        QRectF line;   // the line a one-line value stands on
    };
    RecordedDrawing fixed;
    QList<Blank> blanks;
    QRectF notice;
    qreal height = 0; // the table's, under the title
};

SheetPages::Fit SheetPages::fitting(const QString &text, const QRectF &line, const QRectF &box,
                                    int smallest)
{
    const bool breaks = text.contains(QChar::LineSeparator);
    for (int px = kSheetPixels; px >= smallest; --px) {
        const QFont &f = font(px);
        if (!breaks) {
            ShapedLine shaped = m_shaped.line(text, px, f);
            if (shaped.width <= line.width()) return {px, true, std::move(shaped)};
        }
        const auto lines = wrappedLines(text, f, box.width(), QTextOption::WrapAnywhere);
        if (lines.size() * QFontMetricsF(f).lineSpacing() <= box.height()) return {px, false, {}};
    }
    return {};
}

void SheetPages::add(const SheetLayout &layout, const SheetValues &values)
{
    if (!m_painter) return;
    QPainter &p = *m_painter;
    // A painter on a printer or a PDF writer starts at the printable area's
    // corner, the margins already left out: the page is drawn from there.
    const qreal scale = m_device.width() / qreal(layout.pictureWidth);
    const qreal pageHeight = m_device.height() / scale;
    const qreal pointsPerPixel = scale * 72 / m_device.logicalDpiY();
    const int smallest = qCeil(kReadablePoints / pointsPerPixel);
    auto startPage = [&] {
        if (m_pages > 0) m_device.newPage();
        ++m_pages;
        p.resetTransform();
        p.scale(scale, scale);
    };
    startPage();

    // The title, and the rows spread over the rest of the page, so that the
    // blanks are tall enough to write in and the values keep the sheet's size.
    const PrintedSheet &sheet = printed(layout, pageHeight);
    sheet.fixed.replay(p);
    p.translate(0, kTitleHeight);

    QList<std::pair<QString, QString>> continued;
    p.setPen(kValueInk);
    // The one-line values, handed to the device together.
    RecordedDrawing oneLiners;
    for (const PrintedSheet::Blank &b : sheet.blanks) {
        const QString value = withLineSeparators(values.value(b.column));
        if (value.isEmpty()) continue;
        Fit fit = fitting(value, b.line, b.box, smallest);
        if (fit.pixels == 0) {
            // Shrunk further it could not be read: the whole value follows
            // under the table, and nothing is cut.
            continued.append({b.label, value});
            fit = {kSheetPixels, true,
                   m_shaped.line(QStringLiteral("（见表下续）"), kSheetPixels, font(kSheetPixels))};
        }
        if (fit.oneLine) {
            oneLiners.addText(oneLineAt(b.line, fit.shaped), fit.shaped.runs, kValueInk);
            continue;
        }
        // Wrapped text ends on the blank's line, or starts level with the
        // first line of a label of several.
        const Qt::Alignment vertical = b.line.top() <= b.box.top() ? Qt::AlignTop : Qt::AlignBottom;
        p.setFont(font(fit.pixels));
        p.drawText(b.box, Qt::AlignLeft | vertical | Qt::TextWrapAnywhere, value);
    }
    if (!values.changeNotice.isEmpty()) {
        const ShapedLine notice =
            m_shaped.line(values.changeNotice, kSheetPixels, font(kSheetPixels));
        oneLiners.addText(oneLineAt(sheet.notice, notice), notice.runs, kValueInk);
    }
    oneLiners.replay(p);
    if (continued.isEmpty()) return;

    // The continuations, line by line, onto as many pages as they take.
    p.translate(0, -kTitleHeight);
    const QString number = tableNumber(layout, values);
    const QFont &f = font(kSheetPixels);
    // Some air between the lines: these are read as running text.
    const qreal lineHeight = QFontMetricsF(f).lineSpacing() * 1.25;
    const qreal width = layout.pictureWidth - 8;
    qreal y = kTitleHeight + sheet.height + 12;
    auto drawLine = [&](const QString &line) {
        p.setFont(f);
        p.setPen(Qt::black);
        // A line's separator has ended it already; drawn, it would break again.
        p.drawText(QRectF(4, y, width, lineHeight), Qt::AlignLeft | Qt::AlignVCenter,
                   QString(line).remove(QChar::LineSeparator));
        y += lineHeight;
    };
    for (const auto &[label, value] : continued) {
        const QString body = label + QStringLiteral("（续）：") + value;
        bool first = true;
        for (const auto &[start, length] :
             wrappedLines(body, f, width, QTextOption::WrapAtWordBoundaryOrAnywhere)) {
            if (y + lineHeight > pageHeight) {
                startPage();
                y = paintContinuedHeader(p, layout, number);
                // A value broken across pages says on the new page whose it
                // is: a page read on its own starts with the label.
                if (!first) drawLine(label + QStringLiteral("（接上页）："));
            }
            drawLine(body.mid(start, length));
            first = false;
        }
        y += 8;
    }
}

const QFont &SheetPages::font(int pixels)
{
    pixels = std::max(1, pixels);
    auto it = m_fonts.find(pixels);
    if (it == m_fonts.end()) it = m_fonts.emplace(pixels, pixelFont(pixels)).first;
    return it->second;
}

const SheetPages::PrintedSheet &SheetPages::printed(const SheetLayout &layout, qreal pageHeight)
{
    if (const auto it = m_printed.find(&layout); it != m_printed.end()) return *it->second;
    auto sheet = std::make_unique<PrintedSheet>();
    const SheetGeometry g = SheetGeometry::paper(layout, pageHeight - kTitleHeight);
    const QFont &sheetFont = font(kSheetPixels);
    sheet->fixed = RecordedDrawing::record([&](QPainter &p) {
        QFont title = pixelFont(20);
        title.setBold(true);
        p.setFont(title);
        p.setPen(Qt::black);
        p.drawText(QRectF(0, 0, layout.pictureWidth, kTitleHeight - 8), Qt::AlignCenter,
                   text(layout.title));
        p.translate(0, kTitleHeight);
        paintSheet(p, layout, sheetFont, g);
    });
    for (const SheetEntry &e : layout.entries) {
        if (e.kind == SheetKind::Heading || e.kind == SheetKind::Button) continue;
        const QRectF box = g.box(e).adjusted(2, 1, -2, -1);
        // Beside a label of several lines the value starts level with its
        // first line, at the top of the blank, as on the screen.
        const QRectF line = text(e.label).contains(QLatin1Char('\n'))
                                ? QRectF(box.topLeft(), QSizeF(box.width(), kControlHeight - 2))
                                : g.line(e).adjusted(2, 1, -2, -1);
        sheet->blanks.append({text(e.column), firstLine(e.label), box, line});
    }
    sheet->notice = g.place(layout.label50);
    sheet->height = g.height();
    return *m_printed.emplace(&layout, std::move(sheet)).first->second;
}

bool SheetPages::finish()
{
    if (!m_painter) return false;
    const bool ok = m_painter->end();
    m_painter.reset();
    return ok && m_pages > 0;
}

SheetPdf::SheetPdf(QIODevice *device, const QString &title)
    : m_writer(std::make_unique<QPdfWriter>(device))
{
    m_writer->setResolution(600);
    m_writer->setTitle(title);
    m_writer->setCreator(QStringLiteral("Zarndcbdll"));
    setUpSheetPages(*m_writer);
    m_pages = std::make_unique<SheetPages>(*m_writer);
    if (!m_pages->isOpen()) {
        m_pages.reset();
        m_writer.reset();
    }
}

SheetPdf::~SheetPdf()
{
    finish();
}

bool SheetPdf::isOpen() const
{
    return m_pages != nullptr;
}

void SheetPdf::add(const SheetLayout &layout, const SheetValues &values)
{
    if (m_pages) m_pages->add(layout, values);
}

int SheetPdf::pageCount() const
{
    return m_pages ? m_pages->pageCount() : m_finishedPages;
}

bool SheetPdf::finish()
{
    if (!m_pages) return false;
    m_finishedPages = m_pages->pageCount();
    const bool ok = m_pages->finish();
    m_pages.reset();
    m_writer.reset();
    return ok;
}

} // namespace zarn::forms
