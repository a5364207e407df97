#include "forms/recorded_drawing.h"

#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QTextLayout>

#include <climits>

namespace zarn::forms {

namespace {

// Keeps what a painter draws, as the painter hands it over: lines and
// rectangles in its coordinates, text items as their text and font.
class RecordingEngine final : public QPaintEngine {
public:
    explicit RecordingEngine(RecordedDrawing &out)
        : QPaintEngine(AllFeatures)
        , m_out(out)
    {
    }
    bool begin(QPaintDevice *) override { return true; }
    bool end() override { return true; }
    Type type() const override { return User; }

    void updateState(const QPaintEngineState &state) override
    {
        if (state.state() & DirtyPen) m_pen = state.pen();
        if (state.state() & DirtyBrush) m_brush = state.brush();
        if (state.state() & DirtyTransform) m_transform = state.transform();
    }

    void drawLines(const QLineF *lines, int count) override
    {
        RecordedDrawing::Step s = step();
        for (int i = 0; i < count; ++i)
            s.lines.append(m_transform.map(lines[i]));
        m_out.add(std::move(s));
    }
    void drawLines(const QLine *lines, int count) override
    {
        for (int i = 0; i < count; ++i) {
            const QLineF l(lines[i]);
            drawLines(&l, 1);
        }
    }
    void drawRects(const QRectF *rects, int count) override
    {
        RecordedDrawing::Step s = step();
        for (int i = 0; i < count; ++i)
            s.rects.append(m_transform.mapRect(rects[i]));
        m_out.add(std::move(s));
    }
    void drawRects(const QRect *rects, int count) override
    {
        for (int i = 0; i < count; ++i) {
            const QRectF r(rects[i]);
            drawRects(&r, 1);
        }
    }

    // The item's text shaped once more in its font; the glyph runs start on
    // the item's baseline, as the painter would have drawn them.
    void drawTextItem(const QPointF &baseline, const QTextItem &item) override
    {
        QTextLayout layout(item.text(), item.font());
        layout.beginLayout();
        QTextLine line = layout.createLine();
        if (!line.isValid()) {
            layout.endLayout();
            return;
        }
        line.setLineWidth(1e9); // one line, as the item is
        line.setPosition(QPointF(0, 0));
        layout.endLayout();
        const QPointF at = m_transform.map(baseline) - QPointF(0, line.ascent());
        m_out.addText(at, layout.glyphRuns(), m_pen, m_brush);
    }

    void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override {}
    void drawPolygon(const QPointF *, int, PolygonDrawMode) override {}

private:
    RecordedDrawing::Step step() const
    {
        RecordedDrawing::Step s;
        s.pen = m_pen;
        s.brush = m_brush;
        return s;
    }

    RecordedDrawing &m_out;
    QPen m_pen;
    QBrush m_brush;
    QTransform m_transform;
};

class RecordingDevice final : public QPaintDevice {
public:
    explicit RecordingDevice(RecordedDrawing &out)
        : m_engine(out)
    {
    }
    ~RecordingDevice() override = default;
    QPaintEngine *paintEngine() const override { return &m_engine; }

protected:
    // Design pixels at the resolution the layouts were drawn at.
    int metric(PaintDeviceMetric m) const override
    {
        switch (m) {
        case PdmWidth:
        case PdmHeight:
            return 100000;
        case PdmWidthMM:
        case PdmHeightMM:
            return 100000 * 254 / 960;
        case PdmNumColors:
            return INT_MAX;
        case PdmDepth:
            return 32;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return 96;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(QPaintDevice::devicePixelRatioFScale());
        }
        return 0;
    }

private:
    mutable RecordingEngine m_engine;
};

} // namespace

RecordedDrawing RecordedDrawing::record(const std::function<void(QPainter &)> &draw)
{
    RecordedDrawing drawn;
    RecordingDevice device(drawn);
    QPainter p(&device);
    draw(p);
    return drawn;
}

void RecordedDrawing::addText(const QPointF &at, const QList<QGlyphRun> &runs, const QPen &pen,
                              const QBrush &brush)
{
    for (const QGlyphRun &run : runs) {
        const QList<quint32> indexes = run.glyphIndexes();
        if (indexes.isEmpty()) continue;
        Step *same = nullptr;
        for (Step &s : m_steps)
            if (!s.glyphIndexes.isEmpty() && s.pen == pen && s.glyphs.rawFont() == run.rawFont() &&
                s.glyphs.flags() == run.flags()) {
                same = &s;
                break;
            }
        if (!same) {
            Step s;
            s.pen = pen;
            s.brush = brush;
            s.glyphs = run;
            s.glyphs.setGlyphIndexes({});
            s.glyphs.setPositions({});
            m_steps.append(std::move(s));
            same = &m_steps.last();
        }
        same->glyphIndexes.append(indexes);
        const QList<QPointF> positions = run.positions();
        same->glyphPositions.reserve(same->glyphPositions.size() + positions.size());
        for (const QPointF &p : positions)
            same->glyphPositions.append(p + at);
    }
}

void RecordedDrawing::replay(QPainter &p) const
{
    p.save();
    for (const Step &s : m_steps) {
        p.setPen(s.pen);
        p.setBrush(s.brush);
        if (!s.lines.isEmpty()) p.drawLines(s.lines);
        if (!s.rects.isEmpty()) p.drawRects(s.rects);
        if (!s.glyphIndexes.isEmpty()) {
            QGlyphRun run = s.glyphs;
            run.setGlyphIndexes(s.glyphIndexes);
            run.setPositions(s.glyphPositions);
            p.drawGlyphRun(QPointF(), run);
        }
    }
    p.restore();
}

} // namespace zarn::forms
