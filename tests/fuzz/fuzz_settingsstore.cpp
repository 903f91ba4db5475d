// The settings file is plain text anyone can edit, so the store meets whatever a person, a
// crashed editor or a full disk left there. The input becomes the whole file; one full round
// of the program's calls then runs against it. What must hold: only a file that is not text
// is rejected, and it is left byte for byte as it was; a store the open accepts still opens
// after the write, and either holds what was written next to everything it held before or,
// where the save was refused, is left byte for byte as it was; a saved store keeps every
// line but the two it rewrote, is readable by its user only, and still reads the same to
// QSettings where QSettings read it as the store did.

#include "Settings.h"
#include "Settingstext.h"

#include <QByteArray>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <QVariantMap>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sys/stat.h>

namespace {

const QString storeName = QStringLiteral("QXBrindora");
const QString hostName = QStringLiteral("hostname");
const QString viewerTop = QStringLiteral("viewertop");

void require(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "fuzz_settingsstore: %s\n", what);
        std::abort();
    }
}

// A private configuration home for the whole run: the fuzzer never sees the user's own.
// Removed again when the run ends normally; after a crash the scripts that run the fuzzers
// remove the temporary folder it lives in.
std::unique_ptr<QTemporaryDir> configHome;

QString storePath()
{
    return configHome->path() + QStringLiteral("/Pellwyn/") + storeName + QStringLiteral(".conf");
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    require(file.open(QIODevice::ReadOnly), "store file can't be read back");
    return file.readAll();
}

void writeFile(const QString& path, const QByteArray& contents)
{
    QFile file(path);
    require(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "store file can't be written");
    require(file.write(contents) == contents.size(), "store file written short");
}

// What the program's reads give for every value a store holds, other than the two written.
struct Reading
{
    QString text;
    qint32 number = 0;
    bool operator==(const Reading& other) const
    {
        return text == other.text && number == other.number;
    }
};

Reading readOne(SettingsKey& key, const QString& name)
{
    Reading reading;
    ReadSettingString(key, name, QStringLiteral("(absent)"), reading.text, 1 << 20);
    reading.number = ReadSettingInt(key, name, -7);
    return reading;
}

QMap<QString, Reading> readAll(SettingsKey& key, const QStringList& names)
{
    QMap<QString, Reading> readings;
    for (const QString& name : names) {
        if (name != hostName && name != viewerTop)
            readings.insert(name, readOne(key, name));
    }
    return readings;
}

// Text as a person would write it: no NUL or other control character but tabs and line ends.
bool isText(const QByteArray& bytes)
{
    return std::none_of(bytes.cbegin(), bytes.cend(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r';
    });
}

// How many lines of before are missing from after, in any order; line ends don't count.
int linesLost(const QByteArray& before, const QByteArray& after)
{
    QHash<QByteArray, int> count;
    for (QByteArray line : after.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        ++count[line];
    }
    int lost = 0;
    for (QByteArray line : before.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (--count[line] < 0)
            ++lost;
    }
    return lost;
}

mode_t modeOf(const QString& path)
{
    struct stat info = {};
    require(stat(QFile::encodeName(path).constData(), &info) == 0, "store file vanished");
    return info.st_mode & 07777;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    configHome = std::make_unique<QTemporaryDir>();
    require(configHome->isValid(), "no temporary configuration home");
    require(QDir().mkpath(configHome->path() + QStringLiteral("/Pellwyn")), "no store folder");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome->path()));
    std::atexit([] { configHome.reset(); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray before(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    // The value written and the small buffer's size come from the input too, so odd
    // characters (quotes, separators, NUL, bytes above 127) also travel through a save.
    const qsizetype tail = std::min<qsizetype>(before.size(), 24);
    const QString written = QString::fromLatin1(before.right(tail));
    const int smallSize = static_cast<int>(size % 9);
    const qint32 writtenTop = static_cast<qint32>(size * 7919) - 100000;

    writeFile(storePath(), before);

    bool usable = false;
    QMap<QString, Reading> held;
    QVariantMap heldValues;
    {
        SettingsKey key;
        usable = OpenSettings(key, storeName);
        require(usable == key.open, "open result and key disagree");
        require(!usable || key.disposition == SettingsExisted, "existing store not seen as such");
        held = readAll(key, key.values.keys());
        heldValues = key.values;

        const qint32 top = ReadSettingInt(key, viewerTop, 384);
        require(usable || top == 384, "unusable store gave a stored number");

        const QString fallback = QStringLiteral("default-host");
        QString full;
        ReadSettingString(key, hostName, fallback, full, 1024);
        require(full.size() <= 1023, "string read beyond its buffer");
        require(usable || full == fallback, "unusable store gave a stored string");
        QString small;
        ReadSettingString(key, hostName, fallback, small, smallSize);
        require(small.size() <= std::max(smallSize - 1, 0), "short read beyond its buffer");
        require(full.startsWith(small), "short read is not the start of the full one");
        QString shared = fallback; // default and buffer one object, as the old callers did
        ReadSettingString(key, hostName, shared, shared, smallSize);
        require(shared == small, "reading into the default's own buffer differs");

        WriteSettingString(key, hostName, written);
        WriteSettingInt(key, viewerTop, writtenTop);
        QString again;
        ReadSettingString(key, hostName, fallback, again, 1024);
        require(again == (usable ? written : fallback), "read after a write");
        CloseSettings(key);
    }

    const QByteArray after = readFile(storePath());
    if (!usable) {
        require(!isText(before), "a text file was rejected");
        require(after == before, "rejected store was changed");
        return 0;
    }
    require(linesLost(before, after) <= 2, "a save lost lines other than its own two");
    require(modeOf(storePath()) == 0600, "saved store is readable by others");

    SettingsKey reopened;
    require(OpenSettings(reopened, storeName), "saved store no longer opens");
    QString host;
    ReadSettingString(reopened, hostName, QString(), host, 1024);
    if (host != written || ReadSettingInt(reopened, viewerTop, 0) != writtenTop) {
        // Refused: a value to change stood on a line that runs on into the next.
        require(after == before, "a save that did not take changed the store");
        return 0;
    }
    // Every other value must read as it did before.
    const QMap<QString, Reading> kept = readAll(reopened, held.keys());
    for (auto it = held.cbegin(); it != held.cend(); ++it) {
        if (kept.value(it.key()) == it.value())
            continue;
        qWarning() << "value" << it.key() << "read" << it.value().text << it.value().number
                   << "before the save and" << kept.value(it.key()).text
                   << kept.value(it.key()).number << "after it";
        require(false, "saved store changed another value");
    }
    // Values are QSettings' own spelling: a file it read as the store did, it still does.
    QVariantMap parsedBefore;
    QVariantMap parsedAfter;
    if (parseSettingsText(before, parsedBefore) && parsedBefore == heldValues) {
        require(parseSettingsText(after, parsedAfter), "saved store no longer parses");
        require(parsedAfter == reopened.values, "QSettings reads the saved store otherwise");
    }
    CloseSettings(reopened);
    return 0;
}
