// The settings file is plain text anyone can edit, so the store meets whatever a person, a
// crashed editor or a full disk left there. The input becomes the whole file; one full round
// of the program's calls then runs against it. What must hold: a store the open rejects is
// left byte for byte as it was, and a store it accepts still opens after the write and holds
// what was written next to everything it held before.

#include "Settings.h"
#include "Settingstext.h"

#include <QByteArray>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QVariant>
#include <QVariantMap>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

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

Reading readingOf(const QString& name, const QVariant& value)
{
    SettingsKey alone; // never saved: nothing is written through it
    alone.open = true;
    alone.disposition = SettingsExisted;
    alone.values.insert(name, value);
    return readOne(alone, name);
}

// QSettings itself writes some of what it reads under another name or in another form: an
// empty list as @Invalid(), a group spelt "GeneraL" as [%General], names such as "/" or
// "a/" not at all. The program names none of them. A value the save changed counts as
// lost only when QSettings on its own, writing that one value to a file of its own, keeps it.
bool qsettingsKeeps(const QString& name, const QVariant& value)
{
    QTemporaryFile alone(configHome->path() + QStringLiteral("/alone-XXXXXX"));
    require(alone.open(), "no file for a lone value");
    alone.close();
    {
        QSettings settings(alone.fileName(), QSettings::IniFormat);
        settings.setValue(name, value);
    }
    QVariantMap parsed;
    require(parseSettingsText(readFile(alone.fileName()), parsed), "lone value unparsed");
    return readingOf(name, parsed.value(name)) == readingOf(name, value);
}

} // namespace

// A stored @Variant(...) can claim a container of billions of items, and Qt then asks for
// gigabytes at once. A plain build gets an untouched reservation or, under a memory limit,
// a refusal that Qt copes with: the store reads the same either way. AddressSanitizer would
// touch every page of it instead. Large requests are refused here, as a memory-limited
// machine would refuse them.
extern "C" const char* __asan_default_options()
{
    return "allocator_may_return_null=1:max_allocation_size_mb=512";
}

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
        require(after == before, "rejected store was changed");
        return 0;
    }

    QVariantMap parsed;
    require(parseSettingsText(after, parsed), "saved store no longer parses");
    require(parsed.value(hostName).toString() == written, "saved store lost the written string");
    require(parsed.value(viewerTop).toString() == QString::number(writtenTop),
            "saved store lost the written number");
    SettingsKey reopened;
    require(OpenSettings(reopened, storeName), "saved store no longer opens");
    QString host;
    ReadSettingString(reopened, hostName, QString(), host, 1024);
    require(host == written, "reopened store reads another string");
    require(ReadSettingInt(reopened, viewerTop, 0) == writtenTop,
            "reopened store reads another number");
    // A save rewrites the whole file: every value it held must read as it did before.
    const QMap<QString, Reading> kept = readAll(reopened, held.keys());
    for (auto it = held.cbegin(); it != held.cend(); ++it) {
        if (kept.value(it.key()) == it.value() ||
            !qsettingsKeeps(it.key(), heldValues.value(it.key())))
            continue;
        qWarning() << "value" << it.key() << "read" << it.value().text << it.value().number
                   << "before the save and" << kept.value(it.key()).text
                   << kept.value(it.key()).number << "after it";
        require(false, "saved store changed another value");
    }
    CloseSettings(reopened);
    return 0;
}
