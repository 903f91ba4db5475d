#pragma once

#include <QByteArray>
#include <QObject>

#include <memory>

class ChaosServer;
class QSocketNotifier;

// Reads commands from standard input, one a line, so a test can steer a running das-chaos:
//   mode NAME   switch every connection to another mode; answers "mode NAME GENERATION"
//   stats       answers "stats connections=.. drops=.. lines=.. bytes=.. clients=.."
// Anything else is answered with "error: ...". The end of the input only ends the reading.
class ControlInput final : public QObject
{
    Q_OBJECT

public:
    explicit ControlInput(ChaosServer& server, QObject* parent = nullptr);
    ~ControlInput() override;

    ControlInput(const ControlInput&) = delete;
    ControlInput& operator=(const ControlInput&) = delete;

private:
    void onReadable();
    void runCommand(const QByteArray& line);

    ChaosServer& m_server;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QByteArray m_pending;
};
