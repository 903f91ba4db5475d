#pragma once

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QObject>

class QDBusError;
class QDBusPendingCallWatcher;

// Whether a StatusNotifierItem host has registered with the session bus's watcher, learnt
// from the bus's own notices and asked of the watcher only when they say something changed.
// Every question is asynchronous: a watcher that hangs (a panel that hangs) must not hold the
// window. The answer follows Qt's own reading, which sees the property only when the
// watcher's introspection data declares it, and takes its value only when it has the declared
// type. Qt asks the same watcher and waits for it on the window's thread, so a watcher that is
// slow to answer counts as no usable host.
class StatusNotifierWatch final : public QObject
{
    Q_OBJECT

public:
    explicit StatusNotifierWatch(QObject* parent = nullptr);

    bool isWatcherPresent() const { return m_present; }
    // Whether the watcher there now has answered, or has been found slow: either way nothing
    // more is worth waiting for.
    bool isKnown() const { return !m_present || m_answered || m_slow; }
    // Whether the watcher's last answer says there is a host, however late it came: what Qt,
    // asking the same watcher, would hear.
    bool saysHost() const { return m_present && m_answered && m_host; }
    // A host that Qt may be left to ask: the watcher said so, and promptly.
    bool isHostRegistered() const { return saysHost() && !m_slow; }
    // How many times a watcher has taken the name straight over from another one.
    int takeovers() const { return m_takeovers; }

Q_SIGNALS:
    void changed();

private Q_SLOTS:
    void onHostsChanged();

private:
    void onOwnerChanged(const QString& oldOwner, const QString& newOwner);
    void ask();
    void onSlow(quint64 question);
    void onIntrospected(QDBusPendingCallWatcher* call, quint64 question);
    void onAnswered(QDBusPendingCallWatcher* call, quint64 question);
    // An error ends the question: whether anyone holds the name, and whether it answered.
    void settleOn(const QDBusError& error);
    void settle(bool present, bool answered, bool host);

    QDBusConnection m_bus;
    bool m_present = false;
    bool m_answered = false;
    bool m_host = false;
    bool m_slow = false;
    bool m_pending = false; // a question is out
    int m_takeovers = 0;
    // The type the watcher declares for the property.
    QString m_declaredType;
    QElapsedTimer m_asked;
    // Answers to an earlier question (an earlier watcher, a host since gone) are dropped.
    quint64 m_question = 0;
};
