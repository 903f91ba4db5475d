#pragma once

#include "Lineprotocol.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>

class MprisPlayerAdaptor;
class PlayerState;

// What the media controls may ask of the program: the same steps as its buttons and its
// tray icon.
struct PlayerActions
{
    std::function<void(Command)> send;
    std::function<void()> raise;
    std::function<void()> quit;
    // True while the window is away behind the restore password; none means never.
    std::function<bool()> guarded;
};

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
    // The transport commands are offered: the server connected, and the window not away
    // behind the restore password (a window in view can be used by whoever sits at it).
    bool canAct() const;
    // A transport command; ignored when not offered, as the controls say.
    void send(Command command) const;
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
    const PlayerActions m_actions;
    bool m_offered = false; // canAct() as last announced
    QString m_artUrl;
    MprisPlayerAdaptor* m_player = nullptr; // owned as a child
    QDBusConnection m_bus{QString()};
    QString m_busName;
};
