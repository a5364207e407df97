#include "forms/shaped_text.h"

#include <QTextLayout>

namespace zarn::forms {

ShapedLine shapeLine(const QString &text, const QFont &font)
{
    QTextLayout layout(text, font);
    // Without the cache the glyphs are dropped at endLayout and shaped all
    // over again for glyphRuns.
    layout.setCacheEnabled(true);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid()) line.setLineWidth(1e9);
    layout.endLayout();
    ShapedLine shaped;
    if (!line.isValid()) return shaped;
    shaped.runs = layout.glyphRuns();
    shaped.width = line.horizontalAdvance();
    shaped.height = line.height();
    return shaped;
}

ShapedLine ShapedLines::line(const QString &text, int pixels, const QFont &font)
{
    Key key{text, pixels};
    if (const auto it = m_kept.find(key); it != m_kept.end()) {
        it->used = true;
        return it->shaped;
    }
    ShapedLine shaped = shapeLine(text, font);
    const size_t hash = qHash(key);
    if (!m_seen.contains(hash)) {
        if (m_seen.size() >= kSeen) m_seen.clear();
        m_seen.insert(hash);
        return shaped;
    }
    m_seen.remove(hash);
    if (m_kept.size() >= kKept) {
        // Full: the lines not printed again since the last time make room.
        m_kept.removeIf([](auto it) { return !it.value().used; });
        for (Kept &k : m_kept)
            k.used = false;
        if (m_kept.size() >= kKept) m_kept.clear();
    }
    m_kept.insert(std::move(key), {shaped, false});
    return shaped;
}

} // namespace zarn::forms
