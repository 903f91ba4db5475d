#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>

// The audio server's wire format: one-word commands out, numbered status lines in.

inline constexpr quint16 LinkPort = 1966;

enum class Command
{
    Prev,
    Play,
    Stop,
    Next,
    Shuffle
};

// The bytes sent for a command: a lower-case word and a line feed.
QByteArray commandBytes(Command command);

enum StatusCode
{
    STATUS_TITLE = 303,
    STATUS_TIME = 304,
    STATUS_MODE = 305
};

// Characters kept of one status line; the rest of a longer line is dropped.
inline constexpr int LineLimit = 1024;

// Splits a received byte stream into lines. CR and LF each end a line, so CR LF yields the
// line and then an empty one. A line survives across receives (and across reconnects).
class LineAssembler final
{
public:
    template <typename OnLine> void feed(const char* data, std::size_t size, OnLine&& onLine)
    {
        const char* const end = data + size;
        while (data < end) {
            const char* lineEnd = data;
            while (lineEnd < end && *lineEnd != '\r' && *lineEnd != '\n') {
                ++lineEnd;
            }
            // Whole runs at a time; what passes the limit is dropped up to the line's end.
            const std::size_t room = static_cast<std::size_t>(LineLimit - m_count);
            const std::size_t run = std::min(room, static_cast<std::size_t>(lineEnd - data));
            std::memcpy(m_buffer.data() + m_count, data, run);
            m_count += static_cast<int>(run);
            if (lineEnd == end) {
                return;
            }
            m_buffer[m_count] = '\0';
            onLine(static_cast<const char*>(m_buffer.data()));
            m_count = 0;
            data = lineEnd + 1;
        }
    }

    int pendingCount() const { return m_count; }

private:
    std::array<char, LineLimit + 1> m_buffer{};
    int m_count = 0;
};

// atol-style reading: leading white space, an optional sign, digits; no digits reads as 0.
// Values beyond 32 bits are clamped rather than left to overflow.
qint32 readNumber(const char* p);

struct StatusLine
{
    enum Kind
    {
        Ignored,
        Title,
        Time,
        Mode
    };
    Kind kind = Ignored;
    QByteArray title;                      // Title: the payload without its enclosing quotes
    std::array<qint32, 3> values{0, 0, 0}; // Time: h, m, s; Mode: three mode values
};

// Decodes one complete line. A NUL byte ends what is seen of it.
StatusLine decodeStatusLine(const char* line);

// The server sends bytes, not a declared encoding: valid UTF-8 is shown as such, anything
// else one character per byte.
QString titleText(const QByteArray& bytes);

// "%02d:%02d:%02d", wider or negative values printed in full.
QString formatTime(qint32 hours, qint32 minutes, qint32 seconds);
