#include "Autostart.h"
#include "Tempsettings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QTest>

namespace {

// The entry's raw form: the Run value under the test's own stand-in for HKCU\Software (a
// number planted as a REG_DWORD, other text as a REG_SZ), or the autostart file's text.
#ifdef _WIN32
QString runKey(const TempSettings& settings)
{
    return settings.storeFolder().section(QLatin1Char('\\'), 0, -2) +
           QStringLiteral("\\Microsoft\\Windows\\CurrentVersion\\Run");
}

void plant(const TempSettings& settings, const QString& entry)
{
    bool isNumber = false;
    const int number = entry.toInt(&isNumber);
    if (!entry.isEmpty())
        QSettings(runKey(settings), QSettings::NativeFormat)
            .setValue(QStringLiteral("Brindora Control"),
                      isNumber ? QVariant(number) : QVariant(entry));
}

QString stored(const TempSettings& settings)
{
    return QSettings(runKey(settings), QSettings::NativeFormat)
        .value(QStringLiteral("Brindora Control"))
        .toString();
}
#else
QString entryPath(const QString& config)
{
    return config + QStringLiteral("/autostart/brindora.desktop");
}

// "folder" is a folder by the entry's name; "system:" text is a system-wide entry; "relative"
// a relative XDG_CONFIG_HOME, which must be ignored for ~/.config (here the same folder).
void plant(const TempSettings& settings, const QString& entry)
{
    const QString config = settings.configHome();
    const QString system = config + QStringLiteral("/system");
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(system));
    if (entry == QStringLiteral("relative")) {
        qputenv("HOME", QFile::encodeName(config + QStringLiteral("/..")));
        QFile::link(config, config + QStringLiteral("/../.config"));
        qputenv("XDG_CONFIG_HOME", "config");
    }
    const bool isSystem = entry.startsWith(QStringLiteral("system:"));
    const QString path = entryPath(isSystem ? system : config);
    QDir().mkpath(entry == QStringLiteral("folder") ? path : QFileInfo(path).path());
    QFile file(path);
    if (entry.contains(QLatin1Char('\n')) && file.open(QIODevice::WriteOnly))
        file.write(entry.mid(isSystem ? 7 : 0).toUtf8());
}

QString stored(const TempSettings& settings)
{
    QFile file(entryPath(settings.configHome()));
    const auto mode = QFile::ReadUser | QFile::WriteUser | QFile::ReadGroup | QFile::ReadOther;
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return (file.permissions() & 0x0777) == mode ? QString::fromUtf8(file.readAll())
                                                 : QStringLiteral("wrong mode");
}
#endif

} // namespace

class TestAutostart final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Each row: what is there before, whether that counts as on, the switch the user makes,
    // whether it is refused, and text the entry then holds (empty: no entry at all).
    void switchesTheEntry_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<bool>("wasOn");
        QTest::addColumn<QString>("program");
        QTest::addColumn<bool>("turnOn");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<QString>("after");
        const auto row = [](const char* name, const QString& before, bool wasOn,
                            const QString& program, bool turnOn, bool refused,
                            const QString& after) {
            QTest::newRow(name) << before << wasOn << program << turnOn << refused << after;
        };
#ifdef _WIN32
        const QString program = QStringLiteral("C:/Program Files/Brindora Control/brindora.exe");
        const QString command =
            QStringLiteral("\"C:\\Program Files\\Brindora Control\\brindora.exe\" -autominimize");
        row("none", QString(), false, program, true, false, command);
        row("wrong kind", QStringLiteral("7"), false, program, true, false, command);
        row("ours, off", command, true, program, false, false, QString());
#else
        const QString x = QStringLiteral("/x");
        const QString own =
            QStringLiteral("[Desktop Entry]\nExec=x\nX-Brindora-Control-Written=true");
        const QString hand = QStringLiteral("# mine\n[Desktop Entry]\nExec=env A=1 brindora\n");
        row("spaces", QString(), false, QStringLiteral("/opt/My Apps/brindora"), true, false,
            QStringLiteral("\nExec=\"/opt/My Apps/brindora\" -autominimize\n"));
        row("quoting", QString(), false, QStringLiteral(u"/a\"b`c$d\\e%f été/x"), true, false,
            QStringLiteral(
                u"\nExec=env \"/a\\\\\"b\\\\`c\\\\$d\\\\\\\\e%%f été/x\" -autominimize\n"));
        row("relative config home", QStringLiteral("relative"), false, x, true, false,
            QStringLiteral("Exec=\"/x\""));
        row("hidden by hand", hand + QStringLiteral("Hidden=true\n"), false, x, true, false, hand);
        row("off for GNOME", hand + QStringLiteral("X-GNOME-Autostart-enabled=false"), false, x,
            true, false, hand);
        row("by hand, off", hand, true, x, false, false,
            QStringLiteral("[Desktop Entry]\nHidden=true\nExec=env A=1"));
        row("ours, off", own, true, x, false, false, QString());
        row("system-wide, off", QStringLiteral("system:") + hand, true, x, false, false,
            QStringLiteral("Hidden=true"));
        row("a folder", QStringLiteral("folder"), false, x, true, true, QString());
#endif
    }

    void switchesTheEntry()
    {
        QFETCH(QString, before);
        QFETCH(bool, wasOn);
        QFETCH(QString, program);
        QFETCH(bool, turnOn);
        QFETCH(bool, refused);
        QFETCH(QString, after);
        TempSettings settings;
        QVERIFY(settings.isValid());
        plant(settings, before);
        QCOMPARE(Autostart::isEnabled(), wasOn);
        const QString failure = Autostart::setEnabled(turnOn, program);
        QVERIFY2(failure.isEmpty() == !refused, qPrintable(failure));
        QCOMPARE(Autostart::isEnabled(), refused ? wasOn : turnOn);
        if (after.isEmpty())
            QCOMPARE(stored(settings), after);
        else
            QVERIFY2(stored(settings).contains(after), qPrintable(stored(settings)));
    }
};

QTEST_GUILESS_MAIN(TestAutostart)
#include "tst_autostart.moc"
