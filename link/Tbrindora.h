#pragma once

#include "Lineprotocol.h"
#include "Linkdisplay.h"
#include "Linkwaiter.h"
#include "Netutil.h"

#include <QByteArray>
#include <QString>
#include <QThread>

#include <array>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>

// The link to the audio server: a thread that connects, reconnects after every loss, reads
// status lines and shows what they say through a borrowed display. The display is called
// only on the GUI thread, in short display steps the link thread waits for.
class TBrindora final : public QThread
{
    Q_OBJECT

public:
    // Must be created on the GUI thread: the display steps run in this object's thread.
    // Created suspended: Resume() starts it once host name and display are filled in.
    explicit TBrindora(quint16 port = LinkPort, const KeepAlive& keepAlive = LinkKeepAlive,
                       QObject* parent = nullptr);
    ~TBrindora() override;

    // Filled in while suspended, before Resume().
    void setHostName(const QByteArray& hostName) { m_hostName = hostName; }
    // The display must outlive the link, or be detached from it first.
    void setDisplay(LinkDisplay* display) { m_display = display; }

    void Resume();

    // Asks the thread to end and wakes it from every wait except a receive or a connect,
    // which CloseLink() wakes. Not QThread::terminate(), which would kill it outright.
    void Terminate();

    // From the link thread: closes the socket. From any other thread: shuts the socket down
    // so a blocked receive or connect returns; the link thread itself then closes it, so a
    // socket number is never closed twice or used after the system has handed it out again.
    // -1 when there is no socket.
    int CloseLink();

    // Called from the GUI thread; never blocks. Dropped silently when not connected.
    void SendCommand(const QByteArray& bytes);

    // GUI thread: from now on this link leaves the display alone, even for display steps
    // that are already on their way.
    void detachDisplay() { m_display = nullptr; }

protected:
    void run() override;

private:
    // What the GUI thread is to show next, handed over under the waiter's lock. Only what
    // changed is set.
    struct DisplayStep
    {
        std::optional<QString> song;
        LinkDisplay::SongText songKind = LinkDisplay::SongText::Status;
        std::optional<LinkDisplay::Time> time;
        std::optional<bool> shuffle;
        std::optional<bool> connected;
        bool isEmpty() const { return !song && !time && !shuffle && !connected; }
    };

    void Execute();
    bool ConnectIfNeeded();
    bool resolveHost(quint32* address);
    void ShowStatus(const QString& text);
    void ReceiveData();
    void HandleLine(const char* line);

    NativeSocket currentSocket() const;
    void runDisplayStep(const DisplayStep& step);
    Q_INVOKABLE void runPendingStep();
    void applyStep(const DisplayStep& step);
    void showTitle();
    void showConnected(bool connected);
    void showReceived();

    mutable std::mutex m_socketMutex; // guards m_socket; only the link thread closes it
    NativeSocket m_socket = InvalidSocket;
    LineAssembler m_assembler;
    const quint16 m_port;
    const KeepAlive m_keepAlive;
    // When the open connection was made: how long it lived decides when to call again.
    std::chrono::steady_clock::time_point m_connectedAt;
    QByteArray m_hostName;
    qint32 m_hours = 0;
    qint32 m_minutes = 0;
    qint32 m_seconds = 0;
    QString m_statusText;
    std::array<qint32, 3> m_mode{0, 0, 0};
    // What the lines of the current receive changed, shown together once it is read.
    std::optional<QByteArray> m_receivedTitle;
    bool m_receivedTime = false;
    bool m_receivedMode = false;

    LinkDisplay* m_display = nullptr; // GUI thread only

    const std::shared_ptr<LinkWaiter> m_waiter = std::make_shared<LinkWaiter>();
    bool m_started = false; // the thread really runs; GUI thread only
    // Under the waiter's lock.
    DisplayStep m_pendingStep;
    quint64 m_stepsPosted = 0;
    quint64 m_stepsShown = 0;
};
