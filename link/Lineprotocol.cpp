#include "Lineprotocol.h"

#include "Strutil.h"

#include <QStringDecoder>

#include <cstring>
#include <limits>

QByteArray commandBytes(Command command)
{
    switch (command) {
    case Command::Prev:
        return QByteArrayLiteral("prev\n");
    case Command::Play:
        return QByteArrayLiteral("play\n");
    case Command::Stop:
        return QByteArrayLiteral("stop\n");
    case Command::Next:
        return QByteArrayLiteral("next\n");
    case Command::Shuffle:
        return QByteArrayLiteral("shuffle\n");
    }
    return {};
}

qint32 readNumber(const char* p)
{
    p = SkipSpace(p);
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    // Accumulate as a negative number so INT32_MIN is reachable without overflow.
    constexpr qint64 floor = std::numeric_limits<qint32>::min();
    qint64 value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (value > floor) {
            value = value * 10 - (*p - '0');
        }
    }
    if (value < floor) {
        value = floor;
    }
    if (!negative) {
        value = value == floor ? std::numeric_limits<qint32>::max() : -value;
    }
    return static_cast<qint32>(value);
}

namespace {

QByteArray decodeTitle(const char* line)
{
    // The first token is skipped from the very first character: a line that starts with
    // white space has an empty first token, so the code itself becomes part of the title.
    const char* p = SkipSpace(SkipToken(line));
    if (*p == '"') {
        ++p;
    }
    const char* end = std::strrchr(p, '"');
    if (end == nullptr) {
        end = p + std::strlen(p);
    }
    return QByteArray(p, static_cast<qsizetype>(end - p));
}

std::array<qint32, 3> decodeThreeValues(const char* line)
{
    std::array<qint32, 3> values{};
    const char* p = line;
    for (qint32& value : values) {
        p = SkipSpace(SkipToken(p));
        value = readNumber(p);
    }
    return values;
}

} // namespace

StatusLine decodeStatusLine(const char* line)
{
    StatusLine status;
    switch (readNumber(line)) {
    case STATUS_TITLE:
        status.kind = StatusLine::Title;
        status.title = decodeTitle(line);
        break;
    case STATUS_TIME:
        status.kind = StatusLine::Time;
        status.values = decodeThreeValues(line);
        break;
    case STATUS_MODE:
        status.kind = StatusLine::Mode;
        status.values = decodeThreeValues(line);
        break;
    default:
        break;
    }
    return status;
}

QString titleText(const QByteArray& bytes)
{
    // A byte order mark is part of what the server sent, so it stays.
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) {
        return text;
    }
    return QString::fromLatin1(bytes);
}

QString formatTime(qint32 hours, qint32 minutes, qint32 seconds)
{
    return QString::asprintf("%02d:%02d:%02d", hours, minutes, seconds);
}
