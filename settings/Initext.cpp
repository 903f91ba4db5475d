#include "Initext.h"

#include <QDataStream>
#include <QIODevice>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QStringDecoder>
#include <QStringList>

#include <algorithm>
#include <cstring>

namespace IniText {

namespace {

bool isHexDigit(char16_t c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool isSpecial(char c)
{
    return c == '\\' || c == '"' || c == ',';
}

int digitValue(char c, int base)
{
    int digit = base;
    if (c >= '0' && c <= '9')
        digit = c - '0';
    else if (c >= 'a' && c <= 'f')
        digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        digit = c - 'A' + 10;
    return digit < base ? digit : -1;
}

// Undoes the escapes of a value and splits it at the commas outside quotes, as QSettings
// does: blanks around an unquoted item go, an escaped or quoted blank stays, and an unknown
// escape drops the character after the backslash.
class ValueReader final
{
public:
    explicit ValueReader(QByteArrayView text) : m_text(text) {}

    // The items when the text is a list, else one string in the list.
    QStringList items(bool& isList)
    {
        skipBlanks();
        bool whole = true; // an escape cut off by the end keeps the blanks before it
        while (whole && m_at < m_text.size())
            whole = readOne();
        if (whole && !m_itemQuoted)
            chopBlanks();
        m_items.append(m_item);
        isList = m_isList;
        return m_items;
    }

private:
    void skipBlanks()
    {
        while (m_at < m_text.size() && (m_text.at(m_at) == ' ' || m_text.at(m_at) == '\t'))
            ++m_at;
        m_keep = m_item.size();
    }

    void chopBlanks()
    {
        while (m_item.size() > m_keep &&
               (m_item.endsWith(QLatin1Char(' ')) || m_item.endsWith(QLatin1Char('\t'))))
            m_item.chop(1);
    }

    // False when the text ends inside an escape: the item then ends as it stands.
    bool readOne()
    {
        const char c = m_text.at(m_at);
        if (c == '\\')
            return readEscape();
        if (c == '"') {
            ++m_at;
            m_itemQuoted = true;
            m_inQuotes = !m_inQuotes;
            if (!m_inQuotes)
                skipBlanks();
        } else if (c == ',' && !m_inQuotes) {
            if (!m_itemQuoted)
                chopBlanks();
            m_isList = true;
            m_items.append(m_item);
            m_item.clear();
            m_itemQuoted = false;
            ++m_at;
            skipBlanks();
        } else {
            qsizetype end = m_at + 1;
            while (end < m_text.size() && !isSpecial(m_text.at(end)))
                ++end;
            m_item += m_utf8(m_text.sliced(m_at, end - m_at));
            m_at = end;
        }
        return true;
    }

    bool readEscape()
    {
        if (++m_at >= m_text.size())
            return false;
        const char c = m_text.at(m_at++);
        static const char named[] = "abfnrtv\"?'\\";
        static const char meant[] = "\a\b\f\n\r\t\v\"?'\\";
        int base = 0;
        if (const char* at = std::strchr(named, c); at && c != '\0') {
            m_item += QLatin1Char(meant[at - named]);
        } else if (c == 'x') {
            if (m_at >= m_text.size())
                return false;
            base = isHexDigit(char16_t(m_text.at(m_at))) ? 16 : 0;
        } else if (digitValue(c, 8) >= 0) {
            base = 8;
            --m_at;
        } else if ((c == '\n' || c == '\r') && m_at < m_text.size()) {
            // An escaped line end, in either order of CR and LF, joins two lines.
            const char next = m_text.at(m_at);
            m_at += (next == '\n' || next == '\r') && next != c ? 1 : 0;
        }
        if (base != 0) {
            // The code wraps at 16 bits, as it does in QSettings.
            char16_t code = 0;
            for (int digit = 0;
                 m_at < m_text.size() && (digit = digitValue(m_text.at(m_at), base)) >= 0; ++m_at)
                code = char16_t(code * base + digit);
            m_item += QChar(code);
            if (m_at >= m_text.size())
                return false;
        }
        m_keep = m_item.size();
        return true;
    }

    QByteArrayView m_text;
    qsizetype m_at = 0;
    QStringDecoder m_utf8{QStringDecoder::Utf8};
    QStringList m_items;
    QString m_item;
    qsizetype m_keep = 0; // trailing blanks before this place stay
    bool m_isList = false;
    bool m_inQuotes = false;
    bool m_itemQuoted = false;
};

// The arguments of @Rect(...), @Size(...) and @Point(...) as QSettings takes them apart: a
// space ends an item, and so does a ')' without starting the next one, so a ')' inside the
// brackets adds an item or joins two.
QStringList arguments(const QString& text, qsizetype open)
{
    QStringList result;
    QString item;
    for (const QChar ch : QStringView(text).sliced(open + 1)) {
        if (ch == QLatin1Char(')') || ch == QLatin1Char(' '))
            result.append(item);
        if (ch == QLatin1Char(' '))
            item.clear();
        else if (ch != QLatin1Char(')'))
            item += ch;
    }
    return result;
}

// One string as a value: the @Type(...) forms give their type, "@@" stands for "@".
QVariant typed(const QString& text)
{
    if (!text.startsWith(QLatin1Char('@')))
        return text;
    if (text.endsWith(QLatin1Char(')'))) {
        if (text.startsWith(QLatin1String("@ByteArray(")))
            return text.sliced(11).chopped(1).toLatin1();
        if (text.startsWith(QLatin1String("@String(")))
            return text.sliced(8).chopped(1);
        const bool isDate = text.startsWith(QLatin1String("@DateTime("));
        if (isDate || text.startsWith(QLatin1String("@Variant("))) {
            QByteArray data = text.sliced(isDate ? 10 : 9).toLatin1();
            QDataStream stream(&data, QIODevice::ReadOnly);
            stream.setVersion(isDate ? QDataStream::Qt_5_6 : QDataStream::Qt_4_0);
            QVariant result;
            stream >> result;
            return result;
        }
        if (text.startsWith(QLatin1String("@Rect("))) {
            const QStringList n = arguments(text, 5);
            if (n.size() == 4)
                return QRect(n.at(0).toInt(), n.at(1).toInt(), n.at(2).toInt(), n.at(3).toInt());
        } else if (text.startsWith(QLatin1String("@Size("))) {
            const QStringList n = arguments(text, 5);
            if (n.size() == 2)
                return QSize(n.at(0).toInt(), n.at(1).toInt());
        } else if (text.startsWith(QLatin1String("@Point("))) {
            const QStringList n = arguments(text, 6);
            if (n.size() == 2)
                return QPoint(n.at(0).toInt(), n.at(1).toInt());
        } else if (text == QLatin1String("@Invalid()")) {
            return QVariant();
        }
    }
    return text.startsWith(QLatin1String("@@")) ? text.sliced(1) : text;
}

} // namespace

QString name(QByteArrayView text)
{
    const QString decoded = QString::fromUtf8(text);
    QString result;
    for (qsizetype i = 0; i < decoded.size(); ++i) {
        const QChar ch = decoded.at(i);
        if (ch == QLatin1Char('\\')) {
            result += QLatin1Char('/');
            continue;
        }
        const bool wide = i + 1 < decoded.size() && decoded.at(i + 1) == QLatin1Char('U');
        const qsizetype first = i + (wide ? 2 : 1);
        const qsizetype digits = wide ? 4 : 2;
        bool ok = ch == QLatin1Char('%') && first + digits <= decoded.size();
        const ushort code = ok ? QStringView(decoded).sliced(first, digits).toUShort(&ok, 16) : 0;
        if (!ok) {
            result += ch;
            continue;
        }
        result += QChar(char16_t(code));
        i = first + digits - 1;
    }
    return result;
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

QVariant value(QByteArrayView text)
{
    bool isList = false;
    QStringList items = ValueReader(text).items(isList);
    if (!isList)
        return typed(items.constFirst());
    // A list stays one of strings unless an item is of another type; then every item is
    // typed as it was read, "@@" and all.
    const bool typedList = std::any_of(items.cbegin(), items.cend(), [](const QString& item) {
        return item.startsWith(QLatin1Char('@')) && !item.startsWith(QLatin1String("@@"));
    });
    QVariantList values;
    for (QString& item : items) {
        if (typedList)
            values.append(typed(item));
        else if (item.startsWith(QLatin1Char('@')))
            item.remove(0, 1);
    }
    return typedList ? QVariant(values) : QVariant(items);
}

// Control characters, quotes and backslashes escaped, quoted where a separator or an outer
// space would otherwise be lost, a leading '@' doubled so it can't be taken for a type.
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
        const bool pair =
            QChar::isHighSurrogate(u) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
        quote = quote || u == ';' || u == ',' || u == '=';
        if (escapeHexDigit && u < 0x80 && isHexDigit(u)) {
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
        } else if (u < 0x20 || u == 0x7F || (QChar::isSurrogate(u) && !pair) || u == 0xFEFF) {
            // Half a surrogate pair has no UTF-8 form: as an escape it reads back as it was,
            // and the character after it is never taken along unescaped. A U+FEFF first in
            // what a reader decodes is dropped as a byte order mark, by QSettings too.
            out += "\\x" + QByteArray::number(u, 16);
            escapeHexDigit = true;
        } else {
            out += QStringView(text).sliced(i, pair ? 2 : 1).toUtf8();
            i += pair ? 1 : 0;
        }
    }
    if (quote || out.startsWith(' ') || out.endsWith(' '))
        out = '"' + out + '"';
    return out;
}

} // namespace IniText
