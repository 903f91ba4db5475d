// Flood: the real main window, offscreen, against a server that sends status lines as fast
// as the program takes them. A precise timer measures how late each of its ticks comes: the
// worst and the 99th percentile of that lateness are the event loop's stalls. The same timer
// first runs with the window connected and the server quiet, as the reference.
//
//   bench_flood [--seconds N] [--baseline-seconds N] [--interval MS] [--das-chaos PATH]
//
// The flood comes from a server thread in this process unless --das-chaos names the
// das-chaos program, which is then started in its normal mode and switched to flood.

#include "Benchprofile.h"
#include "Benchserver.h"
#include "Benchstats.h"
#include "Fbrindora.h"
#include "Netutil.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

struct Options
{
    int seconds = 20;
    int baselineSeconds = 5;
    int intervalMs = 2;
    QString dasChaos;
};

Options parse(const QStringList& arguments)
{
    Options options;
    for (int i = 1; i + 1 < arguments.size(); ++i) {
        const QString& name = arguments[i];
        if (name == QLatin1String("--seconds")) {
            options.seconds = qBound(1, arguments[++i].toInt(), 600);
        } else if (name == QLatin1String("--baseline-seconds")) {
            options.baselineSeconds = qBound(1, arguments[++i].toInt(), 600);
        } else if (name == QLatin1String("--interval")) {
            options.intervalMs = qBound(1, arguments[++i].toInt(), 5);
        } else if (name == QLatin1String("--das-chaos")) {
            options.dasChaos = arguments[++i];
        }
    }
    return options;
}

// The calling thread's time on the processor and time spent runnable but waiting for one,
// in nanoseconds, as the scheduler counts them.
class SchedClock final
{
public:
    SchedClock() : m_fd(open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC)) {}
    ~SchedClock()
    {
        if (m_fd >= 0) {
            close(m_fd);
        }
    }
    SchedClock(const SchedClock&) = delete;
    SchedClock& operator=(const SchedClock&) = delete;

    void read(qint64* running, qint64* waiting) const
    {
        char text[128] = {};
        long long run = 0;
        long long wait = 0;
        if (m_fd >= 0 && pread(m_fd, text, sizeof text - 1, 0) > 0) {
            std::sscanf(text, "%lld %lld", &run, &wait);
        }
        *running = run;
        *waiting = wait;
    }

private:
    int m_fd;
};

// Lateness of each tick beyond the interval, in milliseconds, and what the GUI thread did
// meanwhile: ran (our code held the loop), waited for a processor (the machine was busy),
// or neither (it slept: nothing to do, or blocked on a lock).
class TickWatch final
{
public:
    explicit TickWatch(int intervalMs) : m_intervalMs(intervalMs)
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(intervalMs);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
    }

    void start()
    {
        m_late.clear();
        m_running.clear();
        m_waiting.clear();
        m_clock.start();
        m_last = 0;
        m_sched.read(&m_lastRun, &m_lastWait);
        m_timer.start();
    }
    void stop() { m_timer.stop(); }
    const std::vector<double>& late() const { return m_late; }
    const std::vector<double>& running() const { return m_running; }
    const std::vector<double>& waiting() const { return m_waiting; }

private:
    void tick()
    {
        const qint64 now = m_clock.nsecsElapsed();
        qint64 run = 0;
        qint64 wait = 0;
        m_sched.read(&run, &wait);
        m_late.push_back(qMax(0.0, static_cast<double>(now - m_last) / 1e6 - m_intervalMs));
        m_running.push_back(static_cast<double>(run - m_lastRun) / 1e6);
        m_waiting.push_back(static_cast<double>(wait - m_lastWait) / 1e6);
        m_last = now;
        m_lastRun = run;
        m_lastWait = wait;
    }

    const int m_intervalMs;
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    SchedClock m_sched;
    qint64 m_lastRun = 0;
    qint64 m_lastWait = 0;
    std::vector<double> m_late;
    std::vector<double> m_running;
    std::vector<double> m_waiting;
};

void runFor(int milliseconds)
{
    QTimer::singleShot(milliseconds, [] { QCoreApplication::exit(0); });
    QApplication::exec();
}

// The flood's time lines count its title, time and mode cycles.
qint64 cycleShown(const QLabel* label)
{
    return BenchServer::sampleFromText(label->text());
}

void report(const char* phase, const TickWatch& watch, int intervalMs)
{
    const std::vector<double>& late = watch.late();
    const std::vector<double>& running = watch.running();
    const Spread spread = spreadOf(late);
    const auto worst = std::max_element(late.begin(), late.end()) - late.begin();
    const Spread ran = spreadOf(running);
    const auto at = static_cast<std::size_t>(worst);
    std::printf("%s: %d ticks of %d ms, lateness p50 %.3f ms, p99 %.3f ms, worst %.3f ms "
                "(GUI thread ran %.3f ms of it, waited for a CPU %.3f ms); longest run between "
                "ticks %.3f ms\n",
                phase, spread.count, intervalMs, spread.p50, spread.p99, spread.max,
                late.empty() ? 0.0 : running[at], late.empty() ? 0.0 : watch.waiting()[at],
                ran.max);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    const Options options = parse(QCoreApplication::arguments());
    startSockets();

    BenchServer server(BenchServer::Mode::Flood);
    QProcess chaos;
    quint16 port = 0;
    if (options.dasChaos.isEmpty()) {
        port = server.start();
    } else {
        const int lifetime = options.seconds + options.baselineSeconds + 30;
        chaos.start(options.dasChaos, {QStringLiteral("--port"), QStringLiteral("0"),
                                       QStringLiteral("--mode"), QStringLiteral("normal"),
                                       QStringLiteral("--max-seconds"), QString::number(lifetime)});
        if (chaos.waitForStarted(5000) && chaos.waitForReadyRead(5000)) {
            port = static_cast<quint16>(QString::fromLatin1(chaos.readLine().trimmed())
                                            .section(QLatin1Char(':'), -1)
                                            .toUInt());
        }
    }
    if (port == 0) {
        std::fprintf(stderr, "bench_flood: no server to flood from\n");
        return 1;
    }

    BenchProfile profile(QByteArrayLiteral("127.0.0.1"));
    BrindoraOptions formOptions;
    formOptions.arguments = QStringList{QStringLiteral("brindora")};
    formOptions.linkPort = port;
    auto form = std::make_unique<TFormBrindora>(formOptions);
    form->show();
    const auto* timeLabel = form->findChild<QLabel*>(QStringLiteral("LabelTime"));
    runFor(1000); // connected and settled

    TickWatch watch(options.intervalMs);
    watch.start();
    runFor(options.baselineSeconds * 1000);
    watch.stop();
    report("quiet (reference)", watch, options.intervalMs);

    if (chaos.state() == QProcess::Running) {
        chaos.write("mode flood\n");
    } else {
        server.releaseFlood();
    }
    runFor(1000); // the flood under way
    const qint64 firstCycle = cycleShown(timeLabel);
    QElapsedTimer measured;
    measured.start();
    watch.start();
    runFor(options.seconds * 1000);
    watch.stop();
    const qint64 lastCycle = cycleShown(timeLabel);
    const double seconds = static_cast<double>(measured.nsecsElapsed()) / 1e9;

    form.reset();
    server.stop();
    if (chaos.state() == QProcess::Running) {
        chaos.terminate();
        chaos.waitForFinished(5000);
    }
    stopSockets();

    report("flood", watch, options.intervalMs);
    const double linesPerSecond = 3.0 * static_cast<double>(lastCycle - firstCycle) / seconds;
    // The link shows what one receive changed in one display step, so a line may be overtaken
    // by a newer one before it is shown; the time label's count still says how far it got.
    std::printf("flood: %.0f status lines/s reached the labels (shown or overtaken) over %.1f s "
                "(%s); load %.2f\n",
                linesPerSecond, seconds,
                options.dasChaos.isEmpty() ? "in-process server" : "das-chaos", loadAverage());
    // A flood that never reached the labels measured nothing: say so in the exit status.
    return firstCycle >= 0 && lastCycle > firstCycle && !watch.late().empty() ? 0 : 1;
}
