#include "widgets/fonts.h"

#include <QtMath>

namespace zarn::ui {

QStringList songFamilies()
{
    // The name the forms give first; then the Windows Song faces under their
    // English names, then the free Song/Ming faces of Linux distributions.
    return {QStringLiteral("宋体"),
            QStringLiteral("SimSun"),
            QStringLiteral("NSimSun"),
            QStringLiteral("新宋体"),
            QStringLiteral("AR PL UMing CN"),
            QStringLiteral("AR PL SungtiL GB"),
            QStringLiteral("AR PL UMing TW"),
            QStringLiteral("Noto Serif CJK SC"),
            QStringLiteral("Source Han Serif SC"),
            QStringLiteral("Noto Sans CJK SC"),
            QStringLiteral("WenQuanYi Zen Hei")};
}

QFont songFont(int pointSize)
{
    QFont font;
    font.setFamilies(songFamilies());
    font.setStyleHint(QFont::Serif);
    // Points at 96 dots per inch, the resolution the form layouts were drawn at.
    font.setPixelSize(qMax(1, qRound(pointSize * 96.0 / 72.0)));
    return font;
}

} // namespace zarn::ui
