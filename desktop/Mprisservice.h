#pragma once

#include "Playercommands.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>

class MprisPlayerAdaptor;
class PlayerState;

// The program as a media player on the session bus, for the desktop's media keys and panels.
// Its properties follow the player state; every change but the position is announced.
class MprisService final : public QObject
{
    Q_OBJECT

public:
    static inline const QString ObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
    static inline const QString BaseName = QStringLiteral("org.mpris.MediaPlayer2.brindora");

    // The state must outlive the service.
    MprisService(const PlayerState& state, PlayerActions actions);
    ~MprisService() override;
    MprisService(const MprisService&) = delete;
    MprisService& operator=(const MprisService&) = delete;

    // Appears on the bus; false, quietly, when there is no bus or it refuses.
    bool publish(const QDBusConnection& bus);
    // The name taken on the bus; empty while not published.
    const QString& busName() const { return m_busName; }

    const PlayerState& state() const { return m_state; }
    // Always: clients read it once, and the commands come and go with the four below.
    bool isControllable() const { return true; }
    bool canAct() const { return m_commands.canAct(); }
    void send(Command command) const { m_commands.send(command); }
    void press(MediaButton button) const { m_commands.press(button); }
    // The guard may have changed: the offer is looked at again and a change announced.
    void guardChanged();
    // A file:// address of the picture the media panels show; empty for none.
    void setArtUrl(const QString& url) { m_artUrl = url; }
    const QString& artUrl() const { return m_artUrl; }
    // Run after the bus call has been answered: either may open a dialog that waits.
    void raise();
    void quit();

private:
    void announce(const QVariantMap& changed);
    void unpublish();
    void announceOffer();

    const PlayerState& m_state;
    const PlayerCommands m_commands;
    bool m_offered = false; // canAct() as last announced
    QString m_artUrl;
    MprisPlayerAdaptor* m_player = nullptr; // owned as a child
    QDBusConnection m_bus{QString()};
    QString m_busName;
};
