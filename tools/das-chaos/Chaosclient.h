#pragma once

#include "Chaosmode.h"
#include "Chaosstats.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QRandomGenerator>
#include <QTimer>

class QTcpSocket;

// One connection of das-chaos: sends what the current mode calls for and throws away
// whatever the client sends. Deletes itself once the connection has ended.
class ChaosClient final : public QObject
{
    Q_OBJECT

public:
    // Takes ownership of the socket. The stats must outlive the client.
    ChaosClient(QTcpSocket* socket, quint32 seed, ChaosStats* stats, QObject* parent = nullptr);
    ~ChaosClient() override;

    ChaosClient(const ChaosClient&) = delete;
    ChaosClient& operator=(const ChaosClient&) = delete;

    // Starts the mode's behaviour afresh; the generation goes into the titles, so a client
    // can tell which titles were sent after a mode change.
    void setMode(ChaosMode mode, int generation);

    // Ends the connection: a reset (RST, unsent data thrown away) or an orderly close after
    // what is already queued.
    void drop(bool reset);

    // Bytes queued in this process and not yet taken by the system.
    qint64 unsentBytes() const;

Q_SIGNALS:
    // Emitted once, when the connection has ended for whatever reason.
    void finished();

private:
    void onTick();
    void onBytesWritten(qint64 bytes);
    void refill();
    void sendSteady();
    void sendCutPiece();
    void queue(const QByteArray& bytes, int lines);
    void finish();

    QTcpSocket* m_socket = nullptr;
    ChaosStats* m_stats = nullptr;
    QRandomGenerator m_random;
    QTimer m_timer;
    QTimer m_closeLimit;
    ChaosMode m_mode = ChaosMode::Silent;
    int m_generation = 0;
    quint64 m_serial = 0;
    quint64 m_seconds = 0;
    int m_ticksLeft = 0;
    QList<QByteArray> m_pieces;
    bool m_finished = false;
};
