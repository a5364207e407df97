#include "forms/frm_frameMain.h"

#include "forms/frm_frameMain_paint.h"
#include "widgets/data_aware.h"
#include "widgets/db_combo_box.h"
#include "widgets/db_edit.h"
#include "widgets/db_memo.h"
#include "widgets/fonts.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include <algorithm>

using namespace zarn::forms;
using namespace zarn::ui;

namespace {

// Input methods the sheet names per control; kept for the record, as Linux
// has no switch to a named input method.
QString imeFor(const QString &control)
{
    static const QStringList ziguang{QStringLiteral("DBEdit27"), QStringLiteral("DBEdit30"),
                                     QStringLiteral("DBEdit33"), QStringLiteral("DBEdit36"),
                                     QStringLiteral("DBEdit38")};
    if (control == QLatin1String("DBMemo1")) return {};
    if (ziguang.contains(control)) return QStringLiteral("紫光拼音输入法");
    return QStringLiteral("中文 (简体) - 微软拼音");
}

} // namespace

TfrmFrameMain::TfrmFrameMain(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("frmFrameMain1"));
    setFont(songFont(9));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setMinimumSize(kSheetPictureWidth, kSheetPictureHeight);

    QList<std::pair<int, QWidget *>> tabOrder;
    for (const SheetEntry &e : sheetTable()) {
        if (e.kind == SheetKind::Heading) continue;
        const QString name = QString::fromLatin1(e.control);
        QWidget *w = nullptr;
        int height = kControlHeight;
        switch (e.kind) {
        case SheetKind::Edit: {
            auto *c = new DBEdit(name, this);
            c->setFamily(ControlFamily::Framed);
            c->setImeName(imeFor(name));
            m_bound << c;
            w = c;
            break;
        }
        case SheetKind::PickList:
        case SheetKind::List:
        case SheetKind::FramedList: {
            auto *c = new DBComboBox(name, this);
            c->setFamily(e.kind == SheetKind::FramedList ? ControlFamily::Framed
                                                         : ControlFamily::Plain);
            c->setPickOnly(e.kind == SheetKind::PickList);
            c->setImeName(imeFor(name));
            m_bound << c;
            w = c;
            break;
        }
        case SheetKind::Memo: {
            auto *c = new DBMemo(name, this);
            c->setFamily(ControlFamily::Memo);
            m_bound << c;
            w = c;
            height = kMemoHeight;
            break;
        }
        case SheetKind::Button: {
            auto *b = new QPushButton(text(e.column), this);
            b->setObjectName(name);
            b->setAutoDefault(false);
            b->setDefault(false);
            w = b;
            break;
        }
        case SheetKind::Heading:
            break;
        }
        w->setGeometry(e.left, e.top, e.width, height);
        m_controls.insert(name, w);
        tabOrder.append({e.tab, w});
    }

    // The survey type keeps its two entries; the other lists are filled from
    // the code tables when the form opens.
    DBComboBox1 = comboBox(QStringLiteral("DBComboBox1"));
    DBComboBox1->setEntries({QStringLiteral("初始"), QStringLiteral("变更")});
    DBComboBox2 = comboBox(QStringLiteral("DBComboBox2"));
    DBComboBox3 = comboBox(QStringLiteral("DBComboBox3"));
    DBComboBox4 = comboBox(QStringLiteral("DBComboBox4"));
    DBComboBox5 = comboBox(QStringLiteral("DBComboBox5"));
    DBComboBox6 = comboBox(QStringLiteral("DBComboBox6"));
    DBComboBox7 = comboBox(QStringLiteral("DBComboBox7"));
    DBComboBox8 = comboBox(QStringLiteral("DBComboBox8"));
    DBEdit18 = edit(QStringLiteral("DBEdit18"));
    DBEdit24 = edit(QStringLiteral("DBEdit24"));
    DBEdit26 = edit(QStringLiteral("DBEdit26"));
    DBMemo1 = qobject_cast<DBMemo *>(control(QStringLiteral("DBMemo1")));
    Button1 = qobject_cast<QPushButton *>(control(QStringLiteral("Button1")));
    Button2 = qobject_cast<QPushButton *>(control(QStringLiteral("Button2")));
    Button3 = qobject_cast<QPushButton *>(control(QStringLiteral("Button3")));
    Button4 = qobject_cast<QPushButton *>(control(QStringLiteral("Button4")));

    Label50 = new QLabel(this);
    Label50->setObjectName(QStringLiteral("Label50"));
    Label50->setAttribute(Qt::WA_TranslucentBackground);
    Label50->setStyleSheet(QStringLiteral("color: navy; background: transparent;"));
    Label50->setGeometry(kLabel50Left, kLabel50Top, kSheetPictureWidth - kLabel50Left - 8, 14);

    std::stable_sort(tabOrder.begin(), tabOrder.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        QWidget::setTabOrder(tabOrder[i - 1].second, tabOrder[i].second);
}

TfrmFrameMain::~TfrmFrameMain() = default;

void TfrmFrameMain::bind(DataSource *source)
{
    for (DataAwareControl *c : m_bound)
        c->bind(source, text(sheetEntry(c->widget()->objectName())->column));
}

QWidget *TfrmFrameMain::control(const QString &name) const
{
    return m_controls.value(name);
}

DBEdit *TfrmFrameMain::edit(const QString &name) const
{
    return qobject_cast<DBEdit *>(control(name));
}

DBComboBox *TfrmFrameMain::comboBox(const QString &name) const
{
    return qobject_cast<DBComboBox *>(control(name));
}

QList<DataAwareControl *> TfrmFrameMain::boundControls() const
{
    return m_bound;
}

QWidget *TfrmFrameMain::enterTarget(QWidget *from) const
{
    if (!from) return nullptr;
    const SheetEntry *e = sheetEntry(from->objectName());
    if (!e || !*e->enter) return nullptr;
    return control(QString::fromLatin1(e->enter));
}

QSize TfrmFrameMain::sizeHint() const
{
    return {kSheetWidth, kSheetHeight};
}

void TfrmFrameMain::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    paintUseRightSheet(p, font());
}
