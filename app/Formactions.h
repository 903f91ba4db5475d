#pragma once

#include "Fbrindora.h"
#include "Playercommands.h"

// What the desktop's media controls may do with the window, whatever the system: the
// window's own commands, its return from the icon and Quit, behind the window's own guard.
inline PlayerActions formPlayerActions(TFormBrindora& form)
{
    return {[&form](Command command) { form.sendToLink(command); },
            [&form] { form.showOnRequest(); }, [&form] { form.quit(); },
            [&form] { return form.isGuarded(); }};
}
