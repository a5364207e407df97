#pragma once

// config.ini beside this test program, where ReadIniStr and WriteIniStr look.
// Test cases run as parallel processes; those that use the file take a lock on
// it for their length and start and end without it.

#include "config/config_ini.h"

#include <QFile>
#include <fcntl.h>
#include <stdexcept>
#include <sys/file.h>
#include <unistd.h>

namespace zarn::test {

class ProgramConfig {
public:
    ProgramConfig()
        : m_path(zarn::configIniPath())
    {
        const QByteArray lock = QFile::encodeName(m_path + QStringLiteral(".lock"));
        m_lock = ::open(lock.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_lock < 0 || ::flock(m_lock, LOCK_EX) != 0)
            throw std::runtime_error("cannot lock " + lock.toStdString());
        QFile::remove(m_path);
    }
    ~ProgramConfig()
    {
        QFile::remove(m_path);
        ::close(m_lock);
    }
    ProgramConfig(const ProgramConfig &) = delete;
    ProgramConfig &operator=(const ProgramConfig &) = delete;

    const QString &path() const { return m_path; }

private:
    QString m_path;
    int m_lock = -1;
};

} // namespace zarn::test
