// Whatever arrives on the socket goes through LineAssembler and decodeStatusLine, so both
// must cope with any bytes in any receive sizes. The input is the byte stream plus, in its
// first bytes, the sizes of the receives it is cut into. Every result is checked against a
// plain reading of the same bytes written here from first principles.

#include "Lineprotocol.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

void require(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "fuzz_lineprotocol: %s\n", what);
        std::abort();
    }
}

bool isWhite(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// atol, saturated to 32 bits: the magnitude grows in 64 bits and stops just past what any
// 32-bit value needs, so the reference itself can never overflow.
std::int32_t referenceNumber(const char* p)
{
    while (isWhite(*p))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    constexpr std::int64_t cap = std::int64_t{1} << 32;
    std::int64_t magnitude = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        magnitude = std::min(cap, magnitude * 10 + (*p - '0'));
    const std::int64_t value = negative ? -magnitude : magnitude;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

const char* pastTokenAndSpace(const char* p)
{
    while (*p != '\0' && !isWhite(*p))
        ++p;
    while (isWhite(*p))
        ++p;
    return p;
}

// The lines a stream holds: every CR or LF ends one, each keeps its first LineLimit bytes,
// and a reader of the zero-terminated line sees it only up to its first NUL. The bytes after
// the last line end are the line still under way.
std::vector<std::string> referenceLines(const char* data, std::size_t size, std::size_t& pending)
{
    std::vector<std::string> lines;
    std::string current;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '\r' || data[i] == '\n') {
            lines.push_back(current.substr(0, current.find('\0')));
            current.clear();
        } else if (current.size() < static_cast<std::size_t>(LineLimit)) {
            current.push_back(data[i]);
        }
    }
    pending = current.size();
    return lines;
}

// A strict UTF-8 check (no overlong forms, no surrogates, nothing past U+10FFFF).
bool isUtf8(const QByteArray& bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const unsigned char* end = p + bytes.size();
    while (p < end) {
        const unsigned char lead = *p++;
        int more = 0;
        std::uint32_t code = 0;
        std::uint32_t least = 0;
        if (lead < 0x80) {
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            more = 1, code = lead & 0x1F, least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            more = 2, code = lead & 0x0F, least = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            more = 3, code = lead & 0x07, least = 0x10000;
        } else {
            return false;
        }
        if (end - p < more)
            return false;
        for (int i = 0; i < more; ++i, ++p) {
            if ((*p & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (*p & 0x3F);
        }
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
    }
    return true;
}

void checkTitle(const char* line, const StatusLine& status)
{
    const char* p = pastTokenAndSpace(line);
    if (*p == '"')
        ++p;
    const char* end = std::strrchr(p, '"');
    const std::size_t length = end != nullptr ? static_cast<std::size_t>(end - p) : std::strlen(p);
    require(status.title == QByteArray(p, static_cast<qsizetype>(length)),
            "title differs from the reference reading");
    require(status.title.size() <= LineLimit, "title longer than a line");

    const QString shown = titleText(status.title);
    if (isUtf8(status.title)) {
        // The decoder drops a byte order mark at the very start. U+FEFF has no width, so the
        // label looks the same with or without it; every other character must survive.
        const QByteArray bom("\xEF\xBB\xBF");
        const QByteArray sent = status.title.startsWith(bom) ? status.title.mid(3) : status.title;
        const QByteArray back = shown.toUtf8();
        require(back == status.title || back == sent, "valid UTF-8 title not shown as sent");
    } else {
        require(shown == QString::fromLatin1(status.title), "other title not shown per byte");
    }
}

void checkValues(const char* line, const StatusLine& status)
{
    const char* p = line;
    for (const std::int32_t value : status.values) {
        p = pastTokenAndSpace(p);
        require(value == referenceNumber(p), "value differs from the reference reading");
    }
    char expected[64];
    std::snprintf(expected, sizeof expected, "%02d:%02d:%02d", status.values[0], status.values[1],
                  status.values[2]);
    require(formatTime(status.values[0], status.values[1], status.values[2]) ==
                QLatin1String(expected),
            "formatted time differs from printf");
}

void checkLine(const char* handedOut)
{
    const std::size_t length = std::strlen(handedOut);
    require(length <= static_cast<std::size_t>(LineLimit), "line longer than the limit");
    require(std::strpbrk(handedOut, "\r\n") == nullptr, "line holds a line end");

    // An exact-size heap copy: a decoder that reads past the terminator trips ASan.
    const auto line = std::make_unique<char[]>(length + 1);
    std::memcpy(line.get(), handedOut, length + 1);
    const StatusLine status = decodeStatusLine(line.get());

    switch (referenceNumber(line.get())) {
    case STATUS_TITLE:
        require(status.kind == StatusLine::Title, "303 line not read as a title");
        checkTitle(line.get(), status);
        break;
    case STATUS_TIME:
        require(status.kind == StatusLine::Time, "304 line not read as a time");
        checkValues(line.get(), status);
        break;
    case STATUS_MODE:
        require(status.kind == StatusLine::Mode, "305 line not read as a mode");
        checkValues(line.get(), status);
        break;
    default:
        require(status.kind == StatusLine::Ignored, "other code not ignored");
        require(status.title.isEmpty(), "ignored line has a title");
        require(status.values == (std::array<qint32, 3>{0, 0, 0}), "ignored line has values");
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    // The first byte says how many of the following bytes are receive sizes; they are used
    // in turn, over and over, until the stream is used up. A size of 0 is an empty receive.
    const std::size_t sizeCount = std::min<std::size_t>(data[0] % 8, size - 1);
    const std::uint8_t* sizes = data + 1;
    const char* stream = reinterpret_cast<const char*>(data + 1 + sizeCount);
    const std::size_t streamSize = size - 1 - sizeCount;

    std::size_t expectedPending = 0;
    const std::vector<std::string> expected = referenceLines(stream, streamSize, expectedPending);

    LineAssembler whole;
    std::vector<std::string> wholeLines;
    whole.feed(stream, streamSize, [&](const char* line) {
        checkLine(line);
        wholeLines.emplace_back(line);
    });
    require(wholeLines == expected, "lines differ from the reference split");
    require(static_cast<std::size_t>(whole.pendingCount()) == expectedPending,
            "pending count differs from the reference");

    if (std::count(sizes, sizes + sizeCount, std::uint8_t{0}) == std::ptrdiff_t(sizeCount))
        return 0; // no usable receive sizes: only the whole stream
    LineAssembler chunked;
    std::vector<std::string> chunkedLines;
    std::size_t offset = 0;
    for (std::size_t turn = 0; offset < streamSize; ++turn) {
        const std::size_t chunk =
            std::min<std::size_t>(sizes[turn % sizeCount], streamSize - offset);
        // Each receive is its own exact-size buffer, as a fresh recv() would leave it.
        const auto received = std::make_unique<char[]>(chunk);
        std::memcpy(received.get(), stream + offset, chunk);
        chunked.feed(received.get(), chunk,
                     [&](const char* line) { chunkedLines.emplace_back(line); });
        offset += chunk;
    }
    require(chunkedLines == wholeLines, "receive sizes changed the lines");
    require(chunked.pendingCount() == whole.pendingCount(), "receive sizes changed the rest");
    return 0;
}
