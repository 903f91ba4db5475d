// What the store makes of what it can't take as it is: names, long strings, other kinds of
// values, a store that can't be made.
#include "Settings.h"
#include "Tempsettings.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <memory>

namespace {

const QString storeName = QStringLiteral("QXBrindora");

QByteArray general(const QByteArray& lines)
{
    return QByteArrayLiteral("[General]\n") + lines;
}

} // namespace

class TestSettingsValues final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void unusableNameOpensNothing_data();
    void unusableNameOpensNothing();
    void longStringIsCutToTheBuffer_data();
    void longStringIsCutToTheBuffer();
    void integerReadOfOtherKinds_data();
    void integerReadOfOtherKinds();
    void stringReadOfOtherKinds_data();
    void stringReadOfOtherKinds();
    void storeThatCannotBeCreatedGivesDefaults();

private:
    std::unique_ptr<TempSettings> m_temp;
};

void TestSettingsValues::init()
{
    m_temp = std::make_unique<TempSettings>(storeName);
    QVERIFY(m_temp->isValid());
}

void TestSettingsValues::cleanup()
{
    m_temp.reset();
}

void TestSettingsValues::unusableNameOpensNothing_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("empty") << QString();
    QTest::newRow("239 characters") << QString(239, QLatin1Char('n'));
    QTest::newRow("a path") << QStringLiteral("../QXBrindora");
    QTest::newRow("a registry path") << QStringLiteral("Other\\QXBrindora");
}

void TestSettingsValues::unusableNameOpensNothing()
{
    QFETCH(QString, name);
    SettingsKey key;
    QVERIFY(!OpenSettings(key, name));
    QCOMPARE(key.disposition, int(SettingsUnavailable));
    QCOMPARE(ReadSettingInt(key, QStringLiteral("viewertop"), 384), 384);
    QString host = QStringLiteral("x");
    ReadSettingString(key, QStringLiteral("hostname"), QStringLiteral("dflt"), host, 1024);
    QCOMPARE(host, QStringLiteral("dflt"));
    WriteSettingInt(key, QStringLiteral("viewertop"), 1);
    CloseSettings(key);

    // Nothing was created anywhere under the configuration folder.
    QCOMPARE(QDir(m_temp->configHome()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             QStringList());
}

void TestSettingsValues::longStringIsCutToTheBuffer_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("expected");

    const QString longHost(2000, QLatin1Char('h'));
    QTest::newRow("fits exactly") << QString(1023, QLatin1Char('h')) << 1024
                                  << QString(1023, QLatin1Char('h'));
    QTest::newRow("too long") << longHost << 1024 << QString(1023, QLatin1Char('h'));
    QTest::newRow("room for one") << QStringLiteral("abc") << 2 << QStringLiteral("a");
    QTest::newRow("room for none") << QStringLiteral("abc") << 1 << QString();
    QTest::newRow("no buffer") << QStringLiteral("abc") << 0 << QString();
    // U+1F3B5 takes two UTF-16 units; half of it is not a character.
    QTest::newRow("surrogate pair at the cut")
        << QStringLiteral("ab\U0001F3B5") << 4 << QStringLiteral("ab");
    // Half a pair is written escaped, never with the next character as its other half.
    const QString halves =
        QString::fromUtf16(u"\xD800\nhidetask_usepassword=0\xD800\x01\xDC00\xD800");
    QTest::newRow("halves of surrogate pairs") << halves << 1024 << halves;
}

void TestSettingsValues::longStringIsCutToTheBuffer()
{
    QFETCH(QString, stored);
    QFETCH(int, size);
    QFETCH(QString, expected);

    SettingsKey key;
    QVERIFY(OpenSettings(key, storeName));
    WriteSettingString(key, QStringLiteral("hostname"), stored);
    CloseSettings(key);

    QVERIFY(OpenSettings(key, storeName));
    QString buffer;
    ReadSettingString(key, QStringLiteral("hostname"), QString(), buffer, size);
    QCOMPARE(buffer, expected);
    // The default is held to the same size.
    ReadSettingString(key, QStringLiteral("absent"), stored, buffer, size);
    QCOMPARE(buffer, expected);
}

void TestSettingsValues::integerReadOfOtherKinds_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<int>("expected"); // the default is -1

    QTest::newRow("number") << QByteArray("42") << 42;
    QTest::newRow("spaces and sign") << QByteArray(" +42 ") << 42;
    QTest::newRow("negative") << QByteArray("-7") << -7;
    QTest::newRow("largest") << QByteArray("2147483647") << 2147483647;
    QTest::newRow("smallest") << QByteArray("-2147483648") << -2147483647 - 1;
    QTest::newRow("one above") << QByteArray("2147483648") << -1;
    QTest::newRow("one below") << QByteArray("-2147483649") << -1;
    QTest::newRow("unsigned 32-bit") << QByteArray("4294967295") << -1;
    QTest::newRow("beyond 64 bits") << QByteArray("99999999999999999999") << -1;
    QTest::newRow("word") << QByteArray("abc") << -1;
    QTest::newRow("number then word") << QByteArray("12abc") << -1;
    QTest::newRow("fraction") << QByteArray("3.5") << -1;
    QTest::newRow("hexadecimal") << QByteArray("0x10") << -1;
    QTest::newRow("empty") << QByteArray("") << -1;
    QTest::newRow("list") << QByteArray("1, 2") << -1;
    QTest::newRow("point") << QByteArray("@Point(1 2)") << -1;
    QTest::newRow("invalid") << QByteArray("@Invalid()") << -1;
}

void TestSettingsValues::integerReadOfOtherKinds()
{
    QFETCH(QByteArray, raw);
    QFETCH(int, expected);
    QVERIFY(m_temp->writeRaw(general("viewertop=" + raw + "\n")));

    SettingsKey key;
    QVERIFY(OpenSettings(key, storeName));
    QCOMPARE(ReadSettingInt(key, QStringLiteral("viewertop"), -1), expected);
}

void TestSettingsValues::stringReadOfOtherKinds_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QString>("expected"); // the default is "dflt"

    QTest::newRow("number") << QByteArray("42") << QStringLiteral("42");
    QTest::newRow("unquoted list") << QByteArray("a,b") << QStringLiteral("a,b");
    QTest::newRow("bytes") << QByteArray("@ByteArray(xyz)") << QStringLiteral("xyz");
    QTest::newRow("point") << QByteArray("@Point(1 2)") << QStringLiteral("dflt");
    QTest::newRow("invalid") << QByteArray("@Invalid()") << QStringLiteral("dflt");
    QTest::newRow("empty") << QByteArray("") << QString();
    QTest::newRow("list with a NUL") << QByteArray("a\\0b, c") << QString::fromUtf8("a\0b,c", 5);
}

void TestSettingsValues::stringReadOfOtherKinds()
{
    QFETCH(QByteArray, raw);
    QFETCH(QString, expected);
    QVERIFY(m_temp->writeRaw(general("hostname=" + raw + "\n")));

    SettingsKey key;
    QVERIFY(OpenSettings(key, storeName));
    QString buffer;
    ReadSettingString(key, QStringLiteral("hostname"), QStringLiteral("dflt"), buffer, 1024);
    QCOMPARE(buffer, expected);

    // Saving another value writes this one back in QSettings' own form; it must read the same.
    WriteSettingInt(key, QStringLiteral("viewertop"), 5);
    CloseSettings(key);
    QVERIFY(OpenSettings(key, storeName));
    ReadSettingString(key, QStringLiteral("hostname"), QStringLiteral("dflt"), buffer, 1024);
    QCOMPARE(buffer, expected);
}

void TestSettingsValues::storeThatCannotBeCreatedGivesDefaults()
{
    // A file where the configuration folder should be: no folder can be made below it.
    QVERIFY(QDir(m_temp->configHome()).removeRecursively());
    QFile blocker(m_temp->configHome());
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.write("not a folder");
    blocker.close();

    SettingsKey key;
    QVERIFY(!OpenSettings(key, storeName));
    QCOMPARE(ReadSettingInt(key, QStringLiteral("viewertop"), 384), 384);
    QString host;
    ReadSettingString(key, QStringLiteral("hostname"), QStringLiteral("dflt"), host, 1024);
    QCOMPARE(host, QStringLiteral("dflt"));
    WriteSettingString(key, QStringLiteral("hostname"), QStringLiteral("lost"));
    CloseSettings(key);

    QVERIFY(blocker.open(QIODevice::ReadOnly));
    QCOMPARE(blocker.readAll(), QByteArray("not a folder"));
}

QTEST_GUILESS_MAIN(TestSettingsValues)
#include "tst_settingsvalues.moc"
