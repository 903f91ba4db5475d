#include "Autostart.h"
#include "Tempsettings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QTest>

namespace {

// Puts the entry in its store (when given one), then reads back what the store holds.
#ifdef _WIN32
// The Run key under the test's own stand-in for HKCU\Software; a number goes in as a REG_DWORD.
QString entry(const TempSettings& settings, const QString& planted = QString())
{
    QSettings run(settings.storeFolder().section(QLatin1Char('\\'), 0, -2) +
                      QStringLiteral("\\Microsoft\\Windows\\CurrentVersion\\Run"),
                  QSettings::NativeFormat);
    const QString name = QStringLiteral("Brindora Control");
    bool isNumber = false;
    const int number = planted.toInt(&isNumber);
    if (!planted.isEmpty())
        run.setValue(name, isNumber ? QVariant(number) : QVariant(planted));
    return run.value(name).toString();
}
#else
// The file's text. Planted, "system:" is a system-wide entry,
// "relative" a relative XDG_CONFIG_HOME (which must be ignored for ~/.config, here the same
// folder).
QString entry(const TempSettings& settings, const QString& planted = QString())
{
    const QString config = settings.configHome();
    const bool system = planted.startsWith(QStringLiteral("system:"));
    QFile file(config + (system ? QStringLiteral("/xdg") : QString()) +
               QStringLiteral("/autostart/brindora.desktop"));
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(config + QStringLiteral("/xdg")));
    if (planted == QStringLiteral("relative") &&
        QFile::link(config, config + QStringLiteral("/../.config"))) {
        qputenv("HOME", QFile::encodeName(config + QStringLiteral("/..")));
        qputenv("XDG_CONFIG_HOME", "config");
    }
    QDir().mkpath(QFileInfo(file).path());
    if (planted.contains(QLatin1Char('\n')) && file.open(QIODevice::WriteOnly))
        file.write(planted.mid(system ? 7 : 0).toUtf8());
    return planted.isEmpty() && file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll())
                                                               : QString();
}
#endif

} // namespace

class TestAutostart final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Each row: what is there before, whether that counts as on, the program the user turns it
    // on or off for, whether that is refused, and text the entry then holds (empty: none).
    void switchesTheEntry_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<bool>("wasOn");
        QTest::addColumn<QString>("program");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<QString>("after");
        const auto row = [](const char* name, const QString& before, bool wasOn,
                            const QString& program, bool refused, const QString& after) {
            QTest::newRow(name) << before << wasOn << program << refused << after;
        };
#ifdef _WIN32
        const QString program = QStringLiteral("C:/Program Files/Brindora Control/brindora.exe");
        const QString command =
            QStringLiteral("\"C:\\Program Files\\Brindora Control\\brindora.exe\" -autominimize");
        row("none", QString(), false, program, false, command);
        row("wrong kind", QStringLiteral("7"), false, program, false, command);
        row("ours, off", command, true, program, false, QString());
#else
        const QString x = QStringLiteral("/x");
        const QString hand = QStringLiteral("# mine\n[Desktop Entry]\nExec=env A=1 brindora\n");
        row("quoting", QString(), false, QStringLiteral(u"/a\"b`c$d\\e%f été/x"), false,
            QStringLiteral(
                u"\nExec=env \"/a\\\\\"b\\\\`c\\\\$d\\\\\\\\e%%f été/x\" -autominimize\n"));
        row("relative config home", QStringLiteral("relative"), false, x, false,
            QStringLiteral("Exec=\"/x\""));
        row("hidden by hand", hand + QStringLiteral("Hidden=true\n"), false, x, false, hand);
        row("off for GNOME", hand + QStringLiteral("X-GNOME-Autostart-enabled=false"), false, x,
            false, hand);
        row("by hand, off", hand, true, x, false,
            QStringLiteral("[Desktop Entry]\nHidden=true\nExec=env A=1"));
        row("ours, off", QStringLiteral("[Desktop Entry]\nX-Brindora-Control-Written=true\n"), true,
            x, false, QString());
        row("system-wide, off", QStringLiteral("system:") + hand, true, x, false,
            QStringLiteral("Hidden=true"));
        row("not an entry", QStringLiteral("notes\n"), false, x, true, QStringLiteral("notes"));
#endif
    }

    void switchesTheEntry()
    {
        QFETCH(QString, before);
        QFETCH(bool, wasOn);
        QFETCH(QString, program);
        QFETCH(bool, refused);
        QFETCH(QString, after);
        TempSettings settings;
        QVERIFY(settings.isValid());
        entry(settings, before);
        QCOMPARE(Autostart::isEnabled(), wasOn);
        const QString failure = Autostart::setEnabled(!wasOn, program);
        QVERIFY2(failure.isEmpty() == !refused, qPrintable(failure));
        QCOMPARE(Autostart::isEnabled(), wasOn == refused);
        QVERIFY2(after.isEmpty() ? entry(settings).isEmpty() : entry(settings).contains(after),
                 qPrintable(entry(settings)));
    }
};

QTEST_GUILESS_MAIN(TestAutostart)
#include "tst_autostart.moc"
