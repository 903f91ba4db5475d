#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QtGlobal>

struct xcb_connection_t;

// Whether an XEmbed tray manager holds the first screen's tray selection, learnt from the X
// server's own notices rather than asked again and again: a manager that takes the selection
// announces itself to every client (the MANAGER message), and one that goes is seen going by
// its window's end. Does nothing where the program does not run on X11.
class X11TrayWatch final : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    explicit X11TrayWatch(QObject* parent = nullptr);
    ~X11TrayWatch() override;
    X11TrayWatch(const X11TrayWatch&) = delete;
    X11TrayWatch& operator=(const X11TrayWatch&) = delete;

    bool hasTray() const { return m_owner != 0; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

Q_SIGNALS:
    // The tray manager changed: a new one (a restart) or none.
    void changed();

private:
    quint32 selectionOwner() const;
    void watchEnd(quint32 window);
    void lookUp();

    xcb_connection_t* m_connection = nullptr;
    quint32 m_manager = 0;
    quint32 m_selection = 0;
    quint32 m_owner = 0;
};
