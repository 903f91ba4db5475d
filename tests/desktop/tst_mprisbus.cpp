#include "Mprisservice.h"
#include "Playerstate.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QTest>

// Runs on a private session bus of its own (dbus-run-session) and reads the player through
// a second connection, as a desktop panel would.
class TestMprisBus final : public QObject
{
    Q_OBJECT

public Q_SLOTS:
    void onPropertiesChanged(const QString& interface, const QVariantMap& changed,
                             const QStringList&)
    {
        m_announced.append(interface + u':' + QStringList(changed.keys()).join(u','));
    }

private:
    PlayerState m_state;
    MprisService m_service{m_state, {}};
    QDBusConnection m_client =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("panel"));
    QStringList m_announced;

    QVariant property(const QString& name)
    {
        QDBusMessage get = QDBusMessage::createMethodCall(
            m_service.busName(), MprisService::ObjectPath,
            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        get << QStringLiteral("org.mpris.MediaPlayer2.Player") << name;
        // Answered by this thread's own event loop, so never waited for with it stopped.
        QDBusPendingCall call = m_client.asyncCall(get);
        [&call] { QTRY_VERIFY(call.isFinished()); }();
        return QDBusPendingReply<QDBusVariant>(call).value().variant();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(m_client.isConnected(), "run under dbus-run-session");
        QVERIFY(m_service.publish(QDBusConnection::sessionBus()));
        QCOMPARE(m_service.busName(), MprisService::BaseName);
        QVERIFY(m_client.connect(m_service.busName(), MprisService::ObjectPath,
                                 QStringLiteral("org.freedesktop.DBus.Properties"),
                                 QStringLiteral("PropertiesChanged"), this,
                                 SLOT(onPropertiesChanged(QString, QVariantMap, QStringList))));
    }

    // Types a panel relies on, and change signals for all but the position.
    void typesAndSignals()
    {
        m_state.showSong(QStringLiteral("Blue"), LinkDisplay::SongText::Title);
        m_state.showTime({QString(), 0, 1, 0});
        m_state.showShuffle(true);
        QTRY_COMPARE(m_announced.join(u' '),
                     QStringLiteral("org.mpris.MediaPlayer2.Player:Metadata "
                                    "org.mpris.MediaPlayer2.Player:Shuffle"));
        QVariantMap metadata;
        property(QStringLiteral("Metadata")).value<QDBusArgument>() >> metadata;
        QCOMPARE(metadata.value(QStringLiteral("xesam:title")), QVariant(QStringLiteral("Blue")));
        QVERIFY(metadata.value(QStringLiteral("mpris:trackid")).canConvert<QDBusObjectPath>());
        QCOMPARE(property(QStringLiteral("Position")), QVariant(qlonglong(60000000)));
    }

    void secondPlayerTakesAnInstanceName()
    {
        PlayerState state;
        MprisService second(state, {});
        QVERIFY(second.publish(m_client));
        QVERIFY(second.busName().startsWith(MprisService::BaseName + QStringLiteral(".instance")));
    }

    void noBusIsQuiet()
    {
        QVERIFY(!MprisService(m_state, {}).publish(QDBusConnection(QStringLiteral("none"))));
    }
};

QTEST_GUILESS_MAIN(TestMprisBus)
#include "tst_mprisbus.moc"
