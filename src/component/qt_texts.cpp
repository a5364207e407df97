#include "component/qt_texts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace zarn {

bool QtChineseTexts::qtTextsAreChinese()
{
    // The edit menu's first entry stands for all of Qt's texts.
    const QString undo = QCoreApplication::translate("QLineEdit", "&Undo");
    for (QChar c : undo)
        if (c.script() == QChar::Script_Han) return true;
    return false;
}

QtChineseTexts::QtChineseTexts()
{
    if (!QCoreApplication::instance() || qtTextsAreChinese()) return;
    auto translator = std::make_unique<QTranslator>();
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                          QStringLiteral("_"), folder)) {
        qWarning("Zarndcbdll: Qt's Chinese translation (qtbase_zh_CN.qm) is not in %s; "
                 "Qt's own dialogs and menus stay in English",
                 qUtf8Printable(folder));
        return;
    }
    if (QCoreApplication::installTranslator(translator.get())) m_translator = std::move(translator);
}

QtChineseTexts::~QtChineseTexts()
{
    if (m_translator && QCoreApplication::instance())
        QCoreApplication::removeTranslator(m_translator.get());
}

} // namespace zarn
