#include "Mprisadaptors.h"

#include "Mprisservice.h"
#include "Playerstate.h"

MprisRootAdaptor::MprisRootAdaptor(MprisService* service)
    : QDBusAbstractAdaptor(service), m_service(service)
{
}

QString MprisRootAdaptor::identity() const
{
    return QStringLiteral("Brindora Control");
}

QString MprisRootAdaptor::desktopEntry() const
{
    // The installed menu entry's name, without ".desktop": panels take the icon from it.
    return QStringLiteral("brindora");
}

void MprisRootAdaptor::Raise()
{
    m_service->raise();
}

void MprisRootAdaptor::Quit()
{
    m_service->quit();
}

MprisPlayerAdaptor::MprisPlayerAdaptor(MprisService* service)
    : QDBusAbstractAdaptor(service), m_service(service)
{
}

QString MprisPlayerAdaptor::playbackStatus() const
{
    return m_service->state().isPlaying() ? QStringLiteral("Playing") : QStringLiteral("Stopped");
}

QVariantMap MprisPlayerAdaptor::metadata() const
{
    const PlayerState& state = m_service->state();
    if (!state.hasTitle()) {
        return {};
    }
    // Paths under /org/mpris are reserved for MPRIS itself.
    const QString track =
        QStringLiteral("/brindora/track/%1").arg(QString::number(state.trackNumber()));
    QVariantMap data{{QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(track))},
                     {QStringLiteral("xesam:title"), state.title()}};
    if (!m_service->artUrl().isEmpty()) {
        data.insert(QStringLiteral("mpris:artUrl"), m_service->artUrl());
    }
    return data;
}

qlonglong MprisPlayerAdaptor::position() const
{
    return m_service->state().positionMicroseconds();
}

bool MprisPlayerAdaptor::shuffle() const
{
    return m_service->state().isShuffle();
}

void MprisPlayerAdaptor::setShuffle(bool on)
{
    // The server only toggles; the property follows when it reports the new mode.
    if (on != shuffle()) {
        m_service->send(Command::Shuffle);
    }
}

bool MprisPlayerAdaptor::canControl() const
{
    return m_service->isControllable();
}

bool MprisPlayerAdaptor::canAct() const
{
    return m_service->canAct();
}

void MprisPlayerAdaptor::Next()
{
    m_service->press(MediaButton::Next);
}

void MprisPlayerAdaptor::Previous()
{
    m_service->press(MediaButton::Previous);
}

void MprisPlayerAdaptor::Pause()
{
    m_service->press(MediaButton::Pause);
}

void MprisPlayerAdaptor::PlayPause()
{
    m_service->press(MediaButton::PlayPause);
}

void MprisPlayerAdaptor::Stop()
{
    m_service->press(MediaButton::Stop);
}

void MprisPlayerAdaptor::Play()
{
    m_service->press(MediaButton::Play);
}
