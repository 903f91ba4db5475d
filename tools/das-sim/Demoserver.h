#pragma once

#include "Playlist.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QTimer>

class DemoClient;

// A stand-in for the audio server: plays a made-up playlist, takes the five
// transport commands and reports title, running time and shuffle mode to
// every connected client as 303, 304 and 305 status lines.
class DemoServer final : public QObject
{
    Q_OBJECT

public:
    static constexpr quint16 DefaultPort = 1966;

    explicit DemoServer(Playlist playlist = Playlist::demo(), QObject* parent = nullptr);
    ~DemoServer() override;

    DemoServer(const DemoServer&) = delete;
    DemoServer& operator=(const DemoServer&) = delete;

    // Binds exactly the given address, never "any"; port 0 picks a free one.
    bool listen(const QHostAddress& address, quint16 port);
    QString errorString() const { return m_server.errorString(); }
    QHostAddress serverAddress() const { return m_server.serverAddress(); }
    quint16 serverPort() const { return m_server.serverPort(); }

    // One second of song time passes per tick; tests shorten it.
    void setTickInterval(int milliseconds) { m_tick.setInterval(milliseconds); }

    int clientCount() const { return int(m_clients.size()); }

private:
    void onNewConnection();
    void onCommand(const QByteArray& command);
    void onTick();

    void play();
    void stop();
    void changeTrack();
    void toggleShuffle();

    QByteArray titleLine() const;
    QByteArray timeLine() const;
    QByteArray modeLine() const;
    void broadcast(const QByteArray& lines);

    QTcpServer m_server;
    QTimer m_tick;
    Playlist m_playlist;
    int m_elapsedSeconds = 0;
    QList<DemoClient*> m_clients;
};
