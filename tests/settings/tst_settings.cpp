// The store's rules as callers see them: defaults and the disposition, fresh reads, saves.
#include "Settings.h"
#include "Tempsettings.h"

#include <QDateTime>
#include <QFile>
#include <QLibraryInfo>
#include <QSettings>
#include <QtTest>

#include <memory>

namespace {

const QString storeName = QStringLiteral("QXBrindora");

QByteArray general(const QByteArray& lines)
{
    return QByteArrayLiteral("[General]\n") + lines;
}

} // namespace

class TestSettings final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void freshAccountStoresTheDefaultOfARead();
    void existingStoreLeavesAnAbsentValueAbsent();
    void writtenTextIsStoredAsAString();

    void onlyTheFirstOpenCreatesTheStore();
    void readsOfANewStoreStoreTheirDefaults();
    void readsOfAnExistingStoreGiveStoredValuesAndWriteNothing();
    void writesReachTheStoreWhenTheKeyCloses();
    void aKeyLeftOpenStillSaves();
    void stringDefaultMayBeTheBuffer_data();
    void stringDefaultMayBeTheBuffer();
    void everyOpenReadsTheStoreAfresh();
    void aSaveKeepsAnotherWritersChange();
    void systemWideAndOrganisationValuesDoNotLeak();

private:
    std::unique_ptr<TempSettings> m_temp;
};

void TestSettings::init()
{
    m_temp = std::make_unique<TempSettings>(storeName);
    QVERIFY(m_temp->isValid());
}

void TestSettings::cleanup()
{
    m_temp.reset();
}

void TestSettings::freshAccountStoresTheDefaultOfARead()
{
    SettingsKey key;
    QVERIFY(OpenSettings(key, storeName));
    QCOMPARE(ReadSettingInt(key, QStringLiteral("viewertop"), 384), 384);
    CloseSettings(key);

    QVariantMap stored;
    QVERIFY(m_temp->readStore(stored));
    QCOMPARE(stored, QVariantMap({{QStringLiteral("viewertop"), QStringLiteral("384")}}));
}

void TestSettings::existingStoreLeavesAnAbsentValueAbsent()
{
    const QByteArray before = general("viewertop=10\n");
    QVERIFY(m_temp->writeRaw(before));

    SettingsKey key;
    QVERIFY(OpenSettings(key, storeName));
    QString host = QStringLiteral("stale");
    ReadSettingString(key, QStringLiteral("hostname"), QString(), host, 1024);
    QCOMPARE(host, QString());
    CloseSettings(key);

    QCOMPARE(m_temp->readRaw(), before);
}

void TestSettings::writtenTextIsStoredAsAString()
{
    SettingsKey key;
    QVERIFY(OpenSettings(key, storeName));
    WriteSettingString(key, QStringLiteral("hostname"), QStringLiteral("abc"));
    CloseSettings(key);

    QVERIFY(m_temp->readRaw().contains("\nhostname=abc\n"));
    QVariantMap stored;
    QVERIFY(m_temp->readStore(stored));
    QCOMPARE(stored.value(QStringLiteral("hostname")).typeId(), QMetaType::QString);
    QCOMPARE(stored.value(QStringLiteral("hostname")).toString(), QStringLiteral("abc"));
}

void TestSettings::onlyTheFirstOpenCreatesTheStore()
{
    SettingsKey key;
    QVERIFY(OpenSettings(key, storeName));
    QCOMPARE(key.disposition, int(SettingsCreated));
    CloseSettings(key);
    // Opened and closed without a read: the store exists all the same, empty.
    QVERIFY(m_temp->storeExists());
    QCOMPARE(m_temp->readRaw(), QByteArray());

    QVERIFY(OpenSettings(key, storeName));
    QCOMPARE(key.disposition, int(SettingsExisted));
    QCOMPARE(ReadSettingInt(key, QStringLiteral("viewertop"), 7), 7);
    CloseSettings(key);
    QCOMPARE(m_temp->readRaw(), QByteArray());
}

void TestSettings::readsOfANewStoreStoreTheirDefaults()
{
    SettingsKey key;
    QVERIFY(OpenSettings(key, storeName));
    QCOMPARE(ReadSettingInt(key, QStringLiteral("viewertop"), 384), 384);
    QCOMPARE(ReadSettingInt(key, QStringLiteral("viewerleft"), -5), -5);
    QString host;
    ReadSettingString(key, QStringLiteral("hostname"), host, host, 1024);
    QString password;
    ReadSettingString(key, QStringLiteral("hidetask_password"), QStringLiteral("pw"), password,
                      1024);
    QCOMPARE(password, QStringLiteral("pw"));
    CloseSettings(key);

    QVERIFY(OpenSettings(key, storeName));
    QCOMPARE(ReadSettingInt(key, QStringLiteral("viewertop"), 0), 384);
    QCOMPARE(ReadSettingInt(key, QStringLiteral("viewerleft"), 0), -5);
    QString readBack = QStringLiteral("unset");
    ReadSettingString(key, QStringLiteral("hostname"), readBack, readBack, 1024);
    QCOMPARE(readBack, QString());
    ReadSettingString(key, QStringLiteral("hidetask_password"), QString(), readBack, 1024);
    QCOMPARE(readBack, QStringLiteral("pw"));
}

void TestSettings::readsOfAnExistingStoreGiveStoredValuesAndWriteNothing()
{
    const QByteArray before = general("viewertop=12\nviewerleft=-3\nhostname=das.local\n");
    QVERIFY(m_temp->writeRaw(before));

    SettingsKey key;
    QVERIFY(OpenSettings(key, storeName));
    QCOMPARE(ReadSettingInt(key, QStringLiteral("viewertop"), 0), 12);
    QCOMPARE(ReadSettingInt(key, QStringLiteral("viewerleft"), 0), -3);
    QCOMPARE(ReadSettingInt(key, QStringLiteral("hidetask_usepassword"), 0), 0);
    QString host;
    ReadSettingString(key, QStringLiteral("hostname"), QString(), host, 1024);
    QCOMPARE(host, QStringLiteral("das.local"));
    CloseSettings(key);

    QCOMPARE(m_temp->readRaw(), before);
}

void TestSettings::writesReachTheStoreWhenTheKeyCloses()
{
    QVERIFY(m_temp->writeRaw(general("hidetask_usepassword=1\nviewertop=1\n")));

    SettingsKey key;
    QVERIFY(OpenSettings(key, storeName));
    WriteSettingInt(key, QStringLiteral("viewertop"), 2000);
    WriteSettingInt(key, QStringLiteral("viewerleft"), -2147483647 - 1);
    WriteSettingString(key, QStringLiteral("hostname"), QStringLiteral("192.168.0.9"));
    // Visible to reads of the same open before they are saved.
    QCOMPARE(ReadSettingInt(key, QStringLiteral("viewertop"), 0), 2000);
    CloseSettings(key);

    QVariantMap stored;
    QVERIFY(m_temp->readStore(stored));
    QCOMPARE(stored.value(QStringLiteral("viewertop")).toString(), QStringLiteral("2000"));
    QCOMPARE(stored.value(QStringLiteral("viewerleft")).toString(), QStringLiteral("-2147483648"));
    QCOMPARE(stored.value(QStringLiteral("hostname")).toString(), QStringLiteral("192.168.0.9"));
    // Values nobody wrote stay as they were.
    QCOMPARE(stored.value(QStringLiteral("hidetask_usepassword")).toString(), QStringLiteral("1"));
}

void TestSettings::aKeyLeftOpenStillSaves()
{
    {
        SettingsKey key;
        QVERIFY(OpenSettings(key, storeName));
        WriteSettingInt(key, QStringLiteral("viewertop"), 77);
    }
    QVariantMap stored;
    QVERIFY(m_temp->readStore(stored));
    QCOMPARE(stored.value(QStringLiteral("viewertop")).toString(), QStringLiteral("77"));
}

void TestSettings::stringDefaultMayBeTheBuffer_data()
{
    QTest::addColumn<QByteArray>("store"); // empty: no store yet
    QTest::addColumn<QString>("expected");

    QTest::newRow("new store") << QByteArray() << QStringLiteral("das.home");
    QTest::newRow("existing, absent") << general("viewertop=1\n") << QStringLiteral("das.home");
    QTest::newRow("existing, stored")
        << general("hostname=other.host\n") << QStringLiteral("other.host");
}

void TestSettings::stringDefaultMayBeTheBuffer()
{
    QFETCH(QByteArray, store);
    QFETCH(QString, expected);
    if (!store.isEmpty())
        QVERIFY(m_temp->writeRaw(store));

    SettingsKey key;
    QVERIFY(OpenSettings(key, storeName));
    QString hostName = QStringLiteral("das.home");
    ReadSettingString(key, QStringLiteral("hostname"), hostName, hostName, 1024);
    QCOMPARE(hostName, expected);
}

void TestSettings::everyOpenReadsTheStoreAfresh()
{
    // Same size and the same timestamp: a cache that trusts those would miss the change.
    const QDateTime stamp = QDateTime::currentDateTimeUtc().addSecs(-60);
    for (const QByteArray& value : {QByteArrayLiteral("111"), QByteArrayLiteral("222")}) {
        QVERIFY(m_temp->writeRaw(general("viewertop=" + value + "\n")));
        QFile file(m_temp->storePath());
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(stamp, QFileDevice::FileModificationTime));
        file.close();

        SettingsKey key;
        QVERIFY(OpenSettings(key, storeName));
        QCOMPARE(ReadSettingInt(key, QStringLiteral("viewertop"), 0), value.toInt());
    }
}

void TestSettings::aSaveKeepsAnotherWritersChange()
{
    SettingsKey key;
    QVERIFY(OpenSettings(key, storeName));
    WriteSettingInt(key, QStringLiteral("viewertop"), 333);
    CloseSettings(key);

    // Another writer changes the value, keeping the size and the timestamp.
    QFile file(m_temp->storePath());
    const QDateTime stamp = QFileInfo(file).lastModified();
    QVERIFY(m_temp->writeRaw(general("viewertop=444\n")));
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(stamp, QFileDevice::FileModificationTime));
    file.close();

    QVERIFY(OpenSettings(key, storeName));
    WriteSettingString(key, QStringLiteral("hostname"), QStringLiteral("h"));
    CloseSettings(key);

    QVariantMap stored;
    QVERIFY(m_temp->readStore(stored));
    QCOMPARE(stored.value(QStringLiteral("viewertop")).toString(), QStringLiteral("444"));
    QCOMPARE(stored.value(QStringLiteral("hostname")).toString(), QStringLiteral("h"));
}

void TestSettings::systemWideAndOrganisationValuesDoNotLeak()
{
    // Where QSettings would look when a value is missing from the user's own file.
    const QString systemDir = m_temp->configHome() + QStringLiteral("/../system");
    QVERIFY(QDir().mkpath(systemDir + QStringLiteral("/Pellwyn")));
    const QByteArray leak = general("hostname=leaked\nviewertop=999\n");
    for (const QString& path : {systemDir + QStringLiteral("/Pellwyn/QXBrindora.conf"),
                                systemDir + QStringLiteral("/Pellwyn.conf"),
                                m_temp->configHome() + QStringLiteral("/Pellwyn.conf")}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(leak);
    }
    QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, systemDir);
    QVERIFY(m_temp->writeRaw(general("viewerleft=1\n")));

    SettingsKey key;
    QVERIFY(OpenSettings(key, storeName));
    QString host;
    ReadSettingString(key, QStringLiteral("hostname"), QString(), host, 1024);
    const qint32 top = ReadSettingInt(key, QStringLiteral("viewertop"), 5);
    QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope,
                       QLibraryInfo::path(QLibraryInfo::SettingsPath));
    QCOMPARE(host, QString());
    QCOMPARE(top, 5);
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
