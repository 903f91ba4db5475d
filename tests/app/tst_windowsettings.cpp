#include "Fbriconfig.h"
#include "Fbrindora.h"
#include "Modal.h"
#include "Netutil.h"
#include "Tempsettings.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

QPoint screenCentre()
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    return {screen.width() / 2, screen.height() / 2};
}

} // namespace

// The window's place and server, kept in a real settings file in a temporary folder.
class TestWindowSettings final : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TempSettings> m_settings;

    static std::unique_ptr<TFormBrindora> startProgram()
    {
        BrindoraOptions options;
        options.arguments = QStringList{QStringLiteral("brindora")};
        // Nothing listens there, so the link stays out of the way.
        options.linkPort = 9;
        auto form = std::make_unique<TFormBrindora>(options);
        form->show();
        if (!QTest::qWaitForWindowExposed(form.get())) {
            qWarning("window not exposed");
        }
        return form;
    }

    static void setupWith(TFormBrindora& form, const QString& host)
    {
        whenModal([host](QWidget* modal) {
            auto* dialog = qobject_cast<TFormBriConfig*>(modal);
            QVERIFY(dialog);
            dialog->EditHostName->setText(host);
            QTest::mouseClick(dialog->ButtonOk, Qt::LeftButton);
        });
        QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("ButtonSetup")),
                          Qt::LeftButton);
    }

    static void quit(TFormBrindora& form)
    {
        QTimer::singleShot(0, &form, [&form] {
            QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("ButtonQuit")),
                              Qt::LeftButton);
        });
        QCoreApplication::exec();
    }

    QVariantMap store() const
    {
        QVariantMap values;
        if (!m_settings->readStore(values)) {
            qWarning("store unreadable");
        }
        return values;
    }

private Q_SLOTS:
    void initTestCase() { startSockets(); }

    void init()
    {
        m_settings = std::make_unique<TempSettings>();
        QVERIFY(m_settings->isValid());
    }

    void cleanup() { m_settings.reset(); }

    void firstStartCentresTheWindowAndStoresTheDefaults()
    {
        auto form = startProgram();
        QCOMPARE(form->pos(), screenCentre());
        QTRY_VERIFY(store().contains(QStringLiteral("hostname"))); // once the window is up
        const QVariantMap values = store();
        QCOMPARE(values.value(QStringLiteral("viewertop")).toInt(), screenCentre().y());
        QCOMPARE(values.value(QStringLiteral("viewerleft")).toInt(), screenCentre().x());
        QCOMPARE(values.value(QStringLiteral("hostname")).toString(), QString());
    }

    void setupOkStoresPlaceAndServerAtOnce()
    {
        auto form = startProgram();
        form->move(31, 47);
        setupWith(*form, QStringLiteral("das.local"));
        const QVariantMap values = store();
        QCOMPARE(values.value(QStringLiteral("viewertop")).toInt(), 47);
        QCOMPARE(values.value(QStringLiteral("viewerleft")).toInt(), 31);
        QCOMPARE(values.value(QStringLiteral("hostname")).toString(), QStringLiteral("das.local"));
    }

    void closingTheWindowWritesNothing()
    {
        auto form = startProgram();
        QTRY_VERIFY(!m_settings->readRaw().isEmpty()); // the defaults, once the window is up
        const QByteArray before = m_settings->readRaw();
        form->move(12, 13);
        form->close();
        QCoreApplication::processEvents();
        QCOMPARE(m_settings->readRaw(), before);
    }

    void aRestartComesBackWhereItWasWithTheSameServer()
    {
        {
            auto form = startProgram();
            setupWith(*form, QStringLiteral("127.0.0.1"));
            form->move(64, 80);
            quit(*form);
        }
        auto form = startProgram();
        QCOMPARE(form->pos(), QPoint(64, 80));
        QCOMPARE(form->hostName(), QStringLiteral("127.0.0.1"));
    }

    void aPlaceOutOfReachFallsBackToTheCentre_data()
    {
        QTest::addColumn<QByteArray>("place");
        QTest::newRow("off every screen") << QByteArray("viewertop=100\nviewerleft=30000\n");
        QTest::newRow("title bar above the screen") << QByteArray("viewertop=-30\nviewerleft=-3\n");
    }

    void aPlaceOutOfReachFallsBackToTheCentre()
    {
        QFETCH(QByteArray, place);
        QVERIFY(m_settings->writeRaw("[General]\n" + place + "hostname=127.0.0.1\n"));
        auto form = startProgram();
        QCOMPARE(form->pos(), screenCentre());
        QCOMPARE(form->hostName(), QStringLiteral("127.0.0.1"));
    }

    void anUnreadableStoreStartsWithDefaultsAndIsKept()
    {
#ifdef _WIN32
        QSKIP("a file's bytes: the registry has no store that is there but not text");
#endif
        const QByteArray garbage("\x01\x02 not a store [ \xff\xfe\n=");
        QVERIFY(m_settings->writeRaw(garbage));
        auto form = startProgram();
        QCOMPARE(form->pos(), screenCentre());
        QCOMPARE(form->hostName(), QString());
        setupWith(*form, QStringLiteral("127.0.0.1"));
        quit(*form);
        QCOMPARE(m_settings->readRaw(), garbage);
    }

    void anOverlongStoredHostIsCut()
    {
        QVERIFY(m_settings->writeRaw("[General]\nhostname=" + QByteArray(3000, 'h') + "\n"));
        auto form = startProgram();
        QCOMPARE(form->hostName().size(), TFormBriConfig::HostNameLimit);
    }
};

QTEST_MAIN(TestWindowSettings)
#include "tst_windowsettings.moc"
