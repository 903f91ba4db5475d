// Saving the store: whole replacements only, whatever else runs or dies at the same time.
#include "Probes.h"
#include "Settings.h"
#include "Tempsettings.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QtTest>

#include <atomic>
#include <memory>
#include <sys/stat.h>
#include <thread>

namespace {

const QString storeName = QStringLiteral("QXBrindora");

ino_t inodeOf(const QString& path)
{
    struct stat info = {};
    return stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
}

void saveHostName(const QString& hostName)
{
    SettingsKey key;
    OpenSettings(key, storeName);
    WriteSettingString(key, QStringLiteral("hostname"), hostName);
    CloseSettings(key);
}

} // namespace

class TestSettingsWriters final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void aSaveReplacesTheFileWhole();
    void aReaderNeverSeesAPartialStore();
    void aWriterKilledWhileSavingLeavesAValidStore();
    void twoProgramsSavingAtOnceLeaveAValidStore();
    void aLockNeverFreedLeavesTheStoreAsItWas();

private:
    QStringList folderEntries() const;

    std::unique_ptr<TempSettings> m_temp;
    std::unique_ptr<Probes> m_probes;
};

void TestSettingsWriters::init()
{
    m_temp = std::make_unique<TempSettings>(storeName);
    QVERIFY(m_temp->isValid());
    m_probes = std::make_unique<Probes>(*m_temp);
}

void TestSettingsWriters::cleanup()
{
    m_probes.reset();
    m_temp.reset();
}

QStringList TestSettingsWriters::folderEntries() const
{
    return QDir(m_temp->storeFolder()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries);
}

void TestSettingsWriters::aSaveReplacesTheFileWhole()
{
    QVERIFY(m_temp->writeRaw("[General]\nviewertop=1\n"));
    const ino_t before = inodeOf(m_temp->storePath());
    saveHostName(QStringLiteral("das"));

    // A new file renamed over the old one: a crash before the rename leaves the old file.
    QVERIFY(inodeOf(m_temp->storePath()) != before);
    // No temporary or lock file left behind.
    QCOMPARE(folderEntries(), QStringList{storeName + QStringLiteral(".conf")});
}

void TestSettingsWriters::aReaderNeverSeesAPartialStore()
{
    const QString first(20000, QLatin1Char('a'));
    const QString second(20000, QLatin1Char('b'));
    saveHostName(first);
    const QByteArray firstContents = m_temp->readRaw();
    saveHostName(second);
    const QByteArray secondContents = m_temp->readRaw();
    QVERIFY(firstContents.contains(first.toLatin1()));
    QVERIFY(secondContents.contains(second.toLatin1()));

    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int round = 0; round < 200; ++round)
            saveHostName(round % 2 == 0 ? first : second);
        done = true;
    });
    int snapshots = 0;
    int partial = 0;
    while (!done) {
        const QByteArray seen = m_temp->readRaw();
        if (seen != firstContents && seen != secondContents)
            ++partial;
        ++snapshots;
    }
    writer.join();
    QCOMPARE(partial, 0);
    QVERIFY(snapshots > 0);
}

void TestSettingsWriters::aWriterKilledWhileSavingLeavesAValidStore()
{
    QProcess* probe = m_probes->start({QStringLiteral("churn")});
    QVERIFY(probe->waitForStarted(-1));
    // Let it save a few times, then kill it wherever it happens to be.
    int saves = 0;
    while (saves < 3 && probe->waitForReadyRead(-1)) {
        while (probe->canReadLine())
            saves += probe->readLine() == "saved\n" ? 1 : 0;
    }
    QCOMPARE(saves, 3);
    probe->kill();
    QVERIFY(probe->waitForFinished(-1));

    QVariantMap stored;
    QVERIFY(m_temp->readStore(stored));
    const QString host = stored.value(QStringLiteral("hostname")).toString();
    QCOMPARE(host.size(), 100000);
    QCOMPARE(host, QString(host.size(), host.at(0)));

    // A lock the dead writer held must not stop the next save.
    saveHostName(QStringLiteral("after"));
    QVERIFY(m_temp->readStore(stored));
    QCOMPARE(stored.value(QStringLiteral("hostname")).toString(), QStringLiteral("after"));
}

void TestSettingsWriters::twoProgramsSavingAtOnceLeaveAValidStore()
{
    constexpr int rounds = 150;
    QProcess* one =
        m_probes->start({QStringLiteral("write"), QStringLiteral("1"), QString::number(rounds)});
    QProcess* two =
        m_probes->start({QStringLiteral("write"), QStringLiteral("2"), QString::number(rounds)});
    for (QProcess* probe : {one, two}) {
        QVERIFY(probe->waitForFinished(-1));
        QCOMPARE(probe->exitStatus(), QProcess::NormalExit);
        QCOMPARE(probe->exitCode(), 0);
    }

    QVariantMap stored;
    QVERIFY(m_temp->readStore(stored));
    const int tag = stored.value(QStringLiteral("viewertop")).toInt();
    QVERIFY2(tag / 100000 == 1 || tag / 100000 == 2, qPrintable(QString::number(tag)));
    QVERIFY(tag % 100000 < rounds);
    // All three from one save, not a mix of two.
    QCOMPARE(stored.value(QStringLiteral("viewerleft")).toInt(), tag);
    QCOMPARE(stored.value(QStringLiteral("hostname")).toString(),
             QStringLiteral("writer%1").arg(tag));
    QCOMPARE(folderEntries(), QStringList{storeName + QStringLiteral(".conf")});
}

QTEST_GUILESS_MAIN(TestSettingsWriters)
#include "tst_settingswriters.moc"

void TestSettingsWriters::aLockNeverFreedLeavesTheStoreAsItWas()
{
    // A writer that hangs while it holds the store: the save gives up rather than the window.
    QVERIFY(m_temp->writeRaw("[General]\nhostname=old\n"));
    QLockFile held(m_temp->storePath() + QStringLiteral(".lock"));
    QVERIFY(held.tryLock(0));
    saveHostName(QStringLiteral("new"));
    QCOMPARE(m_temp->readRaw(), QByteArray("[General]\nhostname=old\n"));
}
