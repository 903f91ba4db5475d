#include "Desktopplayer.h"

#include "Fbrindora.h"
#include "Mprisservice.h"
#include "Playerstate.h"

#include <QDBusConnection>

struct DesktopPlayer::Parts
{
    explicit Parts(TFormBrindora& form)
        : form(form),
          service(state, {[&form](Command command) { form.sendToLink(command); },
                          [&form] { form.restoreAsTrayClick(); }, [&form] { form.quit(); }})
    {
    }

    TFormBrindora& form;
    PlayerState state;
    MprisService service;
};

DesktopPlayer::DesktopPlayer(TFormBrindora& form) : m_parts(std::make_unique<Parts>(form))
{
    form.setLinkWatcher(&m_parts->state);
    m_parts->service.publish(QDBusConnection::sessionBus());
}

DesktopPlayer::~DesktopPlayer()
{
    m_parts->form.setLinkWatcher(nullptr);
}
