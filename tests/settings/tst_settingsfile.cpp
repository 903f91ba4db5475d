// The store's file under hostile conditions: damaged or odd contents, modes, crashes and
// concurrent writers. Nothing the user had may be lost and no one else may read it.
#include "Probes.h"
#include "Settings.h"
#include "Storeround.h"
#include "Tempsettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>

#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString storeName = QStringLiteral("QXBrindora");
constexpr uid_t nobody = 65534;

mode_t modeOf(const QString& path)
{
    struct stat info = {};
    return lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

class UmaskGuard final
{
public:
    explicit UmaskGuard(mode_t mask) : m_previous(umask(mask)) {}
    ~UmaskGuard() { umask(m_previous); }
    UmaskGuard(const UmaskGuard&) = delete;
    UmaskGuard& operator=(const UmaskGuard&) = delete;

private:
    mode_t m_previous;
};

// What a round on a store that can't be read sees: nothing of it, and the password asked.
const QByteArray unreadableRound("open=0 unreadable=1 top=-1 host=none\n");

} // namespace

class TestSettingsFile final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void handEditedStoreIsReadAndItsLinesKept_data();
    void handEditedStoreIsReadAndItsLinesKept();
    void binaryStoreIsReadAsDefaultsAndKept_data();
    void binaryStoreIsReadAsDefaultsAndKept();
    void somethingElseInPlaceOfTheStoreIsKept_data();
    void somethingElseInPlaceOfTheStoreIsKept();
    void unreadableStoreIsReadAsDefaultsAndKept_data();
    void unreadableStoreIsReadAsDefaultsAndKept();
    void emptyFileIsAnEmptyStore();
    void valuesOfOtherKindsSurviveASave();
    void aWriteOutlivesAHandEditedTwinName_data();
    void aWriteOutlivesAHandEditedTwinName();
    void storeDamagedWhileOpenIsNotOverwritten();
    void aValueRunningOnIsNeverCutOff();
    void storeRemovedWhileOpenComesBackPrivate();

    void newStoreIsPrivateToItsUser();
    void existingFolderKeepsItsMode();

private:
    std::unique_ptr<TempSettings> m_temp;
    std::unique_ptr<Probes> m_probes;
};

void TestSettingsFile::init()
{
    m_temp = std::make_unique<TempSettings>(storeName);
    QVERIFY(m_temp->isValid());
    m_probes = std::make_unique<Probes>(*m_temp);
}

void TestSettingsFile::cleanup()
{
    m_probes.reset();
    m_temp.reset();
}

void TestSettingsFile::handEditedStoreIsReadAndItsLinesKept_data()
{
    QTest::addColumn<QByteArray>("contents");
    const QByteArray values(
        "hostname=das, backup\nhidetask_usepassword=1\nhidetask_password=secret\nviewertop=10\n");
    const QByteArray general = "[General]\n" + values;
    QTest::newRow("# comment") << "# password set by hand\n" + general;
    QTest::newRow("note") << "[General]\nmy note: password set on Monday\n" + values;
    QTest::newRow("byte order mark") << "\xEF\xBB\xBF" + general;
    QTest::newRow("; comment") << "; comment\n" + general;
    QTest::newRow("own group") << general + "\n[Notes]\nwho=me\n";
    QTest::newRow("CR LF") << QByteArray(general).replace("\n", "\r\n");
    QTest::newRow("comment not UTF-8") << "# f\xfcr mich\n" + general;
    QTest::newRow("unclosed header") << "[General\n" + values;
    QTest::newRow("escape sequence in a comment") << "# \x1b[1mbold\x1b[0m\n" + general;
    QTest::newRow("bell in a note") << "[General]\nnote\a ring\n" + values;
    QTest::newRow("host name in Latin-1") << QByteArray(general).replace("das,", "d\xe4s");
}

void TestSettingsFile::handEditedStoreIsReadAndItsLinesKept()
{
    QFETCH(QByteArray, contents);
    QVERIFY(m_temp->writeRaw(contents));
    // As the user's editor leaves a file it creates.
    QCOMPARE(chmod(QFile::encodeName(m_temp->storePath()).constData(), 0644), 0);

    // The values, the password among them, are read without a temporary file: none can be
    // made in a "folder" that is a file, not even by root.
    const QByteArray tmpDir = qgetenv("TMPDIR");
    const bool hadTmpDir = qEnvironmentVariableIsSet("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(m_temp->storePath()));
    SettingsKey key;
    const bool opened = OpenSettings(key, storeName);
    hadTmpDir ? qputenv("TMPDIR", tmpDir) : qunsetenv("TMPDIR");
    QVERIFY(opened);
    QCOMPARE(ReadSettingInt(key, QStringLiteral("hidetask_usepassword"), 0), 1);
    QString password;
    ReadSettingString(key, QStringLiteral("hidetask_password"), QString(), password, 1024);
    QCOMPARE(password, QStringLiteral("secret"));
    QCOMPARE(ReadSettingInt(key, QStringLiteral("viewertop"), -1), 10);
    WriteSettingInt(key, QStringLiteral("viewertop"), 30);
    WriteSettingInt(key, QStringLiteral("viewerleft"), 40);
    // As Quit does: the host name goes back as it was read.
    QString host;
    ReadSettingString(key, QStringLiteral("hostname"), QString(), host, 1024);
    WriteSettingString(key, QStringLiteral("hostname"), host);
    CloseSettings(key);

    // Only the program's own lines differ; a new one joins the others, ending as they do.
    const QByteArray end = contents.contains("\r\n") ? "\r\n" : "\n";
    QCOMPARE(m_temp->readRaw(),
             QByteArray(contents).replace("viewertop=10", "viewertop=30" + end + "viewerleft=40"));
    QCOMPARE(modeOf(m_temp->storePath()), mode_t(0600));
}

void TestSettingsFile::binaryStoreIsReadAsDefaultsAndKept_data()
{
    QTest::addColumn<QByteArray>("contents");

    QByteArray noise(4096, '\0');
    QRandomGenerator generator(1966);
    for (char& byte : noise)
        byte = char(generator.bounded(256));

    QTest::newRow("random bytes") << noise;
    QTest::newRow("zero bytes") << QByteArray(64, '\0');
    QTest::newRow("a control character")
        << QByteArray("[General]\nviewertop=10\nhostname=das\x01\n");
}

void TestSettingsFile::binaryStoreIsReadAsDefaultsAndKept()
{
    QFETCH(QByteArray, contents);
    QVERIFY(m_temp->writeRaw(contents));

    // Twice: a second open in the same process must not trust a cached parse either.
    for (int round = 0; round < 2; ++round) {
        QCOMPARE(readAndTryWrite(), unreadableRound);
        QCOMPARE(m_temp->readRaw(), contents);
    }
}

void TestSettingsFile::somethingElseInPlaceOfTheStoreIsKept_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("folder") << QStringLiteral("folder");
    // Opening a FIFO for reading would wait for a writer: the program must not hang.
    QTest::newRow("fifo") << QStringLiteral("fifo");
    QTest::newRow("dangling link") << QStringLiteral("dangling");
    QTest::newRow("link loop") << QStringLiteral("loop");
    // What hides the store's folder may hide the password (ENOTDIR, ELOOP).
    QTest::newRow("file for its folder") << QStringLiteral("file for folder");
    QTest::newRow("link loop for its folder") << QStringLiteral("loop for folder");
}

void TestSettingsFile::somethingElseInPlaceOfTheStoreIsKept()
{
    QFETCH(QString, kind);
    const QString path = m_temp->storePath();
    const QByteArray native = QFile::encodeName(path);
    const QString folder = m_temp->storeFolder();
    if (!kind.endsWith(QLatin1String(" for folder")))
        QVERIFY(QDir().mkpath(folder));
    const QString target = folder + QStringLiteral("/elsewhere.conf");
    QFile file(folder);
    if (kind == QLatin1String("folder"))
        QVERIFY(QDir().mkdir(path));
    else if (kind == QLatin1String("fifo"))
        QCOMPARE(mkfifo(native.constData(), 0600), 0);
    else if (kind == QLatin1String("dangling"))
        QVERIFY(QFile::link(target, path));
    else if (kind == QLatin1String("loop"))
        QVERIFY(QFile::link(path, path));
    else if (kind == QLatin1String("file for folder"))
        QVERIFY(file.open(QIODevice::WriteOnly));
    else
        QVERIFY(QFile::link(folder, folder));
    const mode_t before = modeOf(path);

    QCOMPARE(readAndTryWrite(), unreadableRound);
    QCOMPARE(modeOf(path), before);
    QVERIFY(!QFileInfo::exists(target));
    if (kind == QLatin1String("folder"))
        QVERIFY(QDir(path).isEmpty());
}

void TestSettingsFile::unreadableStoreIsReadAsDefaultsAndKept_data()
{
    QTest::addColumn<QString>("blocked"); // below the configuration folder
    QTest::addColumn<int>("mode");
    QTest::newRow("store without rights") << QStringLiteral("/Pellwyn/QXBrindora.conf") << 0;
    // stat() then fails with EACCES: the store may well be there.
    QTest::newRow("folder not searchable") << QStringLiteral("/Pellwyn") << 0600;
    QTest::newRow("a parent not searchable") << QString() << 0644;
}

void TestSettingsFile::unreadableStoreIsReadAsDefaultsAndKept()
{
    QFETCH(QString, blocked);
    QFETCH(int, mode);
    const QByteArray contents("[General]\nviewertop=10\nhostname=das\n");
    QVERIFY(m_temp->writeRaw(contents));
    // Root reads and searches anything, so the round runs as an ordinary user; the folders
    // on the way must let that user through, all but the one blocked.
    const QString root = QFileInfo(m_temp->configHome()).path();
    for (const QString& dir : {root, m_temp->configHome(), m_temp->storeFolder()})
        QCOMPARE(chmod(QFile::encodeName(dir).constData(), 0755), 0);
    const QByteArray path = QFile::encodeName(m_temp->configHome() + blocked);
    QCOMPARE(chmod(path.constData(), mode_t(mode)), 0);
    QStringList args{QStringLiteral("read")};
    if (geteuid() == 0)
        args = QStringList{QStringLiteral("--as-user"), QString::number(nobody)} + args;
    QProcess* probe = m_probes->start(args);
    QVERIFY(probe->waitForFinished(-1));
    QCOMPARE(probe->exitCode(), 0);
    QCOMPARE(probe->readAllStandardOutput(), unreadableRound);
    QCOMPARE(modeOf(QFile::decodeName(path)), mode_t(mode));
    QCOMPARE(chmod(path.constData(), 0700), 0);
    QCOMPARE(m_temp->readRaw(), contents);
}

void TestSettingsFile::emptyFileIsAnEmptyStore()
{
    QVERIFY(m_temp->writeRaw(QByteArray()));

    SettingsKey key;
    QVERIFY(OpenSettings(key, storeName));
    QCOMPARE(key.disposition, int(SettingsExisted));
    QCOMPARE(ReadSettingInt(key, QStringLiteral("viewertop"), 384), 384);
    CloseSettings(key);
    QCOMPARE(m_temp->readRaw(), QByteArray());

    QVERIFY(OpenSettings(key, storeName));
    WriteSettingInt(key, QStringLiteral("viewertop"), 5);
    CloseSettings(key);
    QVariantMap stored;
    QVERIFY(m_temp->readStore(stored));
    QCOMPARE(stored.value(QStringLiteral("viewertop")).toString(), QStringLiteral("5"));
}

void TestSettingsFile::valuesOfOtherKindsSurviveASave()
{
    QVERIFY(m_temp->writeRaw("[General]\nviewertop=@Point(1 2)\nhostname=@Invalid()\n"
                             "[other]\nkept=yes\n[gr\xc3\xbc\xc3\x9f]\nk\xc3\xa9pt=1\n"));
    SettingsKey key;
    QVERIFY(OpenSettings(key, storeName));
    QVERIFY(key.values.contains(QStringLiteral("grüß/képt"))); // names are UTF-8
    QCOMPARE(ReadSettingInt(key, QStringLiteral("viewertop"), 3), 3);
    WriteSettingInt(key, QStringLiteral("viewerleft"), 4);
    CloseSettings(key);

    QVariantMap stored;
    QVERIFY(m_temp->readStore(stored));
    QCOMPARE(stored.value(QStringLiteral("viewertop")), QVariant(QPoint(1, 2)));
    QVERIFY(stored.contains(QStringLiteral("hostname")));
    QCOMPARE(stored.value(QStringLiteral("other/kept")).toString(), QStringLiteral("yes"));
    QCOMPARE(stored.value(QStringLiteral("viewerleft")).toString(), QStringLiteral("4"));
}

void TestSettingsFile::aWriteOutlivesAHandEditedTwinName_data()
{
    // Names QSettings reads apart from "viewertop" but writes as "viewertop".
    QTest::addColumn<QByteArray>("contents");
    QTest::newRow("trailing backslash and space") << QByteArray("viewertop\\ = 12\n");
    QTest::newRow("trailing slash") << QByteArray("viewertop/=12\n");
    QTest::newRow("twin beside the name") << QByteArray("viewertop=11\nviewertop/=12\n");
}

void TestSettingsFile::aWriteOutlivesAHandEditedTwinName()
{
    QFETCH(QByteArray, contents);
    QVERIFY(m_temp->writeRaw("[General]\n" + contents + "hostname=kept\n"));
    {
        SettingsKey key;
        QVERIFY(OpenSettings(key, storeName));
        WriteSettingInt(key, QStringLiteral("viewertop"), 5);
    }
    SettingsKey key;
    QVERIFY(OpenSettings(key, storeName));
    QCOMPARE(ReadSettingInt(key, QStringLiteral("viewertop"), -1), 5);
    QString host;
    ReadSettingString(key, QStringLiteral("hostname"), QString(), host, 1024);
    QCOMPARE(host, QStringLiteral("kept"));
}

void TestSettingsFile::storeDamagedWhileOpenIsNotOverwritten()
{
    QVERIFY(m_temp->writeRaw("[General]\nviewertop=1\n"));
    SettingsKey key;
    QVERIFY(OpenSettings(key, storeName));
    WriteSettingInt(key, QStringLiteral("viewertop"), 2);
    const QByteArray damaged("[General]\nviewertop=1\0\n", 23);
    QVERIFY(m_temp->writeRaw(damaged));
    CloseSettings(key);
    QCOMPARE(m_temp->readRaw(), damaged);
}

void TestSettingsFile::aValueRunningOnIsNeverCutOff()
{
    // QSettings reads the host as two lines; the second's quote, left alone, would run on.
    const QByteArray contents("[General]\nhostname=\"das\nbackup\"\nviewertop=1\n");
    QVERIFY(m_temp->writeRaw(contents));
    SettingsKey key;
    QVERIFY(OpenSettings(key, storeName));
    WriteSettingString(key, QStringLiteral("hostname"), QStringLiteral("new"));
    CloseSettings(key);
    QCOMPARE(m_temp->readRaw(), contents);
}

void TestSettingsFile::storeRemovedWhileOpenComesBackPrivate()
{
    QVERIFY(m_temp->writeRaw("[General]\nviewertop=1\n"));
    SettingsKey key;
    QVERIFY(OpenSettings(key, storeName));
    WriteSettingString(key, QStringLiteral("hidetask_password"), QStringLiteral("secret"));
    QVERIFY(QFile::remove(m_temp->storePath()));
    CloseSettings(key);

    QCOMPARE(modeOf(m_temp->storePath()), mode_t(0600));
    QVariantMap stored;
    QVERIFY(m_temp->readStore(stored));
    QCOMPARE(stored,
             QVariantMap({{QStringLiteral("hidetask_password"), QStringLiteral("secret")}}));
}

void TestSettingsFile::newStoreIsPrivateToItsUser()
{
    // Neither the configuration folder nor the store's folder exists yet.
    QVERIFY(QDir(m_temp->configHome()).removeRecursively());
    // With no umask to narrow them, defaults would make both readable by everyone.
    const UmaskGuard openUmask(0);
    SettingsKey key;
    QVERIFY(OpenSettings(key, storeName));
    QCOMPARE(modeOf(m_temp->storePath()), mode_t(0600));
    WriteSettingString(key, QStringLiteral("hidetask_password"), QStringLiteral("secret"));
    CloseSettings(key);

    QCOMPARE(modeOf(m_temp->storePath()), mode_t(0600));
    QCOMPARE(modeOf(m_temp->storeFolder()), mode_t(0700));
    QCOMPARE(modeOf(m_temp->configHome()), mode_t(0700));
}

void TestSettingsFile::existingFolderKeepsItsMode()
{
    QVERIFY(QDir().mkpath(m_temp->storeFolder()));
    QCOMPARE(chmod(QFile::encodeName(m_temp->storeFolder()).constData(), 0750), 0);
    SettingsKey key;
    QVERIFY(OpenSettings(key, storeName));
    CloseSettings(key);
    QCOMPARE(modeOf(m_temp->storeFolder()), mode_t(0750));
    QCOMPARE(modeOf(m_temp->storePath()), mode_t(0600));
}

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
