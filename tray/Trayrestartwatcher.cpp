#include "Trayrestartwatcher.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTimer>

#ifdef _WIN32
#include <windows.h>
#elif defined(BRINDORA_HAVE_XCB)
#include <xcb/xcb.h>
#endif

namespace {

#if !defined(_WIN32) && defined(BRINDORA_HAVE_XCB)
xcb_connection_t* x11Connection()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

quint32 internAtom(xcb_connection_t* connection, const char* name)
{
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, static_cast<uint16_t>(qstrlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const quint32 atom = reply ? reply->atom : 0;
    free(reply);
    return atom;
}
#endif

} // namespace

TrayRestartWatcher::TrayRestartWatcher(std::function<void()> onRestart)
    : m_onRestart(std::move(onRestart))
{
#ifdef _WIN32
    m_restartMessage = RegisterWindowMessageW(L"TaskbarCreated");
#elif defined(BRINDORA_HAVE_XCB)
    if (xcb_connection_t* connection = x11Connection()) {
        m_restartMessage = internAtom(connection, "MANAGER");
        m_trayAtom = internAtom(connection, "_NET_SYSTEM_TRAY_S0");
    }
#endif
    if (m_restartMessage != 0) {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
}

TrayRestartWatcher::~TrayRestartWatcher()
{
    if (m_restartMessage != 0 && QCoreApplication::instance()) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }
}

bool TrayRestartWatcher::nativeEventFilter(const QByteArray& eventType, void* message,
                                           qintptr* result)
{
    bool restarted = false;
#ifdef _WIN32
    if (eventType == "windows_generic_MSG") {
        const MSG* msg = static_cast<const MSG*>(message);
        if (msg->message == m_restartMessage) {
            *result = 1;
            restarted = true;
        }
    }
#elif defined(BRINDORA_HAVE_XCB)
    Q_UNUSED(result)
    if (eventType == "xcb_generic_event_t") {
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
            const auto* client = static_cast<const xcb_client_message_event_t*>(message);
            restarted = client->type == m_restartMessage && client->format == 32 &&
                        client->data.data32[1] == m_trayAtom;
        }
    }
#else
    Q_UNUSED(eventType)
    Q_UNUSED(message)
    Q_UNUSED(result)
#endif
    if (restarted) {
        // After Qt has seen the new area itself; the event goes on to it unchanged.
        QTimer::singleShot(0, QCoreApplication::instance(), m_onRestart);
    }
    return false;
}
