#include "editors/frm_JZBS.h"

#include "component/DataM.h"
#include "component/unt_Comm.h"
#include "data/errors.h"
#include "schema/attached_statements.h"
#include "schema/code_statements.h"
#include "schema/numbering.h"
#include "widgets/db_edit.h"
#include "widgets/db_grid.h"
#include "widgets/guard.h"

#include <QMenu>

#include <array>

using namespace zarn;
using namespace zarn::editors;

namespace {

using K = EntryKind;
using E = EnterKey;

// Control, kind, column, label, tab, Enter, jump, digit picker, built-in
// entries, row, half, halves, label name. Parcel number across the page;
// then sequence number beside distance, unified number beside line category,
// marker kind beside line position; the level on the left; the remark across.
constexpr std::array<EntryField, 9> kEntries{{
    {"EditF", K::ReadOnlyEdit, "ZDBH", "地籍号", 0, E::Next, "", false, "", 0, 0, 2, ""},
    {"EditF2", K::Edit, "XH", "界址点序号", 1, E::Next, "", false, "", 1, 0, 1, ""},
    {"EditF3", K::Edit, "JZDTBH", "界址点统编号", 2, E::Next, "", false, "", 2, 0, 1, ""},
    {"DBComboBox3", K::List, "JBLX", "界标种类", 3, E::Next, "", true,
     "钢钉|混凝土桩|石灰桩|喷漆|其它", 3, 0, 1, ""},
    {"EditF4", K::Edit, "JZDJJ", "界址点间距", 4, E::Next, "", false, "", 1, 1, 1, ""},
    {"DBComboBox11", K::List, "JZXLB", "界址线类别", 5, E::Next, "", true, "围墙|墙壁|栅栏|铁丝网",
     2, 1, 1, ""},
    {"DBComboBox2", K::List, "JZXWZ", "界址线位置", 6, E::Next, "", true, "内|中|外", 3, 1, 1, ""},
    {"EditF7", K::Edit, "BZ", "备注", 7, E::Stay, "", false, "", 5, 0, 2, ""},
    {"EditF1", K::Edit, "TZJB", "套宗级别", 8, E::Next, "", false, "", 4, 0, 1, ""},
}};

// Column, title, width, fixed pick list (the code lists fill theirs).
constexpr std::array<GridField, 11> kColumns{{
    {"ZDBH", "地籍号", 90, ""},
    {"XH", "界址点序号", 70, ""},
    {"JZDTBH", "统编号", 70, ""},
    {"JBLX", "界标类别", 80, ""},
    {"JZXLB", "界线类别", 80, ""},
    {"JZDJJ", "界址间距", 70, ""},
    {"JZXWZ", "界址线位置", 70, ""},
    {"DCRQ", "调查日期", 76, ""},
    {"FSBC", "反算边长", 70, ""},
    {"BGRQ", "变更日期", 76, ""},
    {"TZJB", "套宗级别", 60, ""},
}};

const std::array<CodeListFill, 3> kCodeLists{{
    {&sql::codeJblx, "DBComboBox3", "JBLX"},
    {&sql::codeJxwz, "DBComboBox2", "JZXWZ"},
    {&sql::codeJxlb, "DBComboBox11", "JZXLB"},
}};

const AttachedEditorDescription kDescription{
    "FrmJZBS",
    "界址标示情况描述表",
    "界址标示情况表录入",
    &TDataMod::JZBS,
    &sql::jzbsbListCurrent,
    &sql::jzbsbListChanged,
    &sql::jzbsbMaxId,
    &sql::jzbsbPurge,
    nullptr,
    Purge::AfterPost,
    "ScrollBox",
    "DBGrid1",
    kEntries,
    kColumns,
    kCodeLists,
    true,
    LoadOn::Show,
    true,
    true,
    QSize(670, 400),
    84,
};

// Attempts at an insertion when other workstations keep taking its ID.
constexpr int kInsertAttempts = 3;

} // namespace

TFrmJZBS::TFrmJZBS(QWidget *owner, TDataMod *dataModule)
    : AttachedEditor(kDescription, owner, dataModule)
{
    DBGrid1 = grid;
    EditF1 = edit(QStringLiteral("EditF1"));

    ppm = new QMenu(this);
    ppm->setObjectName(QStringLiteral("ppm"));
    ppiInsert = ppm->addAction(QStringLiteral("插入"));
    ppiInsert->setObjectName(QStringLiteral("ppiInsert"));
    ppiDel = ppm->addAction(QStringLiteral("删除"));
    ppiDel->setObjectName(QStringLiteral("ppiDel"));
    connect(ppiInsert, &QAction::triggered, this,
            [this] { ui::guard(this, [this] { ppiInsertClick(); }); });
    connect(ppiDel, &QAction::triggered, this,
            [this] { ui::guard(this, [this] { spbDelClick(); }); });
    DBGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(DBGrid1, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        ppmPopup();
        ppm->popup(DBGrid1->viewport()->mapToGlobal(at));
    });
    connect(DBGrid1, &ui::DBGrid::currentColumnChanged, this, [this] { DBGrid1ColEnter(); });
}

TFrmJZBS::~TFrmJZBS() = default;

qint64 TFrmJZBS::levelShown() const
{
    // The edit still shows the row that was current before the new one.
    const QString text = EditF1->text().trimmed();
    if (text.isEmpty()) return 1;
    bool ok = false;
    const qint64 level = text.toLongLong(&ok);
    if (!ok)
        throw ConversionError(
            QStringLiteral("套宗级别“%1”不是整数，请改正后再新增界址点。").arg(text));
    return level;
}

void TFrmJZBS::AddRecordSet()
{
    addRow();
}

void TFrmJZBS::addRow()
{
    TDataMod &dm = dataModule();
    Dataset &q = dm.ADOQuery1;
    RunSQL(q, sql::jzbsbMaxXh, {zdbh, dm.dwdm});
    const qint64 xh = numbering::nextRowNumber(q.isEmpty() ? QVariant() : q.value(0));
    const qint64 id = nextId();
    const qint64 level = levelShown();
    Dataset &ds = dataset();
    ds.append();
    setKeyColumns(id);
    ds.setValue(QStringLiteral("XH"), xh);
    ds.setValue(QStringLiteral("TZJB"), level);
    postPending();
}

void TFrmJZBS::deleteCurrent()
{
    // The deletion and the renumbering stand or fall together: a failure
    // part-way leaves the markers as they were, never half renumbered.
    asOneChange([this] {
        Dataset &ds = dataset();
        ds.remove();
        const int n = ds.recordCount();
        for (int row = 0; row < n; ++row) {
            ds.moveTo(row);
            ds.edit();
            ds.setValue(QStringLiteral("XH"), row + 1);
            ds.post();
        }
    });
}

void TFrmJZBS::insertBeforeCurrent(qint64 level, qint64 &triedId)
{
    Dataset &ds = dataset();
    triedId = nextId();
    const int position = ds.recNo() + 1;
    ds.insert();
    setKeyColumns(triedId);
    ds.setValue(QStringLiteral("XH"), position);
    ds.setValue(QStringLiteral("TZJB"), level);
    postPending();
    // The old current marker and those after it move one number up, from the last back.
    for (int row = ds.recordCount() - 1; row >= position; --row) {
        ds.moveTo(row);
        ds.edit();
        ds.setValue(QStringLiteral("XH"), ds.field(QStringLiteral("XH")).asInteger() + 1);
        ds.post();
    }
}

void TFrmJZBS::ppiInsertClick()
{
    Dataset &ds = dataset();
    if (isChangedMode() || ds.isEmpty()) return;
    const qint64 level = levelShown();
    for (int attempt = 1;; ++attempt) {
        qint64 tried = 0;
        try {
            asOneChange([&] { insertBeforeCurrent(level, tried); });
            break;
        } catch (const DatabaseError &e) {
            // Another workstation stored the id meanwhile: once rolled back,
            // the whole insertion is made again with a fresh highest id.
            if (attempt >= kInsertAttempts || tried == 0 || !freshIdAfter(e, tried)) throw;
        }
    }
    TDataMod &dm = dataModule();
    RunSQL(ds, sql::jzbsbListCurrent, {zdbh, dm.dwdm});
}

void TFrmJZBS::ppmPopup()
{
    const bool enabled = !isChangedMode() && !dataset().isEmpty();
    ppiInsert->setEnabled(enabled);
    ppiDel->setEnabled(enabled);
}

void TFrmJZBS::DBGrid1ColEnter()
{
    // The back-calculated side length comes from the coordinates; nobody types it.
    const bool computed = DBGrid1->currentField().toUpper() == QLatin1String("FSBC");
    DBGrid1->setReadOnly(computed || isChangedMode());
}
