#include "Statusnotifierwatch.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QTimer>
#include <QXmlStreamReader>

namespace {

const QString Watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString WatcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString HostProperty = QStringLiteral("IsStatusNotifierHostRegistered");

// Qt's own question takes two of the watcher's answers, on the window's thread: ours take as
// many, so a watcher that needs longer than this for them would hold the window too long.
constexpr int PromptMilliseconds = 500;
constexpr int RetryMilliseconds = 5000;

// The type the introspection data declares for the property on the watcher's interface, or
// nothing where it is not declared. As in Qt, the last declaration of the interface counts
// wherever it stands, a property whose access is none of the three D-Bus knows is dropped, and
// one declared write-only is read all the same.
QString declaredHostType(const QString& xml)
{
    QXmlStreamReader reader(xml);
    bool inWatcher = false;
    QString type;
    while (!reader.atEnd() && !reader.hasError()) {
        reader.readNext();
        if (reader.isEndElement() && reader.name() == QLatin1String("interface")) {
            inWatcher = false;
        } else if (reader.isStartElement()) {
            const QXmlStreamAttributes attributes = reader.attributes();
            const QStringView name = attributes.value(QLatin1String("name"));
            const QStringView access = attributes.value(QLatin1String("access"));
            if (reader.name() == QLatin1String("interface")) {
                inWatcher = name == Watcher;
                if (inWatcher) {
                    type.clear();
                }
            } else if (inWatcher && reader.name() == QLatin1String("property") &&
                       name == HostProperty &&
                       (access == QLatin1String("read") || access == QLatin1String("write") ||
                        access == QLatin1String("readwrite"))) {
                type = attributes.value(QLatin1String("type")).toString();
            }
        }
    }
    return type;
}

// As Qt reads it: a value of another type than the declared one is no value at all.
bool readsAsHost(const QString& declaredType, const QVariant& value)
{
    const char* type = QDBusMetaType::typeToSignature(value.metaType());
    return type != nullptr && QLatin1String(type) == declaredType && value.toBool();
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
            [this](const QString&, const QString& oldOwner, const QString& newOwner) {
                onOwnerChanged(oldOwner, newOwner);
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
    // A watcher that announces itself gets a new chance to show it is prompt.
    ask();
}

void StatusNotifierWatch::onOwnerChanged(const QString& oldOwner, const QString& newOwner)
{
    // Qt registers its item again only with a watcher that found the name free.
    if (!oldOwner.isEmpty() && !newOwner.isEmpty()) {
        ++m_takeovers;
    }
    // Whatever the last owner said or failed to say is of no account for the new one.
    ++m_question;
    m_slow = false;
    settle(!newOwner.isEmpty(), false, false);
    if (!newOwner.isEmpty()) {
        ask();
    }
}

void StatusNotifierWatch::ask()
{
    const quint64 question = ++m_question;
    // The last verdict on the watcher's speed stands until it has answered again.
    m_pending = true;
    m_asked.start();
    QTimer::singleShot(PromptMilliseconds, this, [this, question] { onSlow(question); });
    const QDBusMessage introspect = QDBusMessage::createMethodCall(
        Watcher, WatcherPath, QStringLiteral("org.freedesktop.DBus.Introspectable"),
        QStringLiteral("Introspect"));
    auto* call = new QDBusPendingCallWatcher(m_bus.asyncCall(introspect), this);
    connect(call, &QDBusPendingCallWatcher::finished, this,
            [this, question](QDBusPendingCallWatcher* done) { onIntrospected(done, question); });
}

void StatusNotifierWatch::onSlow(quint64 question)
{
    if (question == m_question && m_pending) {
        m_slow = true;
        Q_EMIT changed();
    }
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
    m_declaredType = declaredHostType(reply.value());
    if (m_declaredType.isEmpty()) {
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
    settle(true, true, readsAsHost(m_declaredType, reply.value().variant()));
}

void StatusNotifierWatch::settleOn(const QDBusError& error)
{
    m_slow = isSilent(error);
    settle(!isAbsent(error), !m_slow, false);
}

void StatusNotifierWatch::settle(bool present, bool answered, bool host)
{
    m_present = present;
    m_answered = answered;
    m_host = host;
    m_pending = false;
    if (answered) {
        // Qt's own question would have waited as long.
        m_slow = m_asked.elapsed() > PromptMilliseconds;
    }
    if (m_present && m_slow) {
        // It may only have been busy for a while (a desktop that is starting): asked again
        // later, rather than left without an icon until it happens to announce a host.
        QTimer::singleShot(RetryMilliseconds, this, [this, question = m_question] {
            if (question == m_question) {
                ask();
            }
        });
    }
    Q_EMIT changed();
}
