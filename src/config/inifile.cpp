#include "config/inifile.h"

#include "config/file_output.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <atomic>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zarn {

namespace {

enum class Encoding { Gbk, Utf8 };

constexpr char Utf8Bom[] = "\xEF\xBB\xBF";

// Stateless: a lead byte cut off at the end of a value is an error, not a
// character held back for a next call that never comes.
constexpr auto Stateless = QStringConverter::Flag::Stateless;

QString decode(QByteArrayView bytes, Encoding enc)
{
    if (enc == Encoding::Utf8) return QString::fromUtf8(bytes);
    QStringDecoder decoder("GBK", Stateless);
    return decoder.decode(bytes);
}

QByteArray encode(QStringView text, Encoding enc, bool *exact)
{
    if (enc == Encoding::Utf8) {
        if (exact) *exact = true;
        return text.toUtf8();
    }
    QStringEncoder encoder("GBK", Stateless);
    QByteArray bytes = encoder.encode(text);
    if (exact) *exact = !encoder.hasError();
    return bytes;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

QByteArrayView trimmed(QByteArrayView v)
{
    qsizetype b = 0, e = v.size();
    while (b < e && isBlank(v[b]))
        ++b;
    while (e > b && isBlank(v[e - 1]))
        --e;
    return v.sliced(b, e - b);
}

// The longest head of `v` within MaxValueBytes that ends on a character boundary.
QByteArrayView cutValue(QByteArrayView v, Encoding enc)
{
    const qsizetype max = IniFile::MaxValueBytes;
    if (v.size() <= max) return v;
    qsizetype n = 0;
    if (enc == Encoding::Utf8) {
        n = max;
        while (n > 0 && (uchar(v[n]) & 0xC0) == 0x80)
            --n;
    } else {
        while (n < v.size()) {
            const uchar c = uchar(v[n]);
            const qsizetype len = (c >= 0x81 && c <= 0xFE) ? 2 : 1;
            if (n + len > max) break;
            n += len;
        }
    }
    return v.first(n);
}

bool sameName(QByteArrayView raw, QStringView wanted, Encoding enc)
{
    // A name character takes at most three bytes in either encoding; this keeps
    // a hostile megabyte-long line from being decoded for every lookup.
    if (raw.isEmpty() || raw.size() > 3 * wanted.size()) return false;
    return decode(raw, enc).compare(wanted, Qt::CaseInsensitive) == 0;
}

struct Line {
    qsizetype start = 0;
    qsizetype end = 0;  // end of the content, before CR LF or LF
    qsizetype next = 0; // start of the following line
    bool hasEol = false;
};

// Reads the lines of `data` from `pos`.
class LineReader {
public:
    LineReader(QByteArrayView data, qsizetype pos)
        : m_data(data)
        , m_pos(pos)
    {
    }
    bool next(Line &line)
    {
        if (m_pos >= m_data.size()) return false;
        line.start = m_pos;
        const qsizetype nl = m_data.indexOf('\n', m_pos);
        line.hasEol = nl >= 0;
        line.next = line.hasEol ? nl + 1 : m_data.size();
        line.end = line.hasEol ? nl : m_data.size();
        if (line.hasEol && line.end > line.start && m_data[line.end - 1] == '\r') --line.end;
        m_pos = line.next;
        return true;
    }

private:
    QByteArrayView m_data;
    qsizetype m_pos;
};

enum class Kind { Other, Section, Entry };

struct Parsed {
    Kind kind = Kind::Other;
    QByteArrayView name;
    qsizetype valueStart = 0; // offsets into the whole file
    qsizetype valueEnd = 0;
};

Parsed parse(QByteArrayView data, const Line &line)
{
    Parsed p;
    const QByteArrayView content = data.sliced(line.start, line.end - line.start);
    const QByteArrayView t = trimmed(content);
    if (t.isEmpty() || t[0] == ';' || t[0] == '#') return p;
    if (t[0] == '[') {
        const qsizetype close = t.indexOf(']');
        p.kind = Kind::Section;
        p.name = trimmed(close < 0 ? t.sliced(1) : t.sliced(1, close - 1));
        return p;
    }
    const qsizetype eq = content.indexOf('=');
    if (eq < 0) return p;
    p.name = trimmed(content.first(eq));
    if (p.name.isEmpty()) return p;
    p.kind = Kind::Entry;
    qsizetype b = eq + 1, e = content.size();
    while (b < e && isBlank(content[b]))
        ++b;
    while (e > b && isBlank(content[e - 1]))
        --e;
    p.valueStart = line.start + b;
    p.valueEnd = line.start + e;
    return p;
}

// Where a key is, or where it would go, in the first section of its name.
struct Location {
    bool sectionFound = false;
    bool keyFound = false;
    qsizetype valueStart = 0, valueEnd = 0; // of the key's value when found
    Line lastFilled;                        // last non-blank line of the section
};

Location locate(QByteArrayView data, qsizetype bodyStart, QStringView section, QStringView key,
                Encoding enc)
{
    Location loc;
    LineReader lines(data, bodyStart);
    Line line;
    bool inSection = false;
    while (lines.next(line)) {
        const Parsed p = parse(data, line);
        if (p.kind == Kind::Section) {
            if (inSection) break;
            if (!loc.sectionFound && sameName(p.name, section, enc)) {
                inSection = loc.sectionFound = true;
                loc.lastFilled = line;
            }
            continue;
        }
        if (!inSection) continue;
        if (!trimmed(data.sliced(line.start, line.end - line.start)).isEmpty())
            loc.lastFilled = line;
        if (p.kind == Kind::Entry && sameName(p.name, key, enc)) {
            loc.keyFound = true;
            loc.valueStart = p.valueStart;
            loc.valueEnd = p.valueEnd;
            break;
        }
    }
    return loc;
}

std::atomic<qint64> loads{0}, replaces{0};

struct Contents {
    QByteArray bytes;
    qsizetype bodyStart = 0;
    Encoding enc = Encoding::Gbk;
};

// Reads the file without ever waiting: opened without blocking (a named
// pipe would hold the caller until some writer came) and read only when it
// is an ordinary file of a sensible size. A missing file is empty.
FileState load(const QString &path, Contents &c)
{
    ++loads;
    const QByteArray native = QFile::encodeName(path);
    // A link to a file not made yet (the package links config.ini to /etc)
    // is a missing file, as is a path through something that is no folder.
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        switch (errno) {
        case ENOENT:
        case ENOTDIR:
            return FileState::Missing;
        case EACCES:
        case EPERM:
            return FileState::NotAllowed;
        default:
            return FileState::ReadFailed;
        }
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) return FileState::ReadFailed;
    if (S_ISDIR(st.st_mode)) return FileState::Folder;
    if (!S_ISREG(st.st_mode)) return FileState::NotAFile;
    if (st.st_size > IniFile::MaxFileBytes) return FileState::TooBig;
    // As much as the file holds; one byte more tells a file that grew meanwhile.
    c.bytes.resize(qsizetype(st.st_size) + 1);
    qsizetype got = 0;
    while (got < c.bytes.size()) {
        const ssize_t n = ::read(fd, c.bytes.data() + got, size_t(c.bytes.size() - got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            c.bytes.clear();
            return errno == EACCES || errno == EPERM ? FileState::NotAllowed
                                                     : FileState::ReadFailed;
        }
        if (n == 0) break;
        got += n;
        if (got == c.bytes.size() && got <= IniFile::MaxFileBytes)
            c.bytes.resize(std::min<qsizetype>(got * 2, IniFile::MaxFileBytes + 1));
    }
    c.bytes.resize(got);
    if (c.bytes.size() > IniFile::MaxFileBytes) {
        c.bytes.clear();
        return FileState::TooBig;
    }
    if (c.bytes.startsWith(Utf8Bom)) {
        c.bodyStart = 3;
        c.enc = Encoding::Utf8;
    }
    return FileState::Readable;
}

// Names are compared trimmed, as the file's names are read.
QStringView trimmedName(QStringView name)
{
    return name.trimmed();
}

bool usableName(QStringView name, QStringView forbidden)
{
    if (name.isEmpty()) return false;
    for (QChar c : name) {
        if (c == u'\r' || c == u'\n' || c == QChar(0) || forbidden.contains(c)) return false;
    }
    return true;
}

QString oneLine(const QString &value)
{
    QString v = value;
    v.replace(QLatin1String("\r\n"), QLatin1String(" "));
    v.replace(u'\r', u' ');
    v.replace(u'\n', u' ');
    return v;
}

} // namespace

QByteArray toGbk(QStringView text, bool *exact)
{
    return encode(text, Encoding::Gbk, exact);
}

QString fromGbk(QByteArrayView bytes)
{
    return decode(bytes, Encoding::Gbk);
}

FileState IniFile::state(const QString &path)
{
    Contents c;
    return load(path, c);
}

QString IniFile::describe(FileState state)
{
    switch (state) {
    case FileState::Readable:
        return QStringLiteral("可以读取");
    case FileState::Missing:
        return QStringLiteral("不存在");
    case FileState::NotAllowed:
        return QStringLiteral("当前用户没有读取它的权限（请检查文件和它所在文件夹的权限）");
    case FileState::Folder:
        return QStringLiteral("是一个文件夹，不是配置文件");
    case FileState::NotAFile:
        return QStringLiteral("不是普通文件（是命名管道、设备或套接字），不能作为配置文件读取");
    case FileState::TooBig:
        return QStringLiteral("超过 %1 MB，不是配置文件，没有读取")
            .arg(IniFile::MaxFileBytes / (1024 * 1024));
    case FileState::ReadFailed:
        break;
    }
    return QStringLiteral("读取时出错");
}

IniFile::IniFile(QString path)
    : m_path(std::move(path))
{
}

IniFile::Traffic IniFile::traffic()
{
    return {loads.load(), replaces.load()};
}

QString IniFile::read(QStringView section, QStringView key, const QString &defaultValue) const
{
    return IniBatch(m_path).read(section, key, defaultValue);
}

bool IniFile::write(QStringView section, QStringView key, const QString &value) const
{
    IniBatch batch(m_path);
    return batch.write(section, key, value) && batch.commit();
}

IniBatch::IniBatch(QString path)
    : m_path(std::move(path))
{
    if (m_path.isEmpty()) return;
    Contents c;
    const FileState state = load(m_path, c);
    m_usable = state == FileState::Readable || state == FileState::Missing;
    if (!m_usable) return;
    m_existed = state == FileState::Readable;
    m_utf8 = c.enc == Encoding::Utf8;
    m_bodyStart = c.bodyStart;
    m_loaded = c.bytes;
    m_bytes = std::move(c.bytes);
}

QString IniBatch::read(QStringView section, QStringView key, const QString &defaultValue) const
{
    if (!m_usable) return defaultValue;
    const Encoding enc = m_utf8 ? Encoding::Utf8 : Encoding::Gbk;
    const Location loc = locate(m_bytes, m_bodyStart, trimmedName(section), trimmedName(key), enc);
    if (!loc.keyFound) return defaultValue;
    const QByteArrayView value =
        QByteArrayView(m_bytes).sliced(loc.valueStart, loc.valueEnd - loc.valueStart);
    return decode(cutValue(value, enc), enc);
}

bool IniBatch::write(QStringView section, QStringView key, const QString &value)
{
    section = trimmedName(section);
    key = trimmedName(key);
    if (!usableName(section, u"]") || !usableName(key, u"=") || key[0] == u'[' || key[0] == u';' ||
        key[0] == u'#')
        return false;
    if (!m_usable) return false;
    const Encoding enc = m_utf8 ? Encoding::Utf8 : Encoding::Gbk;
    bool exactSection = false, exactKey = false;
    const QByteArray sectionBytes = encode(section, enc, &exactSection);
    const QByteArray keyBytes = encode(key, enc, &exactKey);
    if (!exactSection || !exactKey) return false;
    // A value the file's code page cannot hold is not written at all: a
    // remembered name with '?' in place of a rare character would come back
    // as a wrong name, where the old value or none is merely stale.
    bool exactValue = false;
    const QByteArray valueBytes = encode(oneLine(value), enc, &exactValue);
    if (!exactValue) return false;

    // New lines follow the file's own line ends; a new file gets the CR LF of
    // the files that existing installations carry.
    QByteArray &out = m_bytes;
    const qsizetype firstNl = out.indexOf('\n');
    const QByteArray eol = firstNl > 0 && out[firstNl - 1] == '\r' ? "\r\n"
                           : firstNl >= 0                          ? "\n"
                                                                   : "\r\n";

    const Location loc = locate(out, m_bodyStart, section, key, enc);
    if (loc.keyFound) {
        out.replace(loc.valueStart, loc.valueEnd - loc.valueStart, valueBytes);
    } else {
        const QByteArray entry = keyBytes + '=' + valueBytes + eol;
        if (loc.sectionFound) {
            // After the section's last key, so the blank lines that set off the
            // next section stay where they are.
            const Line &last = loc.lastFilled;
            out.insert(last.next, last.hasEol ? entry : eol + entry);
        } else {
            if (out.size() > m_bodyStart && !out.endsWith('\n')) out += eol;
            out += '[' + sectionBytes + ']' + eol + entry;
        }
    }
    m_written = true;
    return true;
}

bool IniBatch::commit()
{
    if (!m_usable || !m_written || (m_bytes == m_loaded && m_existed)) return true;
    m_written = false;
    ++replaces;
    const QByteArray &out = m_bytes;
    if (!writeReplacing(m_path, [&out](QIODevice &f) { return f.write(out) == out.size(); })) {
        m_bytes = m_loaded;
        return false;
    }
    m_loaded = m_bytes;
    m_existed = true;
    return true;
}

} // namespace zarn
