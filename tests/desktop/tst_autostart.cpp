#include "Autostart.h"
#include "Tempsettings.h"

#include <QDir>
#include <QSettings>
#include <QTest>

// Plants an entry, or reads the one there.
#ifdef _WIN32
const QString program = QStringLiteral("C:/Program Files/Brindora Control/brindora.exe");

QString entry(const TempSettings& settings, const QVariant& planted = QVariant())
{
    // Under the test's own stand-in for HKCU\Software.
    QSettings run(settings.storeFolder().section(QLatin1Char('\\'), 0, -2) +
                      QStringLiteral("\\Microsoft\\Windows\\CurrentVersion\\Run"),
                  QSettings::NativeFormat);
    if (planted.isValid())
        run.setValue(QStringLiteral("Brindora Control"), planted);
    return run.value(QStringLiteral("Brindora Control")).toString();
}
#else
const QString program = QStringLiteral(u"/a\"b`c$d\\e%f été/x");

// "system:" plants a system-wide entry.
QString entry(const TempSettings& settings, const QVariant& planted = QVariant())
{
    const QString text = planted.toString();
    const bool system = text.startsWith(QStringLiteral("system:"));
    const QString folder = settings.configHome() + QStringLiteral("/xdg");
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(folder));
    QFile file((system ? folder : settings.configHome()) +
               QStringLiteral("/autostart/brindora.desktop"));
    if (planted.isValid() && QDir().mkpath(QFileInfo(file).path()) &&
        file.open(QIODevice::WriteOnly))
        file.write(text.mid(system ? 7 : 0).toUtf8());
    return !planted.isValid() && file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll())
                                                                : QString();
}
#endif

class TestAutostart final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // What is there, whether that counts as on, whether switching it is refused, and text the
    // entry then holds (empty: none).
    void switchesTheEntry_data()
    {
        QTest::addColumn<QVariant>("before");
        QTest::addColumn<bool>("wasOn");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<QString>("after");
#ifdef _WIN32
        const QString command =
            QStringLiteral("\"C:\\Program Files\\Brindora Control\\brindora.exe\" -autominimize");
        QTest::newRow("none") << QVariant() << false << false << command;
        QTest::newRow("wrong kind") << QVariant(7) << false << false << command;
        QTest::newRow("ours, off") << QVariant(command) << true << false << QString();
#else
        const QString hand = QStringLiteral("# mine\n[Desktop Entry]\nExec=env A=1 brindora\n");
        QTest::newRow("quoting") << QVariant() << false << false
                                 << QStringLiteral(u"\nExec=env \"/a\\\\\"b\\\\`c\\\\$d\\\\\\\\e"
                                                   u"%%f été/x\" -autominimize\n");
        QTest::newRow("hidden") << QVariant(hand + QLatin1String("Hidden=true")) << false << false
                                << hand;
        QTest::newRow("GNOME") << QVariant(hand + QLatin1String("X-GNOME-Autostart-enabled=false"))
                               << false << false << hand;
        QTest::newRow("by hand") << QVariant(hand) << true << false
                                 << QStringLiteral("[Desktop Entry]\nHidden=true\nExec=env A=1");
        QTest::newRow("ours") << QVariant(QLatin1String(
                                     "[Desktop Entry]\nX-Brindora-Control-Written=true\n"))
                              << true << false << QString();
        QTest::newRow("system") << QVariant(QLatin1String("system:") + hand) << true << false
                                << QStringLiteral("Hidden=true");
        QTest::newRow("no entry") << QVariant(QLatin1String("notes\n")) << false << true
                                  << QStringLiteral("notes");
#endif
    }

    void switchesTheEntry()
    {
        QFETCH(QVariant, before);
        QFETCH(bool, wasOn);
        QFETCH(bool, refused);
        QFETCH(QString, after);
        TempSettings settings;
        entry(settings, before);
        QCOMPARE(Autostart::isEnabled(), wasOn);
        QCOMPARE(Autostart::setEnabled(!wasOn, program).isEmpty(), !refused);
        QCOMPARE(Autostart::isEnabled(), wasOn == refused);
        QVERIFY2(after.isEmpty() ? entry(settings).isEmpty() : entry(settings).contains(after),
                 qPrintable(entry(settings)));
    }
};

QTEST_GUILESS_MAIN(TestAutostart)
#include "tst_autostart.moc"
