#include "Desktopplayer.h"

#include "Fbrindora.h"

#include <QDBusConnection>

DesktopPlayer::DesktopPlayer(TFormBrindora& form)
    : m_form(form), m_service(m_state, {[&form](Command command) { form.sendToLink(command); },
                                        [&form] { form.showOnRequest(); }, [&form] { form.quit(); },
                                        [&form] { return form.restorePasswordInForce(); }})
{
    m_form.setLinkWatcher(&m_state);
    m_service.publish(QDBusConnection::sessionBus());
}

DesktopPlayer::~DesktopPlayer()
{
    m_form.setLinkWatcher(nullptr);
}
