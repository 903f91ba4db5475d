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
    // True while the restore password guards the program; none means no password.
    std::function<bool()> passwordInForce;
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
    // Fixed for the run, as clients read it once: false when a restore password was in force
    // as the player appeared. A guarded player shows what plays and takes no command.
    bool isControllable() const { return m_controllable; }
    // The transport commands are offered: controllable, and the server connected.
    bool canAct() const;
    // A transport command; ignored when not offered, as the controls say, and while a
    // password set since the start guards the program.
    void send(Command command) const;
    // A file:// address of the picture the media panels show; empty for none.
    void setArtUrl(const QString& url) { m_artUrl = url; }
    const QString& artUrl() const { return m_artUrl; }
    // Run after the bus call has been answered: either may open a dialog that waits.
    void raise();
    void quit();

private:
    void announce(const QVariantMap& changed);
    void unpublish();
    bool isGuarded() const;

    const PlayerState& m_state;
    const PlayerActions m_actions;
    const bool m_controllable;
    QString m_artUrl;
    MprisPlayerAdaptor* m_player = nullptr; // owned as a child
    QDBusConnection m_bus{QString()};
    QString m_busName;
};
