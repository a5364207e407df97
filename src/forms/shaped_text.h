#pragma once

#include <QFont>
#include <QGlyphRun>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

namespace zarn::forms {

// One line of text shaped in a font: its glyph runs, placed from the line's
// top left, its advance and its height, as a text layout of the line gives
// them. Drawn from these, the text stands where it was measured.
struct ShapedLine {
    QList<QGlyphRun> runs;
    qreal width = 0;
    qreal height = 0;
};

// Shapes `text` (no line breaks of its own) on one line in `font`.
ShapedLine shapeLine(const QString &text, const QFont &font);

// Lines shaped once however often they are printed. A batch of survey
// tables repeats many values (unit and land-use names, codes, surveyors,
// dates); shaping is a third of drawing a page. A text is kept when it is
// seen the second time, so the many values met once (names, numbers) cost
// only a remembered hash; both records are bounded and start again when
// full, so a long batch does not grow.
class ShapedLines {
public:
    // `text` shaped in `font`, which is the sheet's face at `pixels`.
    ShapedLine line(const QString &text, int pixels, const QFont &font);

    qsizetype keptCount() const { return m_kept.size(); }

    static constexpr qsizetype kKept = 256;
    static constexpr qsizetype kSeen = 2048;

private:
    struct Key {
        QString text;
        int pixels;
        friend bool operator==(const Key &, const Key &) = default;
        friend size_t qHash(const Key &k, size_t seed = 0)
        {
            return qHashMulti(seed, k.text, k.pixels);
        }
    };
    struct Kept {
        ShapedLine shaped;
        bool used; // printed again since the last time the record was full
    };
    QHash<Key, Kept> m_kept;
    QSet<size_t> m_seen; // hashes of keys met once
};

} // namespace zarn::forms
