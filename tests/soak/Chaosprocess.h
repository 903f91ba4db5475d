#pragma once

#include "Chaosstats.h"

#include <QByteArray>
#include <QProcess>
#include <QString>

// The das-chaos executable, run for one test and steered through its standard input. It
// quits by itself after a few minutes, so a test that dies can't leave it flooding.
class ChaosProcess final
{
public:
    ChaosProcess(const QString& mode, quint32 seed);
    ~ChaosProcess();

    ChaosProcess(const ChaosProcess&) = delete;
    ChaosProcess& operator=(const ChaosProcess&) = delete;

    // True once it listens; port() then says where.
    bool start();
    quint16 port() const { return m_port; }
    bool isRunning() const { return m_process.state() == QProcess::Running; }

    bool setMode(const QString& mode);
    // All zero when no answer comes.
    ChaosStats stats();

private:
    // Sends a command and returns the first line of output that starts with the prefix;
    // empty when it answers with an error or not at all.
    QByteArray ask(const QByteArray& command, const QByteArray& prefix);
    QByteArray nextLine(const QByteArray& prefix);

    QProcess m_process;
    const QString m_mode;
    const quint32 m_seed;
    quint16 m_port = 0;
};
