#include "host_window.h"

#include <zarn/Zarndcbdll.h>

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

namespace {

QString hex(int32_t hr)
{
    return QStringLiteral("0x%1").arg(uint32_t(hr), 8, 16, QLatin1Char('0'));
}

// A BSTR freed at the end of the scope.
struct Bstr {
    explicit Bstr(const QString &text)
        : value(SysAllocString(reinterpret_cast<const OLECHAR *>(text.utf16())))
    {
    }
    ~Bstr() { SysFreeString(value); }
    Bstr(const Bstr &) = delete;
    Bstr &operator=(const Bstr &) = delete;
    BSTR value;
};

} // namespace

int32_t showSurveyTable(const QString &dwdm, const QString &zdh, int8_t lx, uint32_t winhandle,
                        QString *error, const char **step)
{
    void *object = nullptr;
    if (step) *step = "ZarnCreateInstanceFromProgID";
    const HRESULT created = ZarnCreateInstanceFromProgID(ZARN_PROGID, &IID_IZarndjdcbshow, &object);
    if (FAILED(created)) {
        if (error)
            *error = QStringLiteral("无法创建调查表组件 %1（错误 %2）：%3\n请先用 zarn-regsvr 注册 "
                                    "Zarndcbdll.so。")
                         .arg(QStringLiteral(ZARN_PROGID), hex(created),
                              QString::fromUtf8(ZarnLastError()));
        return created;
    }
    auto *show = static_cast<IZarndjdcbshow *>(object);
    if (step) *step = "showdcbfrm";
    HRESULT hr;
    {
        Bstr getdwdm(dwdm), getzdh(zdh);
        hr = show->showdcbfrm(getdwdm.value, getzdh.value, lx, winhandle);
    }
    show->Release();
    ZarnCoFreeUnusedLibraries();
    return hr;
}

HostWindow::HostWindow(QWidget *parent)
    : QMainWindow(parent)
    , m_dwdm(new QLineEdit)
    , m_zdh(new QLineEdit)
    , m_kind(new QComboBox)
    , m_open(new QPushButton(QStringLiteral("打开调查表")))
    , m_result(new QLabel)
{
    setWindowTitle(QStringLiteral("土地登记 — 调查表演示宿主"));
    m_dwdm->setObjectName(QStringLiteral("dwdm"));
    m_zdh->setObjectName(QStringLiteral("zdh"));
    m_kind->setObjectName(QStringLiteral("lx"));
    m_open->setObjectName(QStringLiteral("open"));
    m_dwdm->setMaxLength(12);
    m_dwdm->setPlaceholderText(QStringLiteral("12 位单位代码"));
    m_kind->addItem(QStringLiteral("0 使用权地籍调查表"), 0);
    m_kind->addItem(QStringLiteral("1 所有权地籍调查表"), 1);
    m_kind->addItem(QStringLiteral("2 （无此表）"), 2);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("单位代码："), m_dwdm);
    form->addRow(QStringLiteral("宗地号："), m_zdh);
    form->addRow(QStringLiteral("表类型："), m_kind);
    auto *box = new QVBoxLayout;
    box->addLayout(form);
    box->addWidget(m_open);
    box->addStretch();
    auto *central = new QWidget;
    central->setLayout(box);
    setCentralWidget(central);
    statusBar()->addWidget(m_result);
    resize(420, 200);

    connect(m_open, &QPushButton::clicked, this, &HostWindow::openSurveyTable);
}

void HostWindow::setUnitCode(const QString &dwdm)
{
    m_dwdm->setText(dwdm);
}
void HostWindow::setParcelNumber(const QString &zdh)
{
    m_zdh->setText(zdh);
}

void HostWindow::setFormKind(int lx)
{
    const int i = m_kind->findData(lx);
    if (i >= 0) m_kind->setCurrentIndex(i);
}

void HostWindow::openSurveyTable()
{
    QString error;
    m_open->setEnabled(false);
    const char *step = nullptr;
    const int32_t hr =
        showSurveyTable(m_dwdm->text(), m_zdh->text(), int8_t(m_kind->currentData().toInt()),
                        uint32_t(winId()), &error, &step);
    m_open->setEnabled(true);
    m_result->setText(QStringLiteral("%1 返回 %2").arg(QLatin1String(step), hex(hr)));
    if (!error.isEmpty()) QMessageBox::critical(this, QStringLiteral("错误"), error);
}
