#include "Statusnotifierwatch.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QXmlStreamReader>

namespace {

const QString Watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString WatcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString HostProperty = QStringLiteral("IsStatusNotifierHostRegistered");

// Whether the introspection data declares the property on the watcher's interface.
bool declaresHostProperty(const QString& xml)
{
    QXmlStreamReader reader(xml);
    bool inWatcher = false;
    while (!reader.atEnd() && !reader.hasError()) {
        reader.readNext();
        if (reader.isEndElement() && reader.name() == QLatin1String("interface")) {
            inWatcher = false;
        } else if (reader.isStartElement()) {
            const QStringView name = reader.attributes().value(QLatin1String("name"));
            if (reader.name() == QLatin1String("interface")) {
                inWatcher = name == Watcher;
            } else if (inWatcher && reader.name() == QLatin1String("property") &&
                       name == HostProperty) {
                return true;
            }
        }
    }
    return false;
}

// The bus itself said no one holds the name: no watcher, and nothing to wait for.
bool isAbsent(const QDBusError& error)
{
    return error.type() == QDBusError::ServiceUnknown ||
           error.name() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner");
}

// No answer at all: the watcher hangs, and Qt's own question would hang the window with it.
bool isSilent(const QDBusError& error)
{
    return error.type() == QDBusError::NoReply || error.type() == QDBusError::Timeout ||
           error.type() == QDBusError::TimedOut;
}

} // namespace

StatusNotifierWatch::StatusNotifierWatch(QObject* parent)
    : QObject(parent), m_bus(QDBusConnection::sessionBus())
{
    if (!m_bus.isConnected()) {
        return;
    }
    auto* owner =
        new QDBusServiceWatcher(Watcher, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(owner, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) {
                onOwnerChanged(newOwner);
            });
    for (const char* notice : {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"}) {
        m_bus.connect(Watcher, WatcherPath, Watcher, QLatin1String(notice), this,
                      SLOT(onHostsChanged()));
    }
    // Until the first answer the watcher counts as there and silent.
    m_present = true;
    ask();
}

void StatusNotifierWatch::onHostsChanged()
{
    ask();
}

void StatusNotifierWatch::onOwnerChanged(const QString& newOwner)
{
    if (newOwner.isEmpty()) {
        ++m_question;
        settle(false, false, false);
    } else {
        settle(true, false, false);
        ask();
    }
}

void StatusNotifierWatch::ask()
{
    const quint64 question = ++m_question;
    const QDBusMessage introspect = QDBusMessage::createMethodCall(
        Watcher, WatcherPath, QStringLiteral("org.freedesktop.DBus.Introspectable"),
        QStringLiteral("Introspect"));
    auto* call = new QDBusPendingCallWatcher(m_bus.asyncCall(introspect), this);
    connect(call, &QDBusPendingCallWatcher::finished, this,
            [this, question](QDBusPendingCallWatcher* done) { onIntrospected(done, question); });
}

void StatusNotifierWatch::onIntrospected(QDBusPendingCallWatcher* call, quint64 question)
{
    call->deleteLater();
    if (question != m_question) {
        return;
    }
    const QDBusPendingReply<QString> reply = *call;
    if (reply.isError()) {
        settleOn(reply.error());
        return;
    }
    if (!declaresHostProperty(reply.value())) {
        settle(true, true, false);
        return;
    }
    QDBusMessage get = QDBusMessage::createMethodCall(
        Watcher, WatcherPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << Watcher << HostProperty;
    auto* next = new QDBusPendingCallWatcher(m_bus.asyncCall(get), this);
    connect(next, &QDBusPendingCallWatcher::finished, this,
            [this, question](QDBusPendingCallWatcher* done) { onAnswered(done, question); });
}

void StatusNotifierWatch::onAnswered(QDBusPendingCallWatcher* call, quint64 question)
{
    call->deleteLater();
    if (question != m_question) {
        return;
    }
    const QDBusPendingReply<QDBusVariant> reply = *call;
    if (reply.isError()) {
        settleOn(reply.error());
        return;
    }
    settle(true, true, reply.value().variant().toBool());
}

void StatusNotifierWatch::settleOn(const QDBusError& error)
{
    settle(!isAbsent(error), !isSilent(error), false);
}

void StatusNotifierWatch::settle(bool present, bool answered, bool host)
{
    m_present = present;
    m_answered = answered;
    m_host = host;
    Q_EMIT changed();
}
