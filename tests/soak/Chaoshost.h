#pragma once

#include "Chaosmode.h"
#include "Chaosstats.h"

#include <QSemaphore>
#include <QThread>

class ChaosServer;

// Runs a das-chaos server in this process on a thread of its own: the server keeps sending
// while the test's thread is busy, and the test's event loop carries only what the
// program's own would.
class ChaosHost final : public QThread
{
public:
    ChaosHost(ChaosMode mode, quint32 seed);
    ~ChaosHost() override;

    // Starts the thread; true once the server listens.
    bool begin();
    quint16 port() const { return m_port; }

    // Both wait for the server's thread. setMode() returns the new generation.
    int setMode(ChaosMode mode);
    ChaosStats stats();

protected:
    void run() override;

private:
    const ChaosMode m_mode;
    const quint32 m_seed;
    QSemaphore m_ready;
    // Written before m_ready is released, read after it is acquired.
    ChaosServer* m_server = nullptr;
    quint16 m_port = 0;
};
