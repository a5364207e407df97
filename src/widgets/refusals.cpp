#include "widgets/refusals.h"

#include "data/errors.h"
#include "schema/column_labels.h"
#include "widgets/guard.h"

namespace zarn::ui {

namespace {

QString fieldName(const Refusal &r)
{
    const QString label = columns::label(r.table, r.column);
    return label.isEmpty() ? r.column : label;
}

QString rowValue(const Refusal &r, const char *column)
{
    const QVariant v = r.row.value(QString::fromLatin1(column));
    return v.isNull() ? QString() : v.toString().trimmed();
}

bool isParcelKey(const Refusal &r)
{
    if (r.constraint.contains(QLatin1String("djdcb_current"), Qt::CaseInsensitive)) return true;
    for (const QString &c : r.keyColumns)
        if (c.compare(QLatin1String("zdbh"), Qt::CaseInsensitive) == 0) return true;
    return false;
}

QString tooLong(const Refusal &r)
{
    if (r.column.isEmpty()) {
        if (r.limit > 0)
            return QStringLiteral("有一栏填写的内容超过了该栏最多 %1 "
                                  "个字的宽度，没有保存。请找出较长的内容，删减后再保存。")
                .arg(r.limit);
        return QStringLiteral("有一栏填写的内容超过了该栏的宽度，没有保存。请找出较长的内容，"
                              "删减后再保存。");
    }
    if (r.limit > 0)
        return QStringLiteral("“%1”一栏最多只能存 %2 个字，填写的内容超出了，没有保存。请删减到 "
                              "%2 个字以内再保存。")
            .arg(fieldName(r))
            .arg(r.limit);
    return QStringLiteral("“%1”一栏填写的内容超过了该栏的宽度，没有保存。请删减后再保存。")
        .arg(fieldName(r));
}

QString duplicate(const Refusal &r)
{
    if (isParcelKey(r)) {
        const QString zdbh = rowValue(r, "zdbh");
        const QString which =
            zdbh.isEmpty() ? QStringLiteral("这个地籍号") : QStringLiteral("地籍号 %1 ").arg(zdbh);
        return which + QStringLiteral("在本单位已有现行调查表，这份调查表没有保存。请改用另一个"
                                      "地籍号再保存，或用“定位”找到已有的那份调查表修改。");
    }
    if (r.primaryKey()) {
        const QString id = rowValue(r, "id");
        return QStringLiteral("记录号%1已被其他工作站同时新增的记录占用，这条记录没有保存。表上"
                              "填写的内容仍然保留，请再保存一次。")
            .arg(id.isEmpty() ? QString() : QStringLiteral(" %1 ").arg(id));
    }
    QStringList names;
    for (const QString &c : r.keyColumns) {
        const QString label = columns::label(r.table, c);
        names << (label.isEmpty() ? c : label);
    }
    return QStringLiteral("要保存的内容与已有的记录重复%1，没有保存。请修改后再保存。")
        .arg(names.isEmpty() ? QString()
                             : QStringLiteral("（%1）").arg(names.join(QStringLiteral("、"))));
}

QString numberingHeld(const Refusal &r)
{
    const QString unit = rowValue(r, "dwdm");
    return QStringLiteral("另一个工作站正在为单位%1生成新的地籍号，等候几秒后仍未轮到，这次没有"
                          "保存。表上填写的内容仍然保留，请稍后再按“保存”。若一直如此，请查看"
                          "有没有工作站停在“新增”或保存的中途（程序没有响应，或电脑已休眠），"
                          "让它继续或关闭它。")
        .arg(unit.isEmpty() ? QString() : QStringLiteral(" %1 ").arg(unit));
}

} // namespace

QString refusalSentence(const DatabaseError &error)
{
    const Refusal &r = error.refusal();
    switch (r.kind) {
    case RefusalKind::ValueTooLong:
        return tooLong(r);
    case RefusalKind::DuplicateKey:
        return duplicate(r);
    case RefusalKind::RowChanged:
        return QStringLiteral("这条记录在您读取之后已被其他用户修改或删除，您的修改没有保存。"
                              "请记下要保留的内容，重新打开这条记录后再修改。");
    case RefusalKind::RowsDeleted:
        return rowsDeletedText(error, false);
    case RefusalKind::ConnectionLost:
        return QStringLiteral("与数据库服务器的连接已中断，服务器暂时无法连接。表上填写的内容"
                              "仍然保留，请不要关闭窗口；等网络或服务器恢复后，再按“保存”或"
                              "移动记录，系统会重新连接并保存。");
    case RefusalKind::DamagedFile:
        return QStringLiteral("数据库文件已损坏，无法读写。请停止录入，并通知系统管理员用备份"
                              "恢复数据库文件。");
    case RefusalKind::Busy:
        return QStringLiteral("其他工作站正在写入数据库，等候几秒后仍未轮到，这次没有保存。表上"
                              "填写的内容仍然保留，请稍后再按“保存”。若一直如此，请查看是否有"
                              "工作站停在保存的中途（程序没有响应，或电脑已休眠），让它继续或"
                              "关闭它。");
    case RefusalKind::NumberingHeld:
        return numberingHeld(r);
    case RefusalKind::ReadOnly:
        if (r.driverText.isEmpty()) return error.message(); // why, said when opening
        return QStringLiteral("数据库只允许查阅，不允许写入，这次没有保存。如需修改调查表，请系统"
                              "管理员开放数据库的写权限（SQLite 数据库文件和它所在的文件夹都须允许"
                              "调查员写入）。");
    case RefusalKind::NoAccess:
        return error.message(); // our own words, naming the file or folder
    case RefusalKind::Other:
        break;
    }
    if (r.driverText.isEmpty()) return error.message(); // our own words already
    if (r.reading)
        return QStringLiteral("数据库拒绝了这次读取，需要的内容没有读到（没有改动任何数据）。请把"
                              "下面的数据库信息告诉系统管理员。");
    return QStringLiteral("数据库拒绝了这次操作，没有保存。请把下面的数据库信息告诉系统管理员。");
}

QString newRowNotMadeSentence(const DatabaseError &error)
{
    const Refusal &r = error.refusal();
    const QString again =
        QStringLiteral("新的调查表没有建立，表上仍是原来的记录。请稍后再按“新增”。");
    const QString stalled = QStringLiteral("若一直如此，请查看有没有工作站停在“新增”或保存的中途"
                                           "（程序没有响应，或电脑已休眠），让它继续或关闭它。");
    switch (r.kind) {
    case RefusalKind::Busy:
        return QStringLiteral("其他工作站正在写入数据库，等候几秒后仍未轮到，") + again + stalled;
    case RefusalKind::NumberingHeld: {
        const QString unit = rowValue(r, "dwdm");
        return QStringLiteral("另一个工作站正在为单位%1生成新的地籍号，等候几秒后仍未轮到，")
                   .arg(unit.isEmpty() ? QString() : QStringLiteral(" %1 ").arg(unit)) +
               again + stalled;
    }
    case RefusalKind::ConnectionLost:
        return QStringLiteral("与数据库服务器的连接已中断，新的调查表没有建立，表上仍是原来的记录。"
                              "请等网络或服务器恢复后再按“新增”。");
    default:
        return {};
    }
}

QString rowsDeletedText(const DatabaseError &error, bool changeStored)
{
    const auto *gone = dynamic_cast<const RowsDeletedError *>(&error);
    const int count = gone ? gone->count() : 1;
    QString text = count > 1 ? QStringLiteral("要前往的记录和与它相连的共 %1 "
                                              "条记录已被其他用户删除，已从列表中移去。")
                                   .arg(count)
                             : QStringLiteral("要前往的记录已被其他用户删除，已从列表中移去。");
    if (changeStored) text += QStringLiteral("您对表上这条记录的修改已经保存。");
    return text + QStringLiteral("表上仍是原来的记录，可以继续移动或定位到其他记录。");
}

QString refusalText(const DatabaseError &error)
{
    QString text = refusalSentence(error);
    const QString driver = error.refusal().driverText;
    if (!driver.isEmpty()) text += QStringLiteral("\n\n数据库信息：") + driver;
    return text;
}

QString loadFailureText(const DatabaseError &error)
{
    QString text = QStringLiteral("本单位的调查表没有载入，表上不显示记录，也不能新增或保存。");
    switch (error.kind()) {
    case RefusalKind::DamagedFile:
    case RefusalKind::NoAccess:
        text += refusalSentence(error);
        break;
    case RefusalKind::ConnectionLost:
        text += QStringLiteral("数据库服务器无法连接。请关闭窗口，等网络或服务器恢复后再打开"
                               "调查表。");
        break;
    default:
        text += QStringLiteral("请关闭窗口，并把下面的数据库信息告诉系统管理员。");
        break;
    }
    const QString driver = error.refusal().driverText;
    if (!driver.isEmpty()) text += QStringLiteral("\n\n数据库信息：") + driver;
    return text;
}

QString reasonText(const std::exception &error)
{
    if (const auto *refusal = dynamic_cast<const DatabaseError *>(&error))
        return refusalText(*refusal);
    return errorText(error);
}

QString withReason(const QString &fixedText, const std::exception &error)
{
    const QString reason = reasonText(error);
    if (fixedText.isEmpty()) return reason;
    if (reason.isEmpty()) return fixedText;
    return fixedText + QStringLiteral("\n\n") + reason;
}

int showFailure(const QString &fixedText, const QString &caption, MessageIcon icon,
                const std::exception &error, QWidget *parent, int buttons)
{
    return messageBox(withReason(fixedText, error), caption, icon, buttons, parent);
}

bool askToLoadTheirVersion(const QString &fixedText, const QString &caption,
                           const DatabaseError &error, QWidget *parent)
{
    // Asked only once the row is known to be there still: changed, not deleted.
    QString text = QStringLiteral("这条记录在您读取之后已被其他用户修改，您的修改没有保存。");
    if (!fixedText.isEmpty()) text = fixedText + QStringLiteral("\n\n") + text;
    if (const QString driver = error.refusal().driverText; !driver.isEmpty())
        text += QStringLiteral("\n\n数据库信息：") + driver;
    text += QStringLiteral("\n\n是否载入对方保存的内容？选“是”将放弃您在表上的这次修改；选“否”"
                           "留在表上，可以先记下要保留的内容。");
    return messageBox(text, caption, MessageIcon::Question, Yes | No, parent) == Yes;
}

bool askToDropDeletedRow(const QString &fixedText, QWidget *parent)
{
    QString text = QStringLiteral("这条记录已被其他用户删除，您的修改没有保存。");
    if (!fixedText.isEmpty()) text = fixedText + QStringLiteral("\n\n") + text;
    text += QStringLiteral("\n\n是否把它从列表中移去？选“是”将放弃表上的这些内容；选“否”"
                           "留在这条记录上，可以先把要保留的内容抄下。");
    return messageBox(text, QStringLiteral("警告"), MessageIcon::Question, Yes | No, parent) == Yes;
}

} // namespace zarn::ui
