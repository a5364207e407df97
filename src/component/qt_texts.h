#pragma once

#include <memory>

class QTranslator;

namespace zarn {

// Qt's own texts in Chinese for the length of a survey session: the print
// and file dialogs, the standard buttons and the edit menu of every field.
// When Qt's texts already read Chinese (a Chinese host loaded its own
// translation), the host's translators are left to do it and nothing is
// installed; otherwise Qt's Chinese translation is installed on top of the
// host's and removed again when the session ends, so the host keeps its own
// language. Needs a QCoreApplication.
class QtChineseTexts {
public:
    QtChineseTexts();
    ~QtChineseTexts();
    QtChineseTexts(const QtChineseTexts &) = delete;
    QtChineseTexts &operator=(const QtChineseTexts &) = delete;

    // True when this object installed the translation.
    bool installed() const { return m_translator != nullptr; }

    // True when Qt's own texts read Chinese now, whoever translated them.
    static bool qtTextsAreChinese();

private:
    std::unique_ptr<QTranslator> m_translator;
};

} // namespace zarn
