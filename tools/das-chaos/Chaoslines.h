#pragma once

#include <QByteArray>
#include <QList>
#include <QtGlobal>

class QRandomGenerator;

// The bytes das-chaos sends. Everything random comes from the caller's seeded generator, so
// a run with the same seed sends the same lines.
namespace ChaosLines {

// Length of a huge line, line end excluded.
inline constexpr int HugeBytes = 1024 * 1024;

QByteArray titleLine(const QByteArray& title);
QByteArray timeLine(quint64 seconds);
QByteArray modeLine(bool shuffle);

// Title, time and mode lines in turn, at least `bytes` long; adds the lines made to *lines.
QByteArray floodBatch(quint64* serial, int bytes, int* lines);

// A line of HugeBytes: a title, a time with a million-digit number, or no known code at all,
// mixing ASCII with two-byte UTF-8 and the odd broken sequence. Ended by CR or LF, or not at
// all, so the next line (or the end of the connection) runs on from it.
QByteArray hugeLine(QRandomGenerator& random, bool ended);

// A short line, always ended, whose payload holds NUL bytes and bytes of 128 and above.
QByteArray binaryLine(QRandomGenerator& random);

// Cuts bytes into pieces of 1 to 7 bytes at random points.
QList<QByteArray> cutPieces(const QByteArray& bytes, QRandomGenerator& random);

// The first part of a title line, cut somewhere before its end, never including a line end.
QByteArray partialLine(const QByteArray& title, QRandomGenerator& random);

} // namespace ChaosLines
