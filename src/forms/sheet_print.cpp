#include "forms/sheet_print.h"

#include "forms/sheet_layout.h"
#include "forms/sheet_paint.h"
#include "widgets/fonts.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QTextLayout>

namespace zarn::forms {

namespace {

constexpr int kTitleHeight = 44;    // design pixels above the table
constexpr qreal kSmallestPixel = 6; // a value is set no smaller than this
const QColor kValueInk(0, 0, 128);

QFont pixelFont(qreal pixels)
{
    QFont f = ui::songFont(9);
    f.setPixelSize(qMax(1, qRound(pixels)));
    return f;
}

// Lays text out in lines of the given width; the height it takes.
qreal wrappedHeight(const QString &text, const QFont &font, qreal width)
{
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    const QFontMetricsF fm(font);
    qreal height = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        height += fm.lineSpacing();
    }
    layout.endLayout();
    return height;
}

// The biggest size, from the sheet's own down to the smallest, at which the
// text fits the box wrapped; 0 when it does not fit even then.
qreal fittingSize(const QString &text, const QRectF &box)
{
    for (qreal px = 12; px >= kSmallestPixel; px -= 0.5) {
        const QFont f = pixelFont(px);
        if (QFontMetricsF(f).horizontalAdvance(text) <= box.width()) return px;
        if (wrappedHeight(text, f, box.width()) <= box.height()) return px;
    }
    return 0;
}

QString firstLine(const char *label)
{
    return text(label).split(QLatin1Char('\n')).join(QString());
}

} // namespace

void paintSheetPage(QPainter &p, const QRectF &page, const SheetLayout &layout,
                    const SheetValues &values)
{
    p.save();
    // Design pixels of the sheet, scaled to the page's width.
    const qreal scale = page.width() / layout.pictureWidth;
    p.translate(page.topLeft());
    p.scale(scale, scale);

    QFont title = pixelFont(20);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::black);
    p.drawText(QRectF(0, 0, layout.pictureWidth, kTitleHeight - 8), Qt::AlignCenter,
               text(layout.title));

    p.translate(0, kTitleHeight);
    paintSheet(p, layout, pixelFont(12));

    QList<std::pair<QString, QString>> continued;
    p.setPen(kValueInk);
    for (const SheetEntry &e : layout.entries) {
        if (e.kind == SheetKind::Heading || e.kind == SheetKind::Button) continue;
        const QString value = values.value(text(e.column));
        if (value.isEmpty()) continue;
        const QRectF box(e.left + 2, e.top + 1, e.width - 4, entryHeight(e) - 2);
        qreal px = fittingSize(value, box);
        QString shown = value;
        if (px == 0) {
            // Cut nothing: the whole value follows under the table.
            continued.append({firstLine(e.label), value});
            shown = QStringLiteral("（见表下续）");
            px = 12;
        }
        const QFont f = pixelFont(px);
        p.setFont(f);
        // A memo's text starts at its first line, as on the screen.
        const bool oneLine = QFontMetricsF(f).horizontalAdvance(shown) <= box.width();
        const int flags = e.kind == SheetKind::Memo || !oneLine
                              ? int(Qt::AlignLeft | Qt::AlignTop | Qt::TextWrapAnywhere)
                              : int(Qt::AlignLeft | Qt::AlignVCenter);
        p.drawText(box, flags, shown);
    }
    if (!values.changeNotice.isEmpty()) {
        p.setFont(pixelFont(12));
        p.drawText(QRectF(layout.label50), Qt::AlignLeft | Qt::AlignVCenter, values.changeNotice);
    }

    // The continuation, in the page's remaining height under the table.
    qreal y = layout.pictureHeight + 12;
    const qreal pageHeight = page.height() / scale - kTitleHeight;
    const QFont f = pixelFont(10);
    p.setFont(f);
    p.setPen(Qt::black);
    for (const auto &[label, value] : continued) {
        const QString body = label + QStringLiteral("（续）：") + value;
        const qreal h = wrappedHeight(body, f, layout.pictureWidth - 8);
        const QRectF box(4, y, layout.pictureWidth - 8, qMin(h + 4, pageHeight - y));
        p.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextWrapAnywhere, body);
        y += h + 8;
    }
    p.restore();
}

void setUpSheetPages(QPagedPaintDevice &device)
{
    device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
}

SheetPdf::SheetPdf(QIODevice *device, const SheetLayout &layout)
    : m_layout(layout)
    , m_writer(std::make_unique<QPdfWriter>(device))
{
    m_writer->setResolution(600);
    m_writer->setTitle(text(layout.title));
    m_writer->setCreator(QStringLiteral("Zarndcbdll"));
    setUpSheetPages(*m_writer);
    m_painter = std::make_unique<QPainter>();
    if (!m_painter->begin(m_writer.get())) {
        m_painter.reset();
        m_writer.reset();
    }
}

SheetPdf::~SheetPdf()
{
    finish();
}

bool SheetPdf::isOpen() const
{
    return m_writer != nullptr;
}

void SheetPdf::addPage(const SheetValues &values)
{
    if (!m_painter) return;
    if (m_pages > 0) m_writer->newPage();
    const QRect page = m_writer->pageLayout().paintRectPixels(m_writer->resolution());
    paintSheetPage(*m_painter, QRectF(0, 0, page.width(), page.height()), m_layout, values);
    ++m_pages;
}

bool SheetPdf::finish()
{
    if (!m_writer) return false;
    bool ok = true;
    if (m_painter) ok = m_painter->end();
    m_painter.reset();
    m_writer.reset();
    return ok && m_pages > 0;
}

} // namespace zarn::forms
