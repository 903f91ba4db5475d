#include "Inifile.h"

#include <QSettings>
#include <QTemporaryFile>

#include <cstring>

namespace {

const QByteArray utf8Bom("\xEF\xBB\xBF");

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// A name as QSettings reads it: a backslash stands for the group separator, %XX and
// %UXXXX for one character, any other byte for itself.
QString unescapedName(QByteArrayView text)
{
    QString name;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c == '\\') {
            name += QLatin1Char('/');
            continue;
        }
        const qsizetype digits = i + 1 < text.size() && text.at(i + 1) == 'U' ? 4 : 2;
        const qsizetype first = i + 1 + (digits == 4 ? 1 : 0);
        bool ok = c == '%' && first + digits <= text.size();
        for (qsizetype d = first; ok && d < first + digits; ++d)
            ok = isHexDigit(text.at(d));
        if (!ok) {
            name += QLatin1Char(c);
            continue;
        }
        name += QChar(char16_t(text.sliced(first, digits).toUShort(nullptr, 16)));
        i = first + digits - 1;
    }
    return name;
}

QByteArray escapedName(const QString& name)
{
    QByteArray text;
    for (const QChar ch : name) {
        const char16_t u = ch.unicode();
        if (u == '/')
            text += '\\';
        else if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
                 u == '_' || u == '-' || u == '.')
            text += char(u);
        else if (u <= 0xFF)
            text += '%' + QByteArray::number(u, 16).toUpper().rightJustified(2, '0');
        else
            text += "%U" + QByteArray::number(u, 16).toUpper().rightJustified(4, '0');
    }
    return text;
}

// A number or a string as QSettings writes it: control characters, quotes and backslashes
// escaped, quoted where a separator or an outer space would otherwise be lost, a leading
// '@' doubled so it can't be taken for a type.
QByteArray escapedValue(const QVariant& value)
{
    QString text = value.toString();
    if (value.typeId() == QMetaType::QString && text.startsWith(QLatin1Char('@')))
        text.prepend(QLatin1Char('@'));
    QByteArray out;
    bool quote = false;
    bool escapeHexDigit = false; // a reader would take it as part of the escape before
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text.at(i).unicode();
        quote = quote || u == ';' || u == ',' || u == '=';
        if (escapeHexDigit && u < 0x80 && isHexDigit(char(u))) {
            out += "\\x" + QByteArray::number(u, 16);
            continue;
        }
        escapeHexDigit = false;
        static const char named[] = "\a\b\f\n\r\t\v\"\\";
        static const char letters[] = "abfnrtv\"\\";
        const char* at = u != 0 && u < 0x80 ? std::strchr(named, char(u)) : nullptr;
        if (at) {
            out += '\\';
            out += letters[at - named];
        } else if (u < 0x20 || u == 0x7F) {
            out += "\\x" + QByteArray::number(u, 16);
            escapeHexDigit = true;
        } else {
            const qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
            out += QStringView(text).sliced(i, length).toUtf8();
            i += length - 1;
        }
    }
    if (quote || out.startsWith(' ') || out.endsWith(' '))
        out = '"' + out + '"';
    return out;
}

// The group a header starts, as QSettings names it: "General" in any letter case is none.
QString groupOf(QByteArrayView header)
{
    const QByteArrayView name = header.trimmed();
    if (name.compare("general", Qt::CaseInsensitive) == 0)
        return QString();
    if (name.compare("%general", Qt::CaseInsensitive) == 0)
        return QString::fromLatin1(name.sliced(1)) + QLatin1Char('/');
    return unescapedName(name) + QLatin1Char('/');
}

// One value as a line of its own: a quote left open or a backslash at the end would
// otherwise carry it into the next line, where QSettings would look for the rest.
QByteArray closedValue(QByteArray value)
{
    bool quoted = false;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value.at(i) == '\\' && i + 1 == value.size())
            value.chop(1);
        else if (value.at(i) == '\\')
            ++i;
        else if (value.at(i) == '"')
            quoted = !quoted;
    }
    return quoted ? value + '"' : value;
}

} // namespace

IniFile::Line IniFile::classify(const QByteArray& text, const QString& group)
{
    Line line;
    line.text = text;
    line.group = group;
    qsizetype start = 0;
    while (start < text.size() && isBlank(text.at(start)))
        ++start;
    if (start == text.size() || text.at(start) == '#' || text.at(start) == ';')
        return line;

    // As QSettings reads a line: a backslash escapes the next character, '=' and ';'
    // count outside quotes only, and a ';' ends the line.
    qsizetype equals = -1;
    qsizetype end = text.size();
    bool quoted = false;
    for (qsizetype i = start; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c == '\\') {
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ';' && !quoted) {
            end = i;
            break;
        } else if (c == '=' && !quoted && equals < 0) {
            equals = i;
        }
    }

    if (text.at(start) == '[') {
        const QByteArrayView inside = QByteArrayView(text).sliced(start + 1, end - start - 1);
        const qsizetype close = inside.indexOf(']');
        line.kind = Kind::Section;
        line.group = groupOf(close < 0 ? inside : inside.first(close));
    } else if (equals >= 0) {
        line.kind = Kind::Value;
        line.name =
            group + unescapedName(QByteArrayView(text).sliced(start, equals - start).trimmed());
        line.valueStart = equals + 1;
        while (line.valueStart < end && isBlank(text.at(line.valueStart)))
            ++line.valueStart;
        line.valueEnd = end;
        while (line.valueEnd > line.valueStart && isBlank(text.at(line.valueEnd - 1)))
            --line.valueEnd;
    } else {
        qsizetype word = start;
        while (word < end && !isBlank(text.at(word)) && text.at(word) != ':')
            ++word;
        if (word > start) {
            line.kind = Kind::Note;
            line.name = group + unescapedName(QByteArrayView(text).sliced(start, word - start));
        }
    }
    return line;
}

bool IniFile::parse(const QByteArray& bytes)
{
    m_lines.clear();
    m_bom.clear();
    for (const char c : bytes) {
        if (uchar(c) < 0x20 && c != '\t' && c != '\n' && c != '\r')
            return false;
    }
    QByteArrayView rest(bytes);
    if (rest.startsWith(utf8Bom)) {
        m_bom = utf8Bom;
        rest = rest.sliced(utf8Bom.size());
    }
    QString group;
    while (!rest.isEmpty()) {
        qsizetype length = 0;
        while (length < rest.size() && rest.at(length) != '\n' && rest.at(length) != '\r')
            ++length;
        qsizetype ending = length < rest.size() ? 1 : 0;
        if (ending && rest.at(length) == '\r' && length + 1 < rest.size() &&
            rest.at(length + 1) == '\n')
            ending = 2;
        Line line = classify(rest.first(length).toByteArray(), group);
        line.end = rest.sliced(length, ending).toByteArray();
        group = line.group;
        m_lines.append(std::move(line));
        rest = rest.sliced(length + ending);
    }
    return true;
}

bool IniFile::readValues(QVariantMap& values) const
{
    values.clear();
    // QSettings decodes the values, so lists, escapes and stored types read exactly as it
    // reads them. It is given a private copy under a fresh name, since it serves a name it
    // has seen before from a per-process cache.
    QByteArray plain("[General]\n");
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const Line& line = m_lines.at(i);
        if (line.kind == Kind::Value)
            plain +=
                'v' + QByteArray::number(i) + '=' + closedValue(line.value().toByteArray()) + '\n';
    }
    QTemporaryFile copy; // owner-only, removed again when it goes out of scope
    if (!copy.open() || copy.write(plain) != plain.size() || !copy.flush())
        return false;
    copy.close();
    const QSettings decoded(copy.fileName(), QSettings::IniFormat);
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        if (m_lines.at(i).kind == Kind::Value)
            values.insert(m_lines.at(i).name, decoded.value(QLatin1Char('v') + QString::number(i)));
    }
    for (const Line& line : m_lines) {
        if (line.kind == Kind::Note && !values.contains(line.name))
            values.insert(line.name, QVariant());
    }
    return true;
}

QByteArrayView IniFile::Line::value() const
{
    return QByteArrayView(text).sliced(valueStart, valueEnd - valueStart);
}

qsizetype IniFile::placeFor(const QString& group, const QByteArray& end)
{
    for (qsizetype i = m_lines.size() - 1; i >= 0; --i) {
        const Line& line = m_lines.at(i);
        // QSettings carries a value with an open quote or a final backslash on into the
        // next line, so nothing new may follow it.
        if (line.kind == Kind::Value && line.group == group)
            return closedValue(line.value().toByteArray()) == line.value() ? i + 1 : i;
    }
    for (qsizetype i = m_lines.size() - 1; i >= 0; --i) {
        const Line& line = m_lines.at(i);
        // A header with a quote left open carries on into the next line just the same, and
        // takes whatever follows it into its name: the group then gets a header of our own.
        if (line.kind == Kind::Section && line.group == group &&
            closedValue(line.text) == line.text)
            return i + 1;
    }

    Line header;
    header.kind = Kind::Section;
    header.group = group;
    header.end = end;
    const QByteArray name = escapedName(group.chopped(group.isEmpty() ? 0 : 1));
    if (name.isEmpty())
        header.text = "[General]";
    else if (name.compare("general", Qt::CaseInsensitive) == 0)
        header.text = "[%General]";
    else
        header.text = '[' + name + ']';
    Line blank;
    blank.end = end;
    if (group.isEmpty()) {
        // At the top, where QSettings puts it: the lines before the first header are in
        // this group already, and no line of the user's comes before it.
        if (!m_lines.isEmpty())
            m_lines.prepend(blank);
        m_lines.prepend(header);
        return 1;
    }
    if (!m_lines.isEmpty() && !m_lines.constLast().text.trimmed().isEmpty())
        m_lines.append(blank);
    m_lines.append(header);
    return m_lines.size();
}

void IniFile::setValue(const QString& name, const QVariant& value)
{
    const QByteArray text = escapedValue(value);
    for (qsizetype i = m_lines.size() - 1; i >= 0; --i) {
        Line& line = m_lines[i];
        if (line.kind == Kind::Value && line.name == name) {
            line.text.replace(line.valueStart, line.valueEnd - line.valueStart, text);
            line.valueEnd = line.valueStart + text.size();
            return;
        }
    }

    QByteArray end("\n"); // new lines end as the user's lines do
    for (const Line& line : std::as_const(m_lines)) {
        if (!line.end.isEmpty()) {
            end = line.end;
            break;
        }
    }
    const qsizetype slash = name.indexOf(QLatin1Char('/'));
    const QString group = slash < 0 ? QString() : name.left(slash + 1);
    const qsizetype at = placeFor(group, end);
    m_lines.insert(at, classify(escapedName(name.mid(slash + 1)) + '=' + text, group));
    m_lines[at].end = end;
    // Only a line that now has another after it needs an end of its own; a last line left
    // without one keeps it so, as a quote it leaves open would otherwise take the end in.
    for (qsizetype i = 0; i + 1 < m_lines.size(); ++i) {
        if (m_lines.at(i).end.isEmpty())
            m_lines[i].end = end;
    }
}

QByteArray IniFile::bytes() const
{
    QByteArray out = m_bom;
    for (const Line& line : m_lines)
        out += line.text + line.end;
    return out;
}
