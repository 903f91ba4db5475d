#include "Desktopplayer.h"

#include "Fbrindora.h"
#include "Playerart.h"

#include <QDBusConnection>
#include <QFile>

// Outside any namespace: the resource's start-up function is declared where it is called.
static QByteArray programPicture()
{
    // The icons sit in a library of their own; this makes sure the linker keeps them.
    Q_INIT_RESOURCE(brindora_icons);
    QFile file(QStringLiteral(":/icons/brindora-256.png"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

DesktopPlayer::DesktopPlayer(TFormBrindora& form)
    : m_form(form), m_service(m_state, {[&form](Command command) { form.sendToLink(command); },
                                        [&form] { form.showOnRequest(); }, [&form] { form.quit(); },
                                        [&form] { return form.restorePasswordInForce(); }})
{
    m_form.setLinkWatcher(&m_state);
    if (m_service.publish(QDBusConnection::sessionBus())) {
        m_service.setArtUrl(writePlayerArt(playerArtFolder(), programPicture()));
    }
}

DesktopPlayer::~DesktopPlayer()
{
    m_form.setLinkWatcher(nullptr);
}
