#include "forms/frm_rptdjdcb.h"

#include "component/DataM.h"
#include "component/unt_Comm.h"
#include "data/dataset.h"
#include "data/errors.h"
#include "dialogs/frm_Input.h"
#include "forms/frm_frameMain.h"
#include "schema/statements.h"
#include "widgets/banner.h"
#include "widgets/data_aware.h"
#include "widgets/data_source.h"
#include "widgets/db_combo_box.h"
#include "widgets/db_edit.h"
#include "widgets/db_memo.h"
#include "widgets/fonts.h"
#include "widgets/guard.h"
#include "widgets/messages.h"
#include "widgets/speed_button.h"

#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QResizeEvent>
#include <QVBoxLayout>

#include <optional>

using namespace zarn;
using namespace zarn::ui;

namespace {

const QString kEmptyParcel = QStringLiteral("地籍号不能为空，请输入数值再保存！");
constexpr int kDesignWidth = 696; // outer width the window may not exceed
constexpr int kSnapWidth = 694;   // outer width it snaps back to

// Trims blanks and control characters at both ends, as the form's text
// comparisons do.
QString trimBlanks(const QString &s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && s[b].unicode() <= 0x20)
        ++b;
    while (e > b && s[e - 1].unicode() <= 0x20)
        --e;
    return s.mid(b, e - b);
}

QFrame *whitePanel(const QString &name, int height, QWidget *parent)
{
    auto *p = new QFrame(parent);
    p->setObjectName(name);
    p->setFixedHeight(height);
    p->setAutoFillBackground(true);
    QPalette pal = p->palette();
    pal.setColor(QPalette::Window, Qt::white);
    p->setPalette(pal);
    return p;
}

} // namespace

Tfrmrptdjdcb::Tfrmrptdjdcb(QWidget *owner)
    : SurveyDialog(owner)
{
    setObjectName(QStringLiteral("frmrptdjdcb"));
    setWindowTitle(QStringLiteral("使用权地籍调查表"));
    setWindowIcon(surveyWindowIcon());
    setFont(songFont(9));
    // 696 x 708 outside; the window system adds the frame to this client size.
    resize(688, 674);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    Panel2 = whitePanel(QStringLiteral("Panel2"), 60, this);
    Panel2->setAccessibleName(QStringLiteral("调查表主表录入"));
    auto *bannerLayout = new QVBoxLayout(Panel2);
    bannerLayout->setContentsMargins(0, 0, 0, 0);
    Image1 = new Banner(QStringLiteral("使用权调查表录入"), Panel2);
    Image1->setObjectName(QStringLiteral("Image1"));
    bannerLayout->addWidget(Image1);
    layout->addWidget(Panel2);

    frmFrameMain1 = new TfrmFrameMain(this);
    layout->addWidget(frmFrameMain1, 1);

    Panel1 = whitePanel(QStringLiteral("Panel1"), 39, this);
    layout->addWidget(Panel1);
    struct ButtonSpec {
        SpeedButton **member;
        const char *name;
        ButtonPicture picture;
        const char *caption;
        int left;
        void (Tfrmrptdjdcb::*handler)();
    };
    const ButtonSpec buttons[] = {
        {&spbFirst, "spbFirst", ButtonPicture::First, "首记录", 0, &Tfrmrptdjdcb::spbFirstClick},
        {&spbPre, "spbPre", ButtonPicture::Prior, "上记录", 79, &Tfrmrptdjdcb::spbPreClick},
        {&spbNext, "spbNext", ButtonPicture::Next, "下记录", 159, &Tfrmrptdjdcb::spbNextClick},
        {&spbLast, "spbLast", ButtonPicture::Last, "末记录", 239, &Tfrmrptdjdcb::spbLastClick},
        {&spbNew, "spbNew", ButtonPicture::New, "新增", 332, &Tfrmrptdjdcb::spbNewClick},
        {&spbDel, "spbDel", ButtonPicture::Delete, "删除", 411, &Tfrmrptdjdcb::spbDelClick},
        {&spbSave, "spbSave", ButtonPicture::Save, "保存", 491, &Tfrmrptdjdcb::spbSaveClick},
        {&spbViewCurrRec, "spbViewCurrRec", ButtonPicture::Locate, "定位", 585,
         &Tfrmrptdjdcb::spbViewCurrRecClick},
    };
    for (const ButtonSpec &b : buttons) {
        auto *button = new SpeedButton(b.picture, QString::fromUtf8(b.caption), Panel1);
        button->setObjectName(QString::fromLatin1(b.name));
        button->setGeometry(b.left, 10, 80, 22);
        *b.member = button;
        connect(button, &SpeedButton::clicked, this,
                [this, h = b.handler] { guard(this, [this, h] { (this->*h)(); }); });
    }

    DataSource1 = new DataSource(DataMod ? &DataMod->djdcTable : nullptr, this);
    DataSource1->setObjectName(QStringLiteral("DataSource1"));
    frmFrameMain1->bind(DataSource1);

    // Land-use linkage: only what the user chooses or types, never a row
    // merely shown, moves the other three lists.
    for (DBComboBox *list : {frmFrameMain1->DBComboBox5, frmFrameMain1->DBComboBox6,
                             frmFrameMain1->DBComboBox7, frmFrameMain1->DBComboBox8}) {
        connect(list, &QComboBox::activated, this,
                [this, list] { guard(this, [this, list] { landUseChanged(list); }); });
        if (list->lineEdit())
            connect(list->lineEdit(), &QLineEdit::textEdited, this,
                    [this, list] { guard(this, [this, list] { landUseChanged(list); }); });
    }
    // Digit pickers and the Enter chain listen to the sheet's keys.
    for (DataAwareControl *c : frmFrameMain1->boundControls()) {
        c->widget()->installEventFilter(this);
        if (auto *combo = qobject_cast<QComboBox *>(c->widget()); combo && combo->lineEdit())
            combo->lineEdit()->installEventFilter(this);
    }
    noAutoDefault(this);

    guard(this, [this] { FormCreate(); });
}

Tfrmrptdjdcb::~Tfrmrptdjdcb() = default;

Dataset &Tfrmrptdjdcb::table() const
{
    if (!DataMod) throw Error(QStringLiteral("数据模块不存在，无法显示调查表"));
    return DataMod->djdcTable;
}

// ---------------------------------------------------------------- opening

void Tfrmrptdjdcb::FormCreate()
{
    Dataset &t = table();
    m_parts = numbering::splitUnitCode(DataMod->dwdm);
    RunSQL(t, sql::djdcListUseRight, unitcode::unitListParams(DataMod->dwdm));
    try {
        placeOnHostParcel();
    } catch (...) {
        // Not finding the host's parcel leaves the cursor where it is.
    }
    if (t.isEmpty()) spbNewClick();
    setcomp();
    fillCodeLists();
    recountBoundaryPoints();
}

void Tfrmrptdjdcb::placeOnHostParcel()
{
    Dataset &t = table();
    const QString zdh = DataMod->zdh;
    if (zdh.isEmpty()) return;
    const int zdbh = t.indexOf(QStringLiteral("zdbh"));
    const int bgrq = t.indexOf(QStringLiteral("bgrq"));
    int any = -1;
    for (int row = 0; row < t.recordCount(); ++row) {
        if (Dataset::textOf(t.valueAt(row, zdbh)) != zdh) continue;
        if (Dataset::isNullValue(t.valueAt(row, bgrq))) {
            t.moveTo(row);
            return;
        }
        if (any < 0) any = row;
    }
    if (any >= 0) t.moveTo(any);
}

void Tfrmrptdjdcb::fillCodeLists()
{
    Dataset &q = DataMod->ADOQuery1;
    auto fill = [&](const sql::CodeList &code, DBComboBox *list) {
        list->setEntries({});
        RunSQL(q, code.sql);
        QStringList entries;
        const int column = q.indexOf(code.column);
        for (int row = 0; row < q.recordCount(); ++row)
            entries << trimBlanks(Dataset::textOf(q.valueAt(row, column)));
        list->setEntries(entries);
    };
    fill(sql::codeGylx, frmFrameMain1->DBComboBox4);
    fill(sql::codeQsxz, frmFrameMain1->DBComboBox3);
    fill(sql::codeDwxz, frmFrameMain1->DBComboBox2);

    // One pass over the land classes, so a position means one row in all four.
    for (DBComboBox *list : {frmFrameMain1->DBComboBox5, frmFrameMain1->DBComboBox7,
                             frmFrameMain1->DBComboBox6, frmFrameMain1->DBComboBox8})
        list->setEntries({});
    RunSQL(q, sql::codeDldm.sql);
    const int code = q.indexOf(sql::codeDldm.column);
    const int name = q.indexOf(sql::codeDldmName);
    QStringList codes, names;
    for (int row = 0; row < q.recordCount(); ++row) {
        codes << trimBlanks(Dataset::textOf(q.valueAt(row, code)));
        names << trimBlanks(Dataset::textOf(q.valueAt(row, name)));
    }
    frmFrameMain1->DBComboBox5->setEntries(codes);
    frmFrameMain1->DBComboBox7->setEntries(codes);
    frmFrameMain1->DBComboBox6->setEntries(names);
    frmFrameMain1->DBComboBox8->setEntries(names);
}

void Tfrmrptdjdcb::recountBoundaryPoints()
{
    Dataset &t = table();
    const QString bgrq = trimBlanks(t.text(QStringLiteral("bgrq")));
    // The parcel number as the sheet shows it and the session's unit code.
    const QString shown = frmFrameMain1->DBEdit18->text();
    Dataset &q = DataMod->ADOQuery1;
    if (bgrq.isEmpty())
        RunSQL(q, sql::jzbsbCountCurrent, {shown, DataMod->dwdm});
    else
        RunSQL(q, sql::jzbsbCountChanged, {shown, DataMod->dwdm, bgrq});
    const QString count = q.isEmpty() ? QString() : Dataset::textOf(q.value(0));
    auto store = [&] {
        t.edit();
        t.setValue(QStringLiteral("jzdgs"), count);
        t.post();
    };
    try {
        store();
    } catch (const RowChangedError &) {
        // Another user changed this row since it was read. Left pending, the
        // count would fail every later save and move of the row: take their
        // version and store the count on it.
        try {
            if (t.refreshRow())
                store();
            else
                t.cancel(); // the row is gone: there is nothing to count for
        } catch (...) {
        }
    } catch (...) {
        // A refused store leaves the count pending; a later save, move or close writes it.
    }
}

void Tfrmrptdjdcb::resizeEvent(QResizeEvent *event)
{
    SurveyDialog::resizeEvent(event);
    const int frame = frameGeometry().width() - width();
    if (width() + frame > kDesignWidth) resize(kSnapWidth - frame, height());
}

void Tfrmrptdjdcb::closeEvent(QCloseEvent *event)
{
    try {
        Dataset &t = table();
        if (!t.text(QStringLiteral("zdbh")).isEmpty()) {
            t.edit();
            t.post();
        }
    } catch (...) {
        // The window closes in every case.
    }
    event->accept();
    SurveyDialog::closeEvent(event);
}

// ---------------------------------------------------------------- moving

void Tfrmrptdjdcb::moveClick(Move move)
{
    Dataset &t = table();
    // Untrimmed: a number of blanks is not empty here, unlike for saving.
    if (t.text(QStringLiteral("zdbh")).isEmpty()) {
        showMessage(kEmptyParcel, this);
        return;
    }
    switch (move) {
    case Move::First:
        t.first();
        break;
    case Move::Prior:
        t.prior();
        break;
    case Move::Next:
        t.next();
        break;
    case Move::Last:
        t.last();
        break;
    }
    recountBoundaryPoints();
    setcomp();
}

void Tfrmrptdjdcb::spbFirstClick()
{
    moveClick(Move::First);
}
void Tfrmrptdjdcb::spbPreClick()
{
    moveClick(Move::Prior);
}
void Tfrmrptdjdcb::spbNextClick()
{
    moveClick(Move::Next);
}
void Tfrmrptdjdcb::spbLastClick()
{
    moveClick(Move::Last);
}

void Tfrmrptdjdcb::spbViewCurrRecClick()
{
    Dataset &t = table();
    {
        TFrmInput dialog(this);
        dialog.Label1->setText(QStringLiteral("共%1记录").arg(t.recordCount()));
        dialog.exec();
    }
    setcomp();
}

// ---------------------------------------------------------------- change state

void Tfrmrptdjdcb::setcomp()
{
    try {
        const QString bgrq = table().text(QStringLiteral("bgrq"));
        const bool changed = !bgrq.isEmpty();
        frmFrameMain1->Label50->setText(
            changed ? QStringLiteral("该宗地已于") + bgrq + QStringLiteral("变更") : QString());
        for (DataAwareControl *c : frmFrameMain1->boundControls())
            if (c->family() != ControlFamily::Plain) c->setReadOnly(changed);
    } catch (...) {
        // The controls handled so far keep their state.
    }
}

// ---------------------------------------------------------------- save, delete

void Tfrmrptdjdcb::spbSaveClick()
{
    Dataset &t = table();
    if (trimBlanks(t.text(QStringLiteral("zdbh"))).isEmpty()) {
        showMessage(kEmptyParcel, this);
        return;
    }
    try {
        t.edit();
        t.post();
    } catch (...) {
        messageBox(QStringLiteral("数据保存失败！"), QStringLiteral("警告"), MessageIcon::Warning,
                   Ok, this);
    }
}

void Tfrmrptdjdcb::spbDelClick()
{
    if (messageBox(QStringLiteral("确信删除所显示的记录内容吗?"), QStringLiteral("确信删除界面"),
                   MessageIcon::Question, Ok | Cancel, this) != Ok)
        return;
    try {
        Dataset &t = table();
        const QString zdbh = trimBlanks(t.text(QStringLiteral("zdbh")));
        const QString bgrq = t.text(QStringLiteral("bgrq"));
        // The attached rows are keyed by the row's own unit code, which for a
        // sub-unit's row is longer than the session's.
        const QString dwdm = t.text(QStringLiteral("dwdm"));
        // A row never stored has no attached rows of its own; whatever
        // matches its number belongs to another row.
        const bool stored = t.state() != Dataset::State::Insert;
        t.remove();
        if (!stored) return;
        Dataset &q = DataMod->ADOQuery1;
        if (bgrq.isEmpty()) {
            for (const QString &statement : sql::deleteCurrentAttached)
                RunSQL(q, statement, {zdbh, dwdm});
        } else {
            // A changed row takes the attached rows of its own version with it.
            for (const QString &statement : sql::deleteChangedAttached)
                RunSQL(q, statement, {zdbh, dwdm, bgrq});
        }
    } catch (...) {
        showMessage(QStringLiteral("调查表已经为空"), this);
    }
}

// ---------------------------------------------------------------- new record

void Tfrmrptdjdcb::SaveThisDCBinfo()
{
    try {
        Dataset &t = table();
        for (DataAwareControl *c : frmFrameMain1->boundControls()) {
            if (c->family() != ControlFamily::Framed) continue;
            const QString key = c->dataField();
            const int column = t.indexOf(key);
            const FieldType type = t.fieldDef(column).type;
            const QVariant v = t.value(column);
            const bool isList = qobject_cast<DBComboBox *>(c->widget()) != nullptr;
            std::optional<QString> text;
            const bool textual =
                isList ? (type == FieldType::Text || type == FieldType::LongText)
                       : (type == FieldType::UnicodeText || type == FieldType::LongText);
            if (textual)
                text = trimBlanks(Dataset::textOf(v));
            else if (type == FieldType::Int16 || type == FieldType::Int32)
                text =
                    Dataset::isNullValue(v) ? QStringLiteral("0") : QString::number(v.toLongLong());
            else if (type == FieldType::Double)
                text = Dataset::isNullValue(v) ? QStringLiteral("0")
                                               : QString::number(v.toDouble(), 'g', 15);
            if (text) WriteIniStr(QStringLiteral("DCB"), key, *text);
        }
    } catch (...) {
        // What was written so far stays written.
    }
}

void Tfrmrptdjdcb::spbNewClick()
{
    Dataset &t = table();
    SaveThisDCBinfo();
    const QString qsdcjs =
        ReadIniStr(QStringLiteral("DCB"), QStringLiteral("QSDCJS"), QStringLiteral("000"));
    const QString djkzjs =
        ReadIniStr(QStringLiteral("DCB"), QStringLiteral("DJKZJS"), QStringLiteral("000"));
    const QString dcshyj =
        ReadIniStr(QStringLiteral("DCB"), QStringLiteral("DCSHYJ"), QStringLiteral("000"));
    if (t.isEditing() && trimBlanks(t.text(QStringLiteral("ZDBH"))).isEmpty()) t.cancel();

    Dataset &q = DataMod->ADOQuery1;
    RunSQL(q, sql::djdcMaxId);
    const qint64 id = numbering::nextRowNumber(q.isEmpty() ? QVariant() : q.value(0));

    QString parcelBase, surveyBase;
    if (t.isEmpty()) {
        surveyBase = numbering::firstSurveyNumberBase(m_parts);
        parcelBase = numbering::firstParcelNumberBase(m_parts);
    } else {
        RunSQL(q, sql::djdcMaxZdbh, {DataMod->dwdm});
        parcelBase =
            numbering::parcelNumberBase(q.isEmpty() ? QString() : Dataset::textOf(q.value(0)));
        RunSQL(q, sql::djdcMaxDcbh, {DataMod->dwdm});
        surveyBase =
            numbering::surveyNumberBase(q.isEmpty() ? QString() : Dataset::textOf(q.value(0)));
    }

    // Columns in this order: a failure leaves what was set so far on the
    // unposted row, for the user to see.
    t.append();
    auto set = [&t](const char *column, const QVariant &value) {
        t.setValue(QString::fromLatin1(column), value);
    };
    auto remembered = [](const char *key) {
        return ReadIniStr(QStringLiteral("DCB"), QString::fromLatin1(key), QStringLiteral("000"));
    };
    set("id", id);
    set("ysdm", QStringLiteral("250000"));
    set("qhdm", m_parts.district);
    set("jddm", m_parts.street);
    set("jfdm", m_parts.block);
    set("dwdm", DataMod->dwdm);
    set("qsdm", DataMod->dwdm);
    set("DCLX", QStringLiteral("初始"));
    set("ZDBH", numbering::nextParcelNumber(parcelBase));
    set("DCBH", numbering::nextSurveyNumber(surveyBase));
    set("ybdjh", numbering::nextParcelNumber(parcelBase));
    set("qlr", QString());
    set("jzdgs", QStringLiteral("0"));
    set("QLRZS", QStringLiteral("0"));
    set("QSDCJS", qsdcjs);
    set("DJKZJS", djkzjs);
    set("DCSHYJ", dcshyj);
    set("KZY", remembered("KZY"));
    set("DCY", remembered("DCY"));
    set("QSDCY", remembered("QSDCY"));
    set("DCSHR", remembered("DCSHR"));
    set("sm", remembered("sm"));
    const QString today = numbering::todayText();
    set("DCRQ", today);
    set("KZRQ", today);
    set("DCSHRQ", today);
    set("dcblx", 0);
    t.edit();
    t.post();
    setcomp();
}

// ---------------------------------------------------------------- pickers, Enter

void Tfrmrptdjdcb::landUseChanged(DBComboBox *list)
{
    const int n = list->entries().indexOf(list->currentText());
    if (n < 0) return; // typed text that is no entry of the list: nothing to follow
    Dataset &t = table();
    t.edit();
    const TfrmFrameMain *s = frmFrameMain1;
    auto entry = [n](DBComboBox *from) { return from->entries().value(n); };
    if (list == s->DBComboBox5) {
        t.setValue(QStringLiteral("TDYTDM"), entry(s->DBComboBox7));
        t.setValue(QStringLiteral("pzyt"), entry(s->DBComboBox6));
        t.setValue(QStringLiteral("tdyt"), entry(s->DBComboBox8));
    } else if (list == s->DBComboBox6) {
        t.setValue(QStringLiteral("TDYTDM"), entry(s->DBComboBox7));
        t.setValue(QStringLiteral("PZYTDM"), entry(s->DBComboBox5));
        t.setValue(QStringLiteral("tdyt"), entry(s->DBComboBox8));
    } else if (list == s->DBComboBox7) {
        t.setValue(QStringLiteral("tdyt"), entry(s->DBComboBox8));
    } else if (list == s->DBComboBox8) {
        t.setValue(QStringLiteral("TDYTDM"), entry(s->DBComboBox7));
    }
}

void Tfrmrptdjdcb::digitPicked(DBComboBox *list)
{
    try {
        Dataset &t = table();
        t.edit();
        bool ok = false;
        const int n = list->currentText().toInt(&ok);
        const QStringList entries = list->entries();
        if (!ok || n < 1 || n > entries.size()) return;
        t.setValue(list->dataField(), entries[n - 1]);
    } catch (...) {
        // A picker that cannot pick leaves the row as it is.
    }
}

bool Tfrmrptdjdcb::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return SurveyDialog::eventFilter(watched, event);
    auto *w = qobject_cast<QWidget *>(watched);
    // An editable list's keys arrive at its line edit; they are the list's.
    if (w && qobject_cast<QLineEdit *>(w) && qobject_cast<DBComboBox *>(w->parentWidget()))
        w = w->parentWidget();
    if (!w || frmFrameMain1->control(w->objectName()) != w)
        return SurveyDialog::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);

    if (event->type() == QEvent::KeyPress &&
        (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
        // As Tab does: the text arrived at is selected, so typing replaces it.
        if (QWidget *next = frmFrameMain1->enterTarget(w)) next->setFocus(Qt::TabFocusReason);
        return true;
    }
    if (event->type() == QEvent::KeyRelease && key->key() >= Qt::Key_0 && key->key() <= Qt::Key_9 &&
        !(key->modifiers() & Qt::KeypadModifier)) {
        const TfrmFrameMain *s = frmFrameMain1;
        if (w == s->DBComboBox1 || w == s->DBComboBox2 || w == s->DBComboBox3 ||
            w == s->DBComboBox4)
            digitPicked(static_cast<DBComboBox *>(w));
    }
    return SurveyDialog::eventFilter(watched, event);
}
