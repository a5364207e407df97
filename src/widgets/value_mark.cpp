#include "widgets/value_mark.h"

#include <QEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace zarn::ui {

namespace {

constexpr int kWaveHeight = 3; // pixels from crest to trough
constexpr int kWaveLength = 4; // pixels per full wave

} // namespace

ValueMark::ValueMark(QLineEdit *edit, std::function<QString(const QString &)> why)
    : QWidget(edit)
    , m_edit(edit)
    , m_why(std::move(why))
    , m_ownTip(edit->toolTip())
{
    setObjectName(edit->objectName() + QStringLiteral("Mark"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    hide();
    connect(edit, &QLineEdit::textChanged, this, [this] { recheck(); });
    edit->installEventFilter(this);
    recheck();
}

bool ValueMark::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_edit &&
        (event->type() == QEvent::Resize || event->type() == QEvent::FontChange))
        place();
    return false;
}

void ValueMark::recheck()
{
    const QString reason = m_why ? m_why(m_edit->text()) : QString();
    if (reason != m_reason) {
        m_reason = reason;
        m_edit->setToolTip(reason.isEmpty() ? m_ownTip : reason);
    }
    if (m_reason.isEmpty()) {
        hide();
        return;
    }
    place();
    show();
    raise();
}

void ValueMark::place()
{
    // Under the text as far as it reaches, at least a few waves long, along
    // the bottom of the edit where a spelling mark sits.
    const QMargins margins = m_edit->textMargins();
    const int left = margins.left() + 2;
    const int textWidth = m_edit->fontMetrics().horizontalAdvance(m_edit->text());
    const int width = std::clamp(textWidth, 4 * kWaveLength, m_edit->width() - left);
    setGeometry(left, m_edit->height() - kWaveHeight - 1, std::max(width, 0), kWaveHeight + 1);
    update();
}

void ValueMark::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(220, 0, 0), 1));
    QPainterPath wave;
    const qreal top = 0.5, bottom = kWaveHeight - 0.5;
    wave.moveTo(0, bottom);
    for (int x = 0; x < width(); x += kWaveLength) {
        wave.lineTo(x + kWaveLength / 2.0, top);
        wave.lineTo(x + kWaveLength, bottom);
    }
    p.drawPath(wave);
}

} // namespace zarn::ui
