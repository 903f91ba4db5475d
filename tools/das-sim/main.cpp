// das-sim: a demo audio server to try the remote against without real hardware.

#include "Demoserver.h"
#include "Quitsignal.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHostAddress>

#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const QString& message)
{
    std::fprintf(stderr, "das-sim: %s\n", qPrintable(message));
    std::exit(1);
}

QString endpoint(const QHostAddress& address, quint16 port)
{
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                             ? QLatin1Char('[') + address.toString() + QLatin1Char(']')
                             : address.toString();
    return host + QLatin1Char(':') + QString::number(port);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("das-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Demo audio server for Brindora Control: plays a made-up playlist and "
                       "answers play, stop, next, prev and shuffle."));
    parser.addHelpOption();
    const QCommandLineOption hostOption(
        QStringLiteral("host"), QStringLiteral("IP address to listen on (default 127.0.0.1)."),
        QStringLiteral("ADDR"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption portOption(
        QStringLiteral("port"), QStringLiteral("TCP port to listen on, 0 for any free one."),
        QStringLiteral("N"), QString::number(DemoServer::DefaultPort));
    parser.addOption(hostOption);
    parser.addOption(portOption);
    parser.process(app);

    if (!parser.positionalArguments().isEmpty())
        fail(QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));

    // Only a literal address: listening must never widen to "any" by accident,
    // and a name could resolve to something other than the user expects.
    const QString hostText = parser.value(hostOption);
    const QHostAddress host(hostText);
    if (host.isNull())
        fail(QStringLiteral("'%1' is not an IP address").arg(hostText));

    bool portOk = false;
    const uint port = parser.value(portOption).toUInt(&portOk);
    if (!portOk || port > 65535)
        fail(QStringLiteral("'%1' is not a port number").arg(parser.value(portOption)));

    DemoServer server;
    if (!server.listen(host, quint16(port)))
        fail(QStringLiteral("cannot listen on %1: %2")
                 .arg(endpoint(host, quint16(port)), server.errorString()));

    const QuitSignal quitSignal;

    // Scripts and tests read this line to learn the port, so it is flushed now.
    std::printf("listening on %s\n",
                qPrintable(endpoint(server.serverAddress(), server.serverPort())));
    std::fflush(stdout);

    return QCoreApplication::exec();
}
