#include "Mprisservice.h"

#include "Mprisadaptors.h"
#include "Playerstate.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QMetaObject>

namespace {

const QString PlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");

} // namespace

MprisService::MprisService(const PlayerState& state, PlayerActions actions)
    : m_state(state), m_commands(state, std::move(actions))
{
    m_offered = canAct();
    new MprisRootAdaptor(this);
    m_player = new MprisPlayerAdaptor(this);

    connect(&state, &PlayerState::trackChanged, this, [this] {
        announce({{QStringLiteral("Metadata"), m_player->metadata()}});
    });
    connect(&state, &PlayerState::playingChanged, this, [this] {
        announce({{QStringLiteral("PlaybackStatus"), m_player->playbackStatus()}});
    });
    connect(&state, &PlayerState::shuffleChanged, this, [this] {
        announce({{QStringLiteral("Shuffle"), m_player->shuffle()}});
    });
    // CanControl stays as it is: clients read it once and never expect it to change.
    connect(&state, &PlayerState::connectedChanged, this, &MprisService::announceOffer);
}

MprisService::~MprisService()
{
    unpublish();
}

bool MprisService::publish(const QDBusConnection& bus)
{
    unpublish();
    if (!bus.isConnected() ||
        !QDBusConnection(bus).registerObject(ObjectPath, this, QDBusConnection::ExportAdaptors)) {
        return false;
    }
    m_bus = bus;
    // A second player on one bus takes a name of its own, as media players are told to.
    const QString instance =
        QStringLiteral("%1.instance%2")
            .arg(BaseName, QString::number(QCoreApplication::applicationPid()));
    for (const QString& name : {BaseName, instance}) {
        if (m_bus.registerService(name)) {
            m_busName = name;
            return true;
        }
    }
    m_bus.unregisterObject(ObjectPath);
    m_bus = QDBusConnection(QString());
    return false;
}

void MprisService::unpublish()
{
    if (!m_busName.isEmpty()) {
        m_bus.unregisterService(m_busName);
        m_busName.clear();
    }
    if (m_bus.isConnected()) {
        m_bus.unregisterObject(ObjectPath);
    }
    m_bus = QDBusConnection(QString());
}

void MprisService::guardChanged()
{
    announceOffer();
}

void MprisService::announceOffer()
{
    const bool can = canAct();
    if (can == m_offered) {
        return;
    }
    m_offered = can;
    announce({{QStringLiteral("CanGoNext"), can},
              {QStringLiteral("CanGoPrevious"), can},
              {QStringLiteral("CanPlay"), can},
              {QStringLiteral("CanPause"), can}});
}

void MprisService::raise()
{
    if (m_commands.actions().raise) {
        QMetaObject::invokeMethod(this, m_commands.actions().raise, Qt::QueuedConnection);
    }
}

void MprisService::quit()
{
    if (m_commands.actions().quit) {
        QMetaObject::invokeMethod(this, m_commands.actions().quit, Qt::QueuedConnection);
    }
}

void MprisService::announce(const QVariantMap& changed)
{
    if (m_busName.isEmpty()) {
        return;
    }
    QDBusMessage signal =
        QDBusMessage::createSignal(ObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    signal << PlayerInterface << changed << QStringList();
    m_bus.send(signal);
}
