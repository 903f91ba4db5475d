#include "Inifile.h"

#include "Initext.h"

#include <algorithm>

namespace {

const QByteArray utf8Bom("\xEF\xBB\xBF");

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isControl(char c)
{
    return uchar(c) < 0x20 && c != '\t';
}

qsizetype textStart(QByteArrayView text)
{
    qsizetype start = 0;
    while (start < text.size() && isBlank(text.at(start)))
        ++start;
    return start;
}

bool isComment(QByteArrayView text)
{
    const qsizetype start = textStart(text);
    return start < text.size() && (text.at(start) == '#' || text.at(start) == ';');
}

// The group a header starts, as QSettings names it: "General" in any letter case is none.
QString groupOf(QByteArrayView header)
{
    const QByteArrayView name = header.trimmed();
    if (name.compare("general", Qt::CaseInsensitive) == 0)
        return QString();
    if (name.compare("%general", Qt::CaseInsensitive) == 0)
        return QString::fromLatin1(name.sliced(1)) + QLatin1Char('/');
    return IniText::name(name) + QLatin1Char('/');
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
    const qsizetype start = textStart(text);
    if (start == text.size() || isComment(text))
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
            group + IniText::name(QByteArrayView(text).sliced(start, equals - start).trimmed());
        line.valueStart = equals + 1;
        while (line.valueStart < end && isBlank(text.at(line.valueStart)))
            ++line.valueStart;
        line.readEnd = end;
        line.valueEnd = end;
        while (line.valueEnd > line.valueStart && isBlank(text.at(line.valueEnd - 1)))
            --line.valueEnd;
    } else {
        qsizetype word = start;
        while (word < end && !isBlank(text.at(word)) && !isControl(text.at(word)) &&
               text.at(word) != ':')
            ++word;
        if (word > start) {
            line.kind = Kind::Note;
            line.name = group + IniText::name(QByteArrayView(text).sliced(start, word - start));
        }
    }
    return line;
}

bool IniFile::parse(const QByteArray& bytes)
{
    m_lines.clear();
    m_bom.clear();
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
        if (!isText(line)) {
            m_lines.clear();
            return false;
        }
        group = line.group;
        m_lines.append(std::move(line));
        rest = rest.sliced(length + ending);
    }
    return true;
}

bool IniFile::isText(const Line& line)
{
    // Control characters in a comment or after a note's name are only ever shown to a
    // person; in a header or a value they would become part of a name or a value.
    QByteArrayView checked(line.text);
    if (line.kind == Kind::Other && isComment(line.text))
        return true;
    if (line.kind == Kind::Note)
        return true; // its name stops at the first control character
    if (line.kind == Kind::Value)
        checked = checked.first(line.readEnd);
    return std::none_of(checked.begin(), checked.end(), isControl);
}

QVariantMap IniFile::values() const
{
    QVariantMap values;
    for (const Line& line : m_lines) {
        // Each as QSettings reads the file's last line: a quote left open ends with it, and a
        // backslash at its end is an escape cut off, which keeps the blanks before it.
        if (line.kind == Kind::Value)
            values.insert(line.name, IniText::value(line.value()));
    }
    for (const Line& line : m_lines) {
        if (line.kind == Kind::Note && !values.contains(line.name))
            values.insert(line.name, QVariant());
    }
    return values;
}

QByteArrayView IniFile::Line::value() const
{
    return QByteArrayView(text).sliced(valueStart, readEnd - valueStart);
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
    const QByteArray name = IniText::escapedName(group.chopped(group.isEmpty() ? 0 : 1));
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

bool IniFile::setValue(const QString& name, const QVariant& value)
{
    const QByteArray text = IniText::escapedValue(value);
    for (qsizetype i = m_lines.size() - 1; i >= 0; --i) {
        Line& line = m_lines[i];
        if (line.kind == Kind::Value && line.name == name) {
            // Its quote or final backslash takes the next line in for QSettings; a new value
            // would leave that line's closing quote open on whatever follows.
            if (closedValue(line.value().toByteArray()) != line.value())
                return false;
            const qsizetype grown = text.size() - (line.valueEnd - line.valueStart);
            line.text.replace(line.valueStart, line.valueEnd - line.valueStart, text);
            line.valueEnd += grown;
            line.readEnd += grown;
            return true;
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
    m_lines.insert(at, classify(IniText::escapedName(name.mid(slash + 1)) + '=' + text, group));
    m_lines[at].end = end;
    // Only a line that now has another after it needs an end of its own; a last line left
    // without one keeps it so, as a quote it leaves open would otherwise take the end in.
    for (qsizetype i = 0; i + 1 < m_lines.size(); ++i) {
        if (m_lines.at(i).end.isEmpty())
            m_lines[i].end = end;
    }
    return true;
}

QByteArray IniFile::bytes() const
{
    QByteArray out = m_bom;
    for (const Line& line : m_lines)
        out += line.text + line.end;
    return out;
}
