// das-chaos: a misbehaving audio server, to see the remote survive faults and come back.

#include "Chaosmode.h"
#include "Chaosserver.h"
#include "Controlinput.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const QString& message)
{
    std::fprintf(stderr, "das-chaos: %s\n", qPrintable(message));
    std::exit(1);
}

uint number(const QCommandLineParser& parser, const QCommandLineOption& option, uint limit)
{
    bool ok = false;
    const uint value = parser.value(option).toUInt(&ok);
    if (!ok || value > limit) {
        fail(QStringLiteral("'%1' is not a valid --%2")
                 .arg(parser.value(option), option.names().constFirst()));
    }
    return value;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("das-chaos"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A misbehaving audio server on 127.0.0.1 for soak and fault tests. "
                       "Reads 'mode NAME' and 'stats' commands from standard input."));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("TCP port, 0 for any free one."),
                                        QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption modeOption(QStringLiteral("mode"),
                                        QStringLiteral("One of: %1.").arg(modeNames().join(u", ")),
                                        QStringLiteral("MODE"), QStringLiteral("normal"));
    const QCommandLineOption seedOption(QStringLiteral("seed"),
                                        QStringLiteral("Seed of every random choice."),
                                        QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption lifetimeOption(
        QStringLiteral("max-seconds"),
        QStringLiteral("Quit by itself after this many seconds, 0 for never."), QStringLiteral("N"),
        QStringLiteral("0"));
    parser.addOptions({portOption, modeOption, seedOption, lifetimeOption});
    parser.process(app);

    if (!parser.positionalArguments().isEmpty()) {
        fail(QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));
    }
    const auto mode = modeFromName(parser.value(modeOption));
    if (!mode) {
        fail(QStringLiteral("unknown mode '%1'").arg(parser.value(modeOption)));
    }
    const auto port = quint16(number(parser, portOption, 65535));
    const quint32 seed = number(parser, seedOption, 0xFFFFFFFFu);
    const uint lifetime = number(parser, lifetimeOption, 24 * 3600);

    ChaosServer server(*mode, seed);
    if (!server.listen(port)) {
        fail(QStringLiteral("cannot listen on 127.0.0.1:%1: %2")
                 .arg(port)
                 .arg(server.errorString()));
    }
    const ControlInput control(server);
    if (lifetime > 0) {
        // A test that dies without ending us must not leave a flood running.
        QTimer::singleShot(std::chrono::seconds(lifetime), &app, &QCoreApplication::quit);
    }

    // Scripts and tests read this line to learn the port, so it is flushed now.
    std::printf("listening on 127.0.0.1:%u\n", unsigned(server.serverPort()));
    std::fflush(stdout);

    return QCoreApplication::exec();
}
