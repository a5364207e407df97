#include "config/file_output.h"

#include <QSaveFile>

namespace zarn {

bool writeReplacing(const QString &path, const std::function<bool(QIODevice &)> &write,
                    QString *why)
{
    auto failed = [&](const QString &reason) {
        if (why)
            *why =
                QStringLiteral("无法写入 %1（%2），原有文件没有改动。请换一个文件夹或文件名再试。")
                    .arg(path, reason);
        return false;
    };
    // Destroyed without commit (also when `write` throws), the file takes its
    // temporary file with it.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return failed(file.errorString());
    if (!write(file)) {
        const QString reason = file.error() != QFileDevice::NoError
                                   ? file.errorString()
                                   : QStringLiteral("内容没有写完");
        file.cancelWriting();
        return failed(reason);
    }
    if (!file.commit()) return failed(file.errorString());
    return true;
}

} // namespace zarn
