#include "Chaoshost.h"

#include "Chaosserver.h"

#include <QMetaObject>

namespace {

constexpr int StartLimitMs = 10000;

} // namespace

ChaosHost::ChaosHost(ChaosMode mode, quint32 seed) : m_mode(mode), m_seed(seed) {}

ChaosHost::~ChaosHost()
{
    quit();
    wait();
}

bool ChaosHost::begin()
{
    start();
    return m_ready.tryAcquire(1, StartLimitMs) && m_port != 0;
}

int ChaosHost::setMode(ChaosMode mode)
{
    int generation = 0;
    QMetaObject::invokeMethod(
        m_server,
        [this, mode, &generation] {
            m_server->setMode(mode);
            generation = m_server->generation();
        },
        Qt::BlockingQueuedConnection);
    return generation;
}

ChaosStats ChaosHost::stats()
{
    ChaosStats stats;
    QMetaObject::invokeMethod(
        m_server, [this, &stats] { stats = m_server->stats(); }, Qt::BlockingQueuedConnection);
    return stats;
}

void ChaosHost::run()
{
    ChaosServer server(m_mode, m_seed);
    const bool listening = server.listen(0);
    m_port = listening ? server.serverPort() : 0;
    m_server = &server;
    m_ready.release();
    if (listening) {
        exec();
    }
}
