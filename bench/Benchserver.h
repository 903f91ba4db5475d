#pragma once

#include <QtGlobal>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

class QString;
class QTcpServer;
class QTcpSocket;

// A status server on 127.0.0.1 for the benchmarks, on a thread of its own so that what it
// does never shows up as a stall of the program's event loop. It serves one client.
//
// Paced: time lines whose h:m:s encode a sample number, one at a time, each written only
// after the previous one was seen (or gave up on), then a random pause; the moment of each
// write is kept so the reader can work out the latency. Flood: title, time and mode lines
// in the same form as das-chaos's flood, as fast as the client takes them.
class BenchServer final
{
public:
    enum class Mode
    {
        Paced,
        Flood
    };

    BenchServer(Mode mode, int samples = 0);
    ~BenchServer();
    BenchServer(const BenchServer&) = delete;
    BenchServer& operator=(const BenchServer&) = delete;

    // Listens and starts serving; 0 when it can't listen.
    quint16 start();
    void stop();

    // Paced: steady-clock nanoseconds of sample n's write, 0 before it.
    qint64 sentAt(int sample) const;
    void markSeen(int sample) { m_seen.store(sample); }
    bool pacedDone() const { return m_done.load(); }

    // Flood: nothing is sent until released, so the same connection serves a quiet baseline.
    void releaseFlood() { m_flooding = true; }
    quint64 linesSent() const { return m_lines.load(); }

    // The h:m:s of sample n as the label shows it, and back (-1 for anything else).
    static int sampleFromText(const QString& text);

    static qint64 nowNs();

private:
    void serve(QTcpServer& listener);
    void servePaced(QTcpSocket& socket);
    void serveFlood(QTcpSocket& socket);

    const Mode m_mode;
    const int m_samples;
    std::vector<std::atomic<qint64>> m_sent;
    std::atomic<int> m_seen{0};
    std::atomic<bool> m_done{false};
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_flooding{false};
    std::atomic<quint64> m_lines{0};
    std::atomic<int> m_port{-1};
    std::thread m_thread;
};
