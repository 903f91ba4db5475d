#include "Tbrindora.h"

#include "Linkmessages.h"

#include <QMetaObject>

#include <atomic>
#include <chrono>
#include <system_error>
#include <thread>

namespace {

// How long the link waits after a failure before the next attempt; a failure message stays up
// that long. Also the least time between two connects when the server hangs up soon after each.
constexpr std::chrono::milliseconds FailurePause{2000};

constexpr int ReceiveChunk = 1024;

} // namespace

TBrindora::TBrindora(quint16 port, const KeepAlive& keepAlive, QObject* parent)
    : QThread(parent), m_port(port), m_keepAlive(keepAlive)
{
}

TBrindora::~TBrindora()
{
    if (isRunning()) {
        Terminate();
        CloseLink();
        wait();
    }
    if (m_started) {
        m_waiter->waitEnded();
    }
}

void TBrindora::Resume()
{
    start();
    // A thread the system could not create never marks its end, so nothing may wait for it.
    m_started = isRunning() || isFinished();
}

void TBrindora::run()
{
    Execute();
    m_waiter->markEnded();
}

void TBrindora::Terminate()
{
    requestInterruption();
    m_waiter->stop();
}

int TBrindora::CloseLink()
{
    std::lock_guard<std::mutex> lock(m_socketMutex);
    if (m_socket == InvalidSocket) {
        return -1;
    }
    if (QThread::currentThread() != this) {
        return shutdownSocket(m_socket);
    }
    const int result = closeSocket(m_socket);
    m_socket = InvalidSocket;
    return result;
}

void TBrindora::SendCommand(const QByteArray& bytes)
{
    std::lock_guard<std::mutex> lock(m_socketMutex);
    if (m_socket != InvalidSocket) {
        sendBytes(m_socket, bytes.constData(), static_cast<int>(bytes.size()));
    }
}

NativeSocket TBrindora::currentSocket() const
{
    std::lock_guard<std::mutex> lock(m_socketMutex);
    return m_socket;
}

void TBrindora::Execute()
{
    if (!isInterruptionRequested()) {
        m_statusText = LinkMessage::connecting();
        showTitle();
    }
    while (!isInterruptionRequested()) {
        if (ConnectIfNeeded()) {
            ReceiveData();
        }
    }
    CloseLink();
}

bool TBrindora::ConnectIfNeeded()
{
    if (currentSocket() != InvalidSocket) {
        return true;
    }
    if (m_hostName.isEmpty()) {
        ShowStatus(LinkMessage::noHost());
        return false;
    }
    const NativeSocket socket = openStreamSocket(m_keepAlive);
    if (socket == InvalidSocket) {
        ShowStatus(LinkMessage::invalidSocket());
        return false;
    }
    {
        // Held from here on, so a CloseLink() during the look-up or the connect reaches it.
        std::lock_guard<std::mutex> lock(m_socketMutex);
        m_socket = socket;
    }

    QString failure;
    quint32 address = 0;
    if (!resolveHost(&address)) {
        failure = LinkMessage::unresolved();
    } else if (connectSocket(socket, address, m_port, [this] {
                   return isInterruptionRequested();
               }) != ConnectResult::Connected) {
        failure = LinkMessage::unreachable();
    } else {
        m_connectedAt = std::chrono::steady_clock::now();
        showConnected(true);
        return true;
    }
    ShowStatus(failure);
    CloseLink();
    return false;
}

bool TBrindora::resolveHost(quint32* address)
{
    if (parseDottedAddress(m_hostName.constData(), address)) {
        return true;
    }
    // A look-up can take as long as the name servers like and can't be interrupted, so it
    // runs on a thread of its own that a stopped link simply stops waiting for.
    struct Lookup
    {
        std::atomic<bool> done{false};
        bool found = false;
        quint32 address = 0;
    };
    auto lookup = std::make_shared<Lookup>();
    try {
        std::thread([lookup, waiter = m_waiter, name = m_hostName] {
            lookup->found = ResolveHost(name.constData(), &lookup->address);
            lookup->done = true;
            waiter->notify();
        }).detach();
    } catch (const std::system_error&) {
        return ResolveHost(m_hostName.constData(), address);
    }
    if (!m_waiter->waitUntil([&] { return lookup->done.load(); })) {
        return false;
    }
    *address = lookup->address;
    return lookup->found;
}

void TBrindora::ShowStatus(const QString& text)
{
    m_statusText = text;
    showTitle();
    m_waiter->pause(FailurePause);
}

void TBrindora::ReceiveData()
{
    char buffer[ReceiveChunk];
    const qint64 received = receiveBytes(currentSocket(), buffer, ReceiveChunk,
                                         [this] { return isInterruptionRequested(); });
    if (received <= 0) {
        CloseLink();
        showConnected(false);
        // A server that hangs up at once, with or without a word first (full, or not a DAS),
        // would otherwise be called again as fast as it can hang up, and each call costs the
        // window two display steps. Counted from the connect, so a connection that lived
        // longer is followed at once.
        const auto lived = std::chrono::steady_clock::now() - m_connectedAt;
        if (lived < FailurePause) {
            m_waiter->pause(std::chrono::ceil<std::chrono::milliseconds>(FailurePause - lived));
        }
        return;
    }
    m_assembler.feed(buffer, static_cast<std::size_t>(received),
                     [this](const char* line) { HandleLine(line); });
    showReceived();
}

void TBrindora::HandleLine(const char* line)
{
    // Recorded, not shown yet: a receive can hold dozens of lines, and a trip to the GUI
    // thread for each would leave the window far behind a busy server.
    const StatusLine status = decodeStatusLine(line);
    switch (status.kind) {
    case StatusLine::Title:
        m_receivedTitle = status.title;
        break;
    case StatusLine::Time:
        m_hours = status.values[0];
        m_minutes = status.values[1];
        m_seconds = status.values[2];
        m_receivedTime = true;
        break;
    case StatusLine::Mode:
        m_mode = status.values;
        m_receivedMode = true;
        break;
    case StatusLine::Ignored:
        break;
    }
}

void TBrindora::runDisplayStep(const DisplayStep& step)
{
    if (m_waiter->isStopped()) {
        return;
    }
    // A blocking queued call that a stop request can cut short: the link waits for the GUI
    // thread, but Quit or a host change never has to wait for the link. The step travels
    // under our own lock, not inside the queued event.
    quint64 serial = 0;
    m_waiter->update([&] {
        m_pendingStep = step;
        serial = ++m_stepsPosted;
    });
    QMetaObject::invokeMethod(this, "runPendingStep", Qt::QueuedConnection);
    m_waiter->waitUntil([&] { return m_stepsShown >= serial; });
}

void TBrindora::runPendingStep()
{
    DisplayStep step;
    quint64 serial = 0;
    m_waiter->update([&] {
        step = m_pendingStep;
        serial = m_stepsPosted;
    });
    applyStep(step);
    m_waiter->update([&] { m_stepsShown = serial; });
}

void TBrindora::applyStep(const DisplayStep& step)
{
    if (!m_display) {
        return;
    }
    if (step.connected) {
        m_display->showConnected(*step.connected);
    }
    if (step.song) {
        m_display->showSong(*step.song, step.songKind);
    }
    if (step.time) {
        m_display->showTime(*step.time);
    }
    if (step.shuffle) {
        m_display->showShuffle(*step.shuffle);
    }
}

void TBrindora::showTitle()
{
    DisplayStep step;
    step.song = m_statusText;
    runDisplayStep(step);
}

void TBrindora::showConnected(bool connected)
{
    DisplayStep step;
    step.connected = connected;
    runDisplayStep(step);
}

void TBrindora::showReceived()
{
    // Only the last line of each kind is turned into text: it is all the window will show.
    DisplayStep step;
    if (m_receivedTitle) {
        m_statusText = titleText(*m_receivedTitle);
        step.song = m_statusText;
        step.songKind = LinkDisplay::SongText::Title;
    }
    if (m_receivedTime) {
        step.time = LinkDisplay::Time{formatTime(m_hours, m_minutes, m_seconds), m_hours, m_minutes,
                                      m_seconds};
    }
    if (m_receivedMode) {
        step.shuffle = m_mode[2] != 0;
    }
    m_receivedTitle.reset();
    m_receivedTime = false;
    m_receivedMode = false;
    if (!step.isEmpty()) {
        runDisplayStep(step);
    }
}
