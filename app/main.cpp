#include "Application.h"
#include "Commandline.h"
#include "Desktopplayer.h"
#include "Fbrindora.h"
#include "Netutil.h"
#include "Singleinstance.h"

#include <QDir>

#include <exception>

namespace {

// Lets tests and the demo talk to a server on another port; users never need it.
// Long enough for a copy to save its settings and end, short enough for an installer to wait.
constexpr int QuitWait = 5000;

quint16 linkPortFromEnvironment()
{
    bool ok = false;
    const int port = qEnvironmentVariableIntValue("BRINDORA_DAS_PORT", &ok);
    return ok && port > 0 && port <= 65535 ? static_cast<quint16>(port) : LinkPort;
}

} // namespace

int main(int argc, char* argv[])
{
    // Without the sockets library the window still opens; the link then shows that it can't
    // make a socket.
    const bool socketsStarted = startSockets();
    BrindoraOptions options;
    options.startDirectory = QDir::currentPath();
    options.linkPort = linkPortFromEnvironment();
    {
        BrindoraApplication application(argc, argv);
        options.arguments = QCoreApplication::arguments();
        // A copy already runs in this session: it shows its window (unless this start only
        // wanted to sit hidden) and this one ends without a second icon or connection.
        SingleInstance instance(sessionInstanceName());
        if (ScanForQuit(options.arguments)) {
            const auto outcome = instance.askToQuit(QuitWait);
            if (socketsStarted) {
                stopSockets();
            }
            return static_cast<int>(outcome);
        }
        const auto wish = ScanCommandLine(options.arguments) ? SingleInstance::Wish::Stay
                                                             : SingleInstance::Wish::Show;
        if (instance.handOver(wish)) {
            if (socketsStarted) {
                stopSockets();
            }
            return 0;
        }
        try {
            TFormBrindora form(options);
            DesktopPlayer player(form);
            QObject::connect(&instance, &SingleInstance::showRequested, &form,
                             &TFormBrindora::showOnRequest);
            QObject::connect(&instance, &SingleInstance::quitRequested, &form,
                             &TFormBrindora::quit);
            form.show();
            BrindoraApplication::exec();
        } catch (const std::exception& error) {
            BrindoraApplication::showException(QString::fromLocal8Bit(error.what()));
        } catch (...) {
            BrindoraApplication::showException(QStringLiteral("Unknown exception"));
        }
    }
    if (socketsStarted) {
        stopSockets();
    }
    return 0;
}
