#pragma once

#include <QBrush>
#include <QGlyphRun>
#include <QLineF>
#include <QList>
#include <QPen>
#include <QRectF>

#include <functional>

class QPainter;

namespace zarn::forms {

// A drawing of lines, rectangles and text made once and replayed onto many
// pages: the text is kept as shaped glyphs, so a replay neither measures nor
// shapes it again, and a PDF still gets it as text in its embedded font.
// Images and curves are not kept (the sheets have none).
class RecordedDrawing {
public:
    // Runs `draw` on a painter that keeps what it draws, in design pixels.
    static RecordedDrawing record(const std::function<void(QPainter &)> &draw);
    // Draws it again where the painter's transform puts design pixels.
    void replay(QPainter &painter) const;

    struct Step {
        QPen pen;
        QBrush brush;
        QList<QLineF> lines;
        QList<QRectF> rects;
        // Text: the font and kind of run (a run without glyphs of its own),
        // and the glyphs drawn in it, at their places in the drawing.
        QGlyphRun glyphs;
        QList<quint32> glyphIndexes;
        QList<QPointF> glyphPositions;
    };
    void add(Step step) { m_steps.append(std::move(step)); }
    // Glyphs placed from `at`, drawn with `pen`. Text of one font, pen and
    // kind of run joins the run of the first such text (drawn where that was),
    // so that a replay hands each font over once: a PDF then starts a text
    // object once for it rather than once for every piece of text.
    void addText(const QPointF &at, const QList<QGlyphRun> &runs, const QPen &pen,
                 const QBrush &brush = QBrush());

private:
    QList<Step> m_steps;
};

} // namespace zarn::forms
