#pragma once

#include <QString>

#include <functional>

class QIODevice;

namespace zarn {

// Writes a file the user named (a PDF, config.ini) without ever leaving it
// half written: `write` fills a temporary file beside the target, which then
// takes the target's place in one rename (the target's permissions kept, a
// link followed to the file it names). When `write` answers false or throws,
// or the file cannot be made or renamed, the target is left as it was and no
// temporary file stays behind. On failure `why` (when given) gets a Chinese
// sentence saying so.
bool writeReplacing(const QString &path, const std::function<bool(QIODevice &)> &write,
                    QString *why = nullptr);

} // namespace zarn
