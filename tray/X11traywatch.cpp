#include "X11traywatch.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>

X11TrayWatch::X11TrayWatch(QObject* parent) : QObject(parent)
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    m_connection = x11 ? x11->connection() : nullptr;
    if (m_connection == nullptr) {
        return;
    }
    // Both names in one round trip, and only once.
    const char* names[] = {"MANAGER", "_NET_SYSTEM_TRAY_S0"};
    xcb_intern_atom_cookie_t cookies[2];
    for (int i = 0; i < 2; ++i) {
        cookies[i] =
            xcb_intern_atom(m_connection, 0, static_cast<uint16_t>(qstrlen(names[i])), names[i]);
    }
    quint32* atoms[] = {&m_manager, &m_selection};
    for (int i = 0; i < 2; ++i) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(m_connection, cookies[i], nullptr);
        *atoms[i] = reply ? reply->atom : 0;
        std::free(reply);
    }
    if (m_manager == 0 || m_selection == 0) {
        m_connection = nullptr;
        return;
    }
    QCoreApplication::instance()->installNativeEventFilter(this);
    lookUp();
}

X11TrayWatch::~X11TrayWatch()
{
    if (m_connection != nullptr && QCoreApplication::instance()) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }
}

quint32 X11TrayWatch::selectionOwner() const
{
    xcb_get_selection_owner_reply_t* reply = xcb_get_selection_owner_reply(
        m_connection, xcb_get_selection_owner(m_connection, m_selection), nullptr);
    const quint32 owner = reply ? reply->owner : 0;
    std::free(reply);
    return owner;
}

void X11TrayWatch::watchEnd(quint32 window)
{
    // A window already gone by now is no error worth a message: the look-up that follows
    // sees the selection without it.
    const quint32 mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    const xcb_void_cookie_t cookie =
        xcb_change_window_attributes_checked(m_connection, window, XCB_CW_EVENT_MASK, &mask);
    xcb_discard_reply(m_connection, cookie.sequence);
}

void X11TrayWatch::lookUp()
{
    // The manager's window ending is the only sign of a manager gone without a successor, so
    // a manager counts as there only once its end would be seen: one that ended before that
    // shows as gone from the selection on the second look.
    quint32 owner = selectionOwner();
    for (int looks = 0; owner != 0 && looks < 3; ++looks) {
        watchEnd(owner);
        const quint32 again = selectionOwner();
        if (again == owner) {
            break;
        }
        owner = again;
    }
    m_owner = owner;
}

bool X11TrayWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const uint8_t type = event->response_type & 0x7f;
    if (type == XCB_CLIENT_MESSAGE) {
        const auto* client = static_cast<const xcb_client_message_event_t*>(message);
        if (client->type == m_manager && client->format == 32 &&
            client->data.data32[1] == m_selection) {
            lookUp();
            Q_EMIT changed();
        }
    } else if (type == XCB_DESTROY_NOTIFY && m_owner != 0) {
        const auto* destroyed = static_cast<const xcb_destroy_notify_event_t*>(message);
        if (destroyed->window == m_owner) {
            // A successor may have taken the selection already and announced itself first.
            lookUp();
            Q_EMIT changed();
        }
    }
    // The events go on to Qt unchanged: it re-embeds its icon itself.
    return false;
}
