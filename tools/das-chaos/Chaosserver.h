#pragma once

#include "Backlogfiller.h"
#include "Chaosmode.h"
#include "Chaosstats.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>

class ChaosClient;

// A misbehaving audio server on 127.0.0.1. Every connection gets what the current mode
// calls for; a mode change applies to the connections already open as well as to new ones.
// Given the same seed, every connection makes the same random choices.
class ChaosServer final : public QObject
{
    Q_OBJECT

public:
    ChaosServer(ChaosMode mode, quint32 seed, QObject* parent = nullptr);
    ~ChaosServer() override;

    ChaosServer(const ChaosServer&) = delete;
    ChaosServer& operator=(const ChaosServer&) = delete;

    // Binds 127.0.0.1 only; port 0 picks a free one.
    bool listen(quint16 port);
    quint16 serverPort() const { return m_server.serverPort(); }
    QString errorString() const { return m_server.errorString(); }

    ChaosMode mode() const { return m_mode; }
    void setMode(ChaosMode mode);
    // Counts mode changes; the steady titles carry it ("Steady <generation>.<n>").
    int generation() const { return m_generation; }

    const ChaosStats& stats() const { return m_stats; }
    int clientCount() const { return int(m_clients.size()); }
    // Bytes queued for all clients and not yet taken by the system.
    qint64 unsentBytes() const;
    // In backlog mode: whether a connect now hangs.
    bool isBacklogFull() const { return m_filler.isFull(); }

private:
    void onNewConnection();
    void enterBacklog();
    void leaveBacklog();

    QTcpServer m_server;
    BacklogFiller m_filler;
    QList<ChaosClient*> m_clients;
    ChaosStats m_stats;
    ChaosMode m_mode;
    const quint32 m_seed;
    int m_generation = 0;
};
