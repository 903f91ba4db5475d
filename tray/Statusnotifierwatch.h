#pragma once

#include <QDBusConnection>
#include <QObject>

class QDBusError;
class QDBusPendingCallWatcher;

// Whether a StatusNotifierItem host has registered with the session bus's watcher, learnt
// from the bus's own notices and asked of the watcher only when they say something changed.
// Every question is asynchronous: a watcher that hangs (a panel that hangs) must not hold the
// window. The answer follows Qt's own reading, which sees the property only when the
// watcher's introspection data declares it readable, and takes its value only when it has the
// declared type.
class StatusNotifierWatch final : public QObject
{
    Q_OBJECT

public:
    explicit StatusNotifierWatch(QObject* parent = nullptr);

    bool isWatcherPresent() const { return m_present; }
    // Whether the watcher there now has answered: Qt asks it the same way, but waits.
    bool hasAnswered() const { return !m_present || m_answered; }
    bool isHostRegistered() const { return m_present && m_answered && m_host; }

Q_SIGNALS:
    void changed();

private Q_SLOTS:
    void onHostsChanged();

private:
    void onOwnerChanged(const QString& newOwner);
    void ask();
    void onIntrospected(QDBusPendingCallWatcher* call, quint64 question);
    void onAnswered(QDBusPendingCallWatcher* call, quint64 question);
    // An error ends the question: whether anyone holds the name, and whether it answered.
    void settleOn(const QDBusError& error);
    void settle(bool present, bool answered, bool host);

    QDBusConnection m_bus;
    bool m_present = false;
    bool m_answered = false;
    bool m_host = false;
    // The property's type as the watcher declares it.
    QString m_declaredType;
    // Answers to an earlier question (an earlier watcher, a host since gone) are dropped.
    quint64 m_question = 0;
};
