#include "Controlinput.h"

#include "Chaosserver.h"

#include <QSocketNotifier>

#include <cstdio>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

// A test never sends more; a longer line is thrown away rather than buffered.
constexpr int CommandLimit = 256;

void answer(const QByteArray& line)
{
    std::fputs(line.constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

ControlInput::ControlInput(ChaosServer& server, QObject* parent) : QObject(parent), m_server(server)
{
#ifdef Q_OS_UNIX
    m_notifier = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &ControlInput::onReadable);
#endif
}

ControlInput::~ControlInput() = default;

void ControlInput::onReadable()
{
#ifdef Q_OS_UNIX
    char buffer[CommandLimit];
    const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (got <= 0) {
        m_notifier->setEnabled(false);
        return;
    }
    m_pending.append(buffer, qsizetype(got));
    for (qsizetype end = m_pending.indexOf('\n'); end >= 0; end = m_pending.indexOf('\n')) {
        runCommand(m_pending.left(end).trimmed());
        m_pending.remove(0, end + 1);
    }
    if (m_pending.size() > CommandLimit) {
        m_pending.clear();
    }
#endif
}

void ControlInput::runCommand(const QByteArray& line)
{
    const QList<QByteArray> words = line.simplified().split(' ');
    if (words.size() == 2 && words[0] == "mode") {
        const auto mode = modeFromName(QString::fromLatin1(words[1]));
        if (!mode) {
            answer("error: unknown mode " + words[1]);
            return;
        }
        m_server.setMode(*mode);
        answer("mode " + words[1] + ' ' + QByteArray::number(m_server.generation()));
    } else if (words.size() == 1 && words[0] == "stats") {
        const ChaosStats& stats = m_server.stats();
        answer("stats connections=" + QByteArray::number(stats.connections) + " drops=" +
               QByteArray::number(stats.drops) + " lines=" + QByteArray::number(stats.lines) +
               " bytes=" + QByteArray::number(stats.bytes) +
               " clients=" + QByteArray::number(m_server.clientCount()));
    } else if (!line.isEmpty()) {
        answer("error: unknown command " + line);
    }
}
