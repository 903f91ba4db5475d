#include "Desktopplayer.h"

#include "Fbrindora.h"
#include "Firstframe.h"
#include "Formactions.h"
#include "Hidetask.h"
#include "Mprisservice.h"
#include "Playerart.h"
#include "Playerstate.h"

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

struct DesktopPlayer::Parts
{
    explicit Parts(TFormBrindora& form) : form(form), service(state, formPlayerActions(form))
    {
        QObject::connect(form.hideTask(), &THideOnTaskbar::guardChanged, &service,
                         &MprisService::guardChanged);
    }

    TFormBrindora& form;
    PlayerState state;
    MprisService service;
};

DesktopPlayer::DesktopPlayer(TFormBrindora& form) : m_parts(std::make_unique<Parts>(form))
{
    form.setLinkWatcher(&m_parts->state);
    // On the bus, with its picture, once the window is up: the first frame needs neither.
    MprisService* service = &m_parts->service;
    afterFirstFrame(&form, service, [service] {
        if (service->publish(QDBusConnection::sessionBus())) {
            service->setArtUrl(writePlayerArt(playerArtFolder(), programPicture()));
        }
    });
}

DesktopPlayer::~DesktopPlayer()
{
    m_parts->form.setLinkWatcher(nullptr);
}
