// Status to screen: from the server's write of a time line to the label showing it, one line
// at a time, on loopback, with the real link thread.
//
//   bench_statuslatency [--samples N] [--form | --reference]
//
// By default the link drives a real QLabel whose new text is stamped the moment setText()
// returns. With --form it is the real main window, and the stamp is the paint of its time
// label that first shows the new text: the whole way to the screen's backing store. The
// reference, --reference, is the least a Qt program can do: a QTcpSocket on the GUI thread
// that decodes each line and sets the same kind of label, with no link thread in between.

#include "Benchprofile.h"
#include "Benchserver.h"
#include "Benchstats.h"
#include "Fbrindora.h"
#include "Lineprotocol.h"
#include "Linkowner.h"
#include "Netutil.h"
#include "Tbrindora.h"

#include <QApplication>
#include <QEvent>
#include <QHostAddress>
#include <QLabel>
#include <QPushButton>
#include <QTcpSocket>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

struct Options
{
    int samples = 3000;
    bool form = false;
    bool reference = false;
};

Options parse(const QStringList& arguments)
{
    Options options;
    for (int i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--form")) {
            options.form = true;
        } else if (arguments[i] == QLatin1String("--reference")) {
            options.reference = true;
        } else if (arguments[i] == QLatin1String("--samples") && i + 1 < arguments.size()) {
            options.samples = qBound(10, arguments[++i].toInt(), 100000);
        }
    }
    return options;
}

// Collects one latency per sample, the first time the label shows that sample.
class Recorder final
{
public:
    explicit Recorder(BenchServer& server) : m_server(server) {}

    void observe(const QString& text)
    {
        const qint64 now = BenchServer::nowNs();
        const int sample = BenchServer::sampleFromText(text);
        if (sample <= m_last) {
            return;
        }
        m_last = sample;
        if (const qint64 sent = m_server.sentAt(sample); sent > 0) {
            m_latenciesMs.push_back(static_cast<double>(now - sent) / 1e6);
        }
        m_server.markSeen(sample);
    }

    const std::vector<double>& latencies() const { return m_latenciesMs; }

private:
    BenchServer& m_server;
    std::vector<double> m_latenciesMs;
    int m_last = 0;
};

// The link's display as three plain controls, without the rest of the window. Each new time
// is stamped the moment its label has taken it.
class LabelDisplay final : public LinkDisplay
{
public:
    LabelDisplay(QLabel* song, QLabel* time, QPushButton* shuffle, Recorder& recorder)
        : m_song(song), m_time(time), m_shuffle(shuffle), m_recorder(recorder)
    {
    }
    void showSong(const QString& text, SongText) override { m_song->setText(text); }
    void showTime(const Time& time) override
    {
        m_time->setText(time.text);
        m_recorder.observe(time.text);
    }
    void showShuffle(bool on) override
    {
        QFont font = m_shuffle->font();
        font.setBold(on);
        m_shuffle->setFont(font);
    }
    void showConnected(bool) override {}

private:
    QLabel* m_song;
    QLabel* m_time;
    QPushButton* m_shuffle;
    Recorder& m_recorder;
};

// Watches the real window's time label paint.
class PaintWatch final : public QObject
{
public:
    PaintWatch(QLabel* label, Recorder& recorder) : m_label(label), m_recorder(recorder)
    {
        label->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_label && event->type() == QEvent::Paint) {
            m_recorder.observe(m_label->text());
        }
        return false;
    }

private:
    QLabel* m_label;
    Recorder& m_recorder;
};

// The reference reader: what the link does with a time line, done on the GUI thread as data
// arrives.
void readLines(QTcpSocket& socket, QLabel& label, Recorder& recorder)
{
    while (socket.canReadLine()) {
        const StatusLine status = decodeStatusLine(socket.readLine().trimmed().constData());
        if (status.kind == StatusLine::Time) {
            label.setText(formatTime(status.values[0], status.values[1], status.values[2]));
            recorder.observe(label.text());
        }
    }
}

const char* modeName(const Options& options)
{
    if (options.form) {
        return "main window, time label painted";
    }
    return options.reference ? "reference: QTcpSocket on the GUI thread to QLabel, text set"
                             : "link to QLabel, text set";
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

    BenchServer server(BenchServer::Mode::Paced, options.samples);
    const quint16 port = server.start();
    if (port == 0) {
        std::fprintf(stderr, "bench_statuslatency: cannot listen on 127.0.0.1\n");
        return 1;
    }
    Recorder recorder(server);

    // Either the real window, or a window of three controls driven by the real link.
    BenchProfile profile(QByteArrayLiteral("127.0.0.1"));
    std::unique_ptr<QWidget> window;
    std::unique_ptr<PaintWatch> paintWatch;
    std::unique_ptr<LabelDisplay> display;
    std::unique_ptr<LinkOwner> links;
    QTcpSocket referenceSocket;
    if (options.reference) {
        window = std::make_unique<QWidget>();
        auto* time = new QLabel(window.get());
        QObject::connect(
            &referenceSocket, &QTcpSocket::readyRead,
            [&referenceSocket, time, &recorder] { readLines(referenceSocket, *time, recorder); });
        referenceSocket.connectToHost(QHostAddress::LocalHost, port);
    } else if (options.form) {
        BrindoraOptions formOptions;
        formOptions.arguments = QStringList{QStringLiteral("brindora")};
        formOptions.linkPort = port;
        window = std::make_unique<TFormBrindora>(formOptions);
        paintWatch = std::make_unique<PaintWatch>(
            window->findChild<QLabel*>(QStringLiteral("LabelTime")), recorder);
    } else {
        window = std::make_unique<QWidget>();
        auto* song = new QLabel(window.get());
        auto* time = new QLabel(window.get());
        auto* shuffle = new QPushButton(QStringLiteral("Shuf"), window.get());
        links = std::make_unique<LinkOwner>();
        auto link = std::make_unique<TBrindora>(port);
        link->setHostName(QByteArrayLiteral("127.0.0.1"));
        display = std::make_unique<LabelDisplay>(song, time, shuffle, recorder);
        link->setDisplay(display.get());
        TBrindora* started = link.get();
        links->replace(std::move(link));
        started->Resume();
    }
    window->show();

    QTimer done;
    QObject::connect(&done, &QTimer::timeout, [&server] {
        if (server.pacedDone()) {
            QCoreApplication::exit(0);
        }
    });
    done.start(100);
    // Bounded even if the link never connects.
    QTimer::singleShot(options.samples * 20 + 10000, [] { QCoreApplication::exit(2); });
    const int result = QApplication::exec();

    links.reset();
    display.reset();
    paintWatch.reset();
    window.reset();
    server.stop();
    stopSockets();

    const Spread spread = spreadOf(recorder.latencies());
    std::printf("status to screen (%s): samples %d of %d, p50 %.3f ms, p90 %.3f ms, "
                "p99 %.3f ms, max %.3f ms; load %.2f\n",
                modeName(options), spread.count, options.samples, spread.p50, spread.p90,
                spread.p99, spread.max, loadAverage());
    return result == 0 && spread.count > 0 ? 0 : 1;
}
