#include "Chaoslines.h"

#include <QRandomGenerator>

#include <iterator>

namespace ChaosLines {

QByteArray titleLine(const QByteArray& title)
{
    return "303 \"" + title + "\"\n";
}

QByteArray timeLine(quint64 seconds)
{
    return "304 " + QByteArray::number(seconds / 3600) + ' ' +
           QByteArray::number(seconds / 60 % 60) + ' ' + QByteArray::number(seconds % 60) + '\n';
}

QByteArray modeLine(bool shuffle)
{
    return shuffle ? QByteArrayLiteral("305 0 0 1\n") : QByteArrayLiteral("305 0 0 0\n");
}

QByteArray floodBatch(quint64* serial, int bytes, int* lines)
{
    QByteArray batch;
    batch.reserve(bytes + 64);
    while (batch.size() < bytes) {
        const quint64 n = (*serial)++;
        switch (n % 3) {
        case 0:
            batch += titleLine("Flood " + QByteArray::number(n / 3));
            break;
        case 1:
            batch += timeLine(n / 3);
            break;
        default:
            batch += modeLine(n / 3 % 2 != 0);
            break;
        }
        ++*lines;
    }
    return batch;
}

QByteArray hugeLine(QRandomGenerator& random, bool ended)
{
    static const QByteArray prefixes[] = {"303 \"", "303 ", "304 ", "305 0 0 ", "999 ", "x"};
    QByteArray line = prefixes[random.bounded(int(std::size(prefixes)))];
    const bool digits = line.startsWith("304") || line.startsWith("305");

    // One random stretch repeated: cheap to build, and still no two lines alike.
    QByteArray stretch;
    for (int i = 0; i < 61; ++i) {
        const quint32 pick = random.bounded(20);
        if (digits) {
            stretch += char('0' + random.bounded(10));
        } else if (pick == 0) {
            stretch += "\xc3\xa9"; // é
        } else if (pick == 1) {
            stretch += '\xc3'; // the first byte of a sequence that never ends
        } else if (pick == 2) {
            stretch += '"';
        } else {
            stretch += char('a' + random.bounded(26));
        }
    }
    line.reserve(HugeBytes + 1);
    while (line.size() < HugeBytes) {
        line += stretch;
    }
    line.truncate(HugeBytes);
    if (ended) {
        line += random.bounded(2) == 0 ? '\n' : '\r';
    }
    return line;
}

QByteArray binaryLine(QRandomGenerator& random)
{
    static const QByteArray prefixes[] = {"303 \"", "303 ", "304 ", "305 ", "\0", "\xff"};
    QByteArray line = prefixes[random.bounded(int(std::size(prefixes)))];
    if (line.isEmpty()) {
        line += '\0';
    }
    const int length = 1 + int(random.bounded(1500));
    for (int i = 0; i < length; ++i) {
        const quint32 pick = random.bounded(8);
        if (pick == 0) {
            line += '\0';
        } else if (pick < 4) {
            line += char(128 + random.bounded(128));
        } else {
            char b = char(random.bounded(128));
            // Line ends belong at the end only.
            if (b == '\r' || b == '\n') {
                b = '\0';
            }
            line += b;
        }
    }
    if (line.startsWith("303 \"")) {
        line += '"';
    }
    line += random.bounded(2) == 0 ? '\n' : '\r';
    return line;
}

QList<QByteArray> cutPieces(const QByteArray& bytes, QRandomGenerator& random)
{
    QList<QByteArray> pieces;
    qsizetype at = 0;
    while (at < bytes.size()) {
        const qsizetype length = 1 + qsizetype(random.bounded(7));
        pieces.append(bytes.mid(at, length));
        at += length;
    }
    return pieces;
}

QByteArray partialLine(const QByteArray& title, QRandomGenerator& random)
{
    const QByteArray line = titleLine(title);
    // Never the line feed at the end: the line must stay open.
    return line.left(1 + qsizetype(random.bounded(int(line.size()) - 1)));
}

} // namespace ChaosLines
