#include "Lineprotocol.h"
#include "Strutil.h"

#include <QTest>

#include <limits>
#include <string>
#include <vector>

Q_DECLARE_METATYPE(StatusLine::Kind)

namespace {

std::vector<std::string> assemble(const std::vector<QByteArray>& receives, LineAssembler& assembler)
{
    std::vector<std::string> lines;
    for (const QByteArray& chunk : receives) {
        assembler.feed(chunk.constData(), static_cast<std::size_t>(chunk.size()),
                       [&](const char* line) { lines.emplace_back(line); });
    }
    return lines;
}

std::vector<std::string> assemble(const std::vector<QByteArray>& receives)
{
    LineAssembler assembler;
    return assemble(receives, assembler);
}

} // namespace

class TestLineProtocol final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void skipTokenAndSpace()
    {
        const char text[] = "303 \t\v\f\r\n\"x\"";
        const char* afterCode = SkipToken(text);
        QCOMPARE(afterCode - text, 3);
        QCOMPARE(SkipSpace(afterCode) - text, 9);
        // Both stop at the end of the string, never past it.
        const char empty[] = "";
        QCOMPARE(SkipToken(empty), empty);
        QCOMPARE(SkipSpace(empty), empty);
        const char spaces[] = "   ";
        QCOMPARE(SkipSpace(spaces), spaces + 3);
        QCOMPARE(SkipToken(spaces), spaces);
    }

    void highBytesAreNeverWhiteSpace()
    {
        // 0xA0 is a space in Latin-1 and 0x85 a line end in some locales: not here.
        for (int byte = 128; byte < 256; ++byte) {
            const char text[] = {static_cast<char>(byte), ' ', '\0'};
            QVERIFY2(!isAsciiSpace(text[0]), qPrintable(QString::number(byte)));
            QCOMPARE(SkipToken(text), text + 1);
            QCOMPARE(SkipSpace(text), text);
        }
    }

    void readNumber_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<qint32>("value");
        QTest::newRow("plain") << QByteArray("304") << 304;
        QTest::newRow("leading space") << QByteArray(" \t42x") << 42;
        QTest::newRow("plus") << QByteArray("+7") << 7;
        QTest::newRow("minus") << QByteArray("-1") << -1;
        QTest::newRow("no digits") << QByteArray("abc") << 0;
        QTest::newRow("sign only") << QByteArray("-") << 0;
        QTest::newRow("empty") << QByteArray("") << 0;
        QTest::newRow("largest") << QByteArray("2147483647") << std::numeric_limits<qint32>::max();
        QTest::newRow("smallest") << QByteArray("-2147483648")
                                  << std::numeric_limits<qint32>::min();
        QTest::newRow("too wide") << QByteArray("2147483648") << std::numeric_limits<qint32>::max();
        QTest::newRow("too wide negative")
            << QByteArray("-99999999999999999999999") << std::numeric_limits<qint32>::min();
        QTest::newRow("many digits") << QByteArray(400, '9') << std::numeric_limits<qint32>::max();
    }

    void readNumber()
    {
        QFETCH(QByteArray, text);
        QFETCH(qint32, value);
        QCOMPARE(::readNumber(text.constData()), value);
    }

    void linesEndAtCrAndLf()
    {
        const auto lines = assemble({QByteArray("304 1 2 3\r\n305 0 0 1\n")});
        const std::vector<std::string> expected{"304 1 2 3", "", "305 0 0 1"};
        QCOMPARE(lines, expected);
    }

    void lineSurvivesSplitReceives()
    {
        LineAssembler assembler;
        QVERIFY(assemble({QByteArray("30")}, assembler).empty());
        QCOMPARE(assembler.pendingCount(), 2);
        const auto lines = assemble({QByteArray("4 0 0 7\n")}, assembler);
        QCOMPARE(lines, std::vector<std::string>{"304 0 0 7"});
        QCOMPARE(assembler.pendingCount(), 0);
    }

    void overlongLineKeepsItsFirst1024()
    {
        QByteArray longLine = "303 \"" + QByteArray(2995, 'a');
        QCOMPARE(longLine.size(), 3000);
        const auto lines = assemble({longLine + '\n', QByteArray("304 1 2 3\n")});
        QCOMPARE(lines.size(), std::size_t(2));
        QCOMPARE(lines[0], longLine.left(LineLimit).toStdString());
        QCOMPARE(lines[1], std::string("304 1 2 3"));
    }

    void nulByteCutsWhatTheDecoderSees()
    {
        const QByteArray stream("304 1 2\0 9 junk\n", 16);
        const auto lines = assemble({stream});
        QCOMPARE(lines.size(), std::size_t(1));
        const StatusLine status = decodeStatusLine(lines[0].c_str());
        QCOMPARE(status.kind, StatusLine::Time);
        QCOMPARE(status.values, (std::array<qint32, 3>{1, 2, 0}));
    }

    void titles_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("title");
        QTest::newRow("quoted") << QByteArray("303 \"Hello\"") << QByteArray("Hello");
        QTest::newRow("unquoted") << QByteArray("303 Hello") << QByteArray("Hello");
        QTest::newRow("inner quotes kept")
            << QByteArray("303 \"The \"Blue\" Hour\"") << QByteArray("The \"Blue\" Hour");
        QTest::newRow("no closing quote") << QByteArray("303 \"Open") << QByteArray("Open");
        QTest::newRow("text after the last quote")
            << QByteArray("303 \"A\" tail") << QByteArray("A");
        QTest::newRow("leading space makes the code part of it")
            << QByteArray(" 303 \"x\"") << QByteArray("303 \"x");
        QTest::newRow("code alone") << QByteArray("303") << QByteArray();
        QTest::newRow("lone quote") << QByteArray("303 \"") << QByteArray();
        QTest::newRow("glued to the code") << QByteArray("303\"x\"") << QByteArray();
    }

    void titles()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, title);
        const StatusLine status = decodeStatusLine(line.constData());
        QCOMPARE(status.kind, StatusLine::Title);
        QCOMPARE(status.title, title);
    }

    void values_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<StatusLine::Kind>("kind");
        QTest::addColumn<qint32>("first");
        QTest::addColumn<qint32>("second");
        QTest::addColumn<qint32>("third");
        QTest::newRow("time") << QByteArray("304 1 2 3") << StatusLine::Time << 1 << 2 << 3;
        QTest::newRow("one value") << QByteArray("304 5") << StatusLine::Time << 5 << 0 << 0;
        QTest::newRow("wide and negative")
            << QByteArray("304 100 0 -1") << StatusLine::Time << 100 << 0 << -1;
        QTest::newRow("not a number still counts")
            << QByteArray("304 x 2 3") << StatusLine::Time << 0 << 2 << 3;
        QTest::newRow("extra ignored")
            << QByteArray("304 1 2 3 4 5") << StatusLine::Time << 1 << 2 << 3;
        QTest::newRow("tabs and runs of space")
            << QByteArray("304\t 1  \t2\v3") << StatusLine::Time << 1 << 2 << 3;
        QTest::newRow("clamped") << QByteArray("304 99999999999 -99999999999 0") << StatusLine::Time
                                 << std::numeric_limits<qint32>::max()
                                 << std::numeric_limits<qint32>::min() << 0;
        QTest::newRow("shuffle on") << QByteArray("305 0 0 1") << StatusLine::Mode << 0 << 0 << 1;
        QTest::newRow("shuffle off") << QByteArray("305 1 1 0") << StatusLine::Mode << 1 << 1 << 0;
        QTest::newRow("code after space")
            << QByteArray("  305 0 0 1") << StatusLine::Mode << 305 << 0 << 0;
    }

    void values()
    {
        QFETCH(QByteArray, line);
        QFETCH(StatusLine::Kind, kind);
        QFETCH(qint32, first);
        QFETCH(qint32, second);
        QFETCH(qint32, third);
        const StatusLine status = decodeStatusLine(line.constData());
        QCOMPARE(status.kind, kind);
        QCOMPARE(status.values, (std::array<qint32, 3>{first, second, third}));
    }

    void otherLinesAreIgnored_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("empty") << QByteArray("");
        QTest::newRow("other code") << QByteArray("200 OK");
        QTest::newRow("words") << QByteArray("hello 303");
        QTest::newRow("code with suffix digits") << QByteArray("3031 \"x\"");
        QTest::newRow("negative code") << QByteArray("-303 \"x\"");
    }

    void otherLinesAreIgnored()
    {
        QFETCH(QByteArray, line);
        QCOMPARE(decodeStatusLine(line.constData()).kind, StatusLine::Ignored);
    }

    void titleText_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("ascii") << QByteArray("Hello") << QStringLiteral("Hello");
        QTest::newRow("utf-8") << QByteArray("Caf\xc3\xa9 \xce\xbb") << QStringLiteral(u"Café λ");
        QTest::newRow("latin-1 byte by byte") << QByteArray("Caf\xe9") << QStringLiteral(u"Café");
        QTest::newRow("broken utf-8 sequence") << QByteArray("\xc3(") << QStringLiteral(u"Ã(");
        QTest::newRow("byte order mark kept")
            << QByteArray("\xef\xbb\xbfTitle") << QStringLiteral(u"\ufeffTitle");
        QTest::newRow("cut utf-8 at the line limit")
            << QByteArray("ab\xe2\x82") << QStringLiteral(u"ab\u00e2\u0082");
    }

    void titleText()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(::titleText(bytes), text);
    }

    void formatTime()
    {
        QCOMPARE(::formatTime(1, 2, 3), QStringLiteral("01:02:03"));
        QCOMPARE(::formatTime(100, 0, -1), QStringLiteral("100:00:-1"));
        QCOMPARE(::formatTime(std::numeric_limits<qint32>::min(), 0, 0),
                 QStringLiteral("-2147483648:00:00"));
    }
};

QTEST_GUILESS_MAIN(TestLineProtocol)
#include "tst_lineprotocol.moc"
