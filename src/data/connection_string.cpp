#include "data/connection_string.h"

#include "data/errors.h"

#include <QRegularExpression>

#include <termios.h>
#include <unistd.h>

namespace zarn {

namespace {

bool isBlank(QChar c)
{
    return c.isSpace() || c.unicode() < 0x20;
}

QString trimmed(const QString &s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.mid(b, e - b);
}

} // namespace

ConnectionString ConnectionString::parse(const QString &text)
{
    ConnectionString result;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const qsizetype start = i;
        // key up to '=' or ';'
        while (i < n && text[i] != '=' && text[i] != ';')
            ++i;
        ConnectionPair pair;
        pair.key = trimmed(text.mid(start, i - start));
        if (i < n && text[i] == '=') {
            ++i;
            while (i < n && isBlank(text[i]) && text[i] != ';')
                ++i;
            if (i < n && (text[i] == '"' || text[i] == '\'')) {
                const QChar quote = text[i++];
                QString value;
                while (i < n) {
                    if (text[i] == quote) {
                        // A doubled quote inside quotes stands for one quote.
                        if (i + 1 < n && text[i + 1] == quote) {
                            value += quote;
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    value += text[i++];
                }
                pair.value = value;
                while (i < n && text[i] != ';')
                    ++i;
            } else {
                const qsizetype vstart = i;
                while (i < n && text[i] != ';')
                    ++i;
                pair.value = trimmed(text.mid(vstart, i - vstart));
            }
        }
        pair.raw = trimmed(text.mid(start, i - start));
        if (i < n && text[i] == ';') ++i;
        if (!pair.key.isEmpty()) result.m_pairs.append(pair);
    }
    return result;
}

bool ConnectionString::contains(const QString &key) const
{
    for (const auto &p : m_pairs)
        if (p.key.compare(key, Qt::CaseInsensitive) == 0) return true;
    return false;
}

QString ConnectionString::value(const QString &key, const QString &fallback) const
{
    // The last spelling wins, as with ADO.
    QString result = fallback;
    for (const auto &p : m_pairs)
        if (p.key.compare(key, Qt::CaseInsensitive) == 0) result = p.value;
    return result;
}

namespace {

QString odbcValue(const QString &v)
{
    // ODBC wants braces around values holding ';' or braces.
    if (v.contains(';') || v.contains('{') || v.contains('}') || v.contains('='))
        return '{' + QString(v).replace("}", "}}") + '}';
    return v;
}

int portNumber(const QString &text)
{
    bool ok = false;
    const int port = text.trimmed().toInt(&ok);
    if (!ok || port <= 0 || port > 65535)
        throw Error(QStringLiteral("连接字符串的端口无效: %1").arg(text));
    return port;
}

// "hostA:5432,hostB:5433/landreg", or the servers under Host (or Server) and
// their ports under Port, each a comma list, with the database under
// Database. Several servers go to the driver as libpq's lists: a host list,
// and the ports among the connect options, as the driver takes one port only.
void mapPostgresServers(const ConnectionString &cs, ConnectionSettings &settings)
{
    const QString source = cs.value("Data Source");
    const qsizetype slash = source.indexOf('/');
    QString hostPart = slash < 0 ? source : source.left(slash);
    settings.databaseName = slash < 0 ? cs.value("Database", cs.value("Initial Catalog"))
                                      : source.mid(slash + 1);
    if (hostPart.trimmed().isEmpty()) hostPart = cs.value("Host", cs.value("Server"));
    QStringList hosts, ports;
    for (QString entry : hostPart.split(',')) {
        entry = entry.trimmed();
        const qsizetype colon = entry.lastIndexOf(':');
        ports << (colon < 0 ? QString() : QString::number(portNumber(entry.mid(colon + 1))));
        hosts << (colon < 0 ? entry : entry.left(colon).trimmed());
    }
    if (const QString portKey = cs.value("Port"); !portKey.trimmed().isEmpty()) {
        QStringList listed;
        for (const QString &p : portKey.split(','))
            listed << QString::number(portNumber(p));
        if (listed.size() != 1 && listed.size() != hosts.size())
            throw Error(QStringLiteral("连接字符串的端口个数(%1)与服务器个数(%2)不符")
                            .arg(listed.size())
                            .arg(hosts.size()));
        for (qsizetype i = 0; i < hosts.size(); ++i)
            if (ports[i].isEmpty()) ports[i] = listed.size() == 1 ? listed[0] : listed[i];
    }
    if (hosts.size() > 1) {
        for (const QString &h : hosts)
            if (h.isEmpty() || h.contains(QRegularExpression(QStringLiteral(R"([\s'"\\=])"))))
                throw Error(QStringLiteral("连接字符串的服务器名无效: %1").arg(hostPart));
        settings.servers = int(hosts.size());
        settings.hostName = hosts.join(',');
        if (!ports.join(QString()).isEmpty())
            settings.connectOptions = QStringLiteral("port=") + ports.join(',');
        return;
    }
    settings.hostName = hosts.value(0);
    if (!ports.value(0).isEmpty()) settings.port = ports[0].toInt();
}

} // namespace

ConnectionSettings mapConnectionString(const QString &text, bool oracleHasOci)
{
    const ConnectionString cs = ConnectionString::parse(text);
    ConnectionSettings settings;
    settings.provider = cs.value("Provider");
    const QString provider = settings.provider.trimmed();

    if (provider.compare("SQLite", Qt::CaseInsensitive) == 0) {
        settings.driver = "QSQLITE";
        settings.databaseName = cs.value("Data Source");
        // Many users on one file: wait for a writer instead of failing at once.
        settings.connectOptions = "QSQLITE_BUSY_TIMEOUT=5000";
        return settings;
    }
    if (provider.compare("PostgreSQL", Qt::CaseInsensitive) == 0) {
        settings.driver = "QPSQL";
        mapPostgresServers(cs, settings);
        settings.userName = cs.value("User ID");
        settings.password = cs.value("Password");
        settings.setZarnSearchPath = true;
        return settings;
    }
    if (provider.compare("MSDASQL", Qt::CaseInsensitive) == 0 ||
        provider.compare("MSDASQL.1", Qt::CaseInsensitive) == 0 ||
        provider.compare("ODBC", Qt::CaseInsensitive) == 0) {
        settings.driver = "QODBC";
        QStringList rest;
        for (const auto &p : cs.pairs())
            if (p.key.compare("Provider", Qt::CaseInsensitive) != 0 &&
                p.key.compare("Persist Security Info", Qt::CaseInsensitive) != 0)
                rest << p.raw;
        settings.databaseName = rest.join(';');
        return settings;
    }
    if (provider.compare("OraOLEDB.Oracle", Qt::CaseInsensitive) == 0 ||
        provider.compare("OraOLEDB.Oracle.1", Qt::CaseInsensitive) == 0) {
        const QString source = cs.value("Data Source");
        settings.userName = cs.value("User ID");
        settings.password = cs.value("Password");
        if (oracleHasOci) {
            settings.driver = "QOCI";
            settings.databaseName = source;
        } else {
            settings.driver = "QODBC";
            const QString driver = qEnvironmentVariable("ZARN_ORACLE_ODBC_DRIVER",
                                                        QStringLiteral("Oracle ODBC Driver"));
            settings.databaseName =
                QStringLiteral("Driver={%1};DBQ=%2").arg(driver, odbcValue(source));
        }
        return settings;
    }
    if (provider.isEmpty()) throw Error(QStringLiteral("连接字符串缺少 Provider"));
    throw Error(QStringLiteral("不支持的数据库提供程序: %1").arg(provider));
}

std::optional<QString> readConnectionStringLine(FILE *in, const QString &prompt)
{
    const int fd = fileno(in);
    termios saved{};
    const bool terminal = isatty(fd) && tcgetattr(fd, &saved) == 0;
    if (terminal) {
        std::fputs(prompt.toLocal8Bit().constData(), stderr);
        std::fflush(stderr);
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    QByteArray line;
    int c = 0;
    bool any = false;
    while ((c = std::getc(in)) != EOF) {
        any = true;
        if (c == '\n') break;
        line.append(char(c));
    }
    if (terminal) {
        tcsetattr(fd, TCSAFLUSH, &saved);
        std::fputc('\n', stderr); // the Enter that was not echoed
    }
    if (line.endsWith('\r')) line.chop(1);
    if (!any) return std::nullopt;
    const QString text = QString::fromLocal8Bit(line);
    line.fill('\0');
    return text;
}

} // namespace zarn
