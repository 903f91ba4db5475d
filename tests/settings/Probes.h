#pragma once

#include "Tempsettings.h"

#include <QProcess>
#include <QStringList>

#include <memory>
#include <vector>

// Copies of the settings probe (another program using the store) started against the
// temporary store; any still running are ended when the set goes.
class Probes final
{
public:
    explicit Probes(const TempSettings& store) : m_store(store) {}
    ~Probes()
    {
        for (auto& probe : m_running) {
            probe->kill();
            probe->waitForFinished(-1);
        }
    }
    Probes(const Probes&) = delete;
    Probes& operator=(const Probes&) = delete;

    QProcess* start(const QStringList& args)
    {
        m_running.push_back(std::make_unique<QProcess>());
        QProcess* probe = m_running.back().get();
        probe->setProcessEnvironment(m_store.environment());
        probe->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        probe->start(QStringLiteral(SETTINGS_PROBE), args);
        return probe;
    }

private:
    const TempSettings& m_store;
    std::vector<std::unique_ptr<QProcess>> m_running;
};
