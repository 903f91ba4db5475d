#pragma once

#include "Fakenotificationarea.h"
#include "Fbrindora.h"
#include "Loopbackserver.h"
#include "Tempsettings.h"

#include <QString>
#include <QStringList>

#include <memory>

// The main window as a test drives it: a throw-away settings store, a scripted server on
// loopback and a fake notification area.
class FormFixture final
{
public:
    // Call from the test's init(); false when something could not be set up.
    bool setUp();
    void tearDown();

    // Makes and shows the window; nullptr when it never appeared.
    TFormBrindora* createForm(const QStringList& extraArguments = {},
                              const QString& startDirectory = {});

    template <typename T> T* control(const char* name) const
    {
        T* found = m_form->findChild<T*>(QLatin1String(name));
        if (found == nullptr) {
            qFatal("no control %s", name);
        }
        return found;
    }

    // Presses Setup and answers the dialog with the host and Ok or Cancel.
    void runSetup(const QString& host, bool ok);
    // Setup with 127.0.0.1; true once the server sees the connection.
    bool connectToServer();

    TFormBrindora* form() const { return m_form.get(); }
    LoopbackServer& server() const { return *m_server; }
    TempSettings& settings() const { return *m_settings; }
    FakeNotificationArea* tray() const { return m_tray; }
    void destroyForm() { m_form.reset(); }

    bool trayAvailable = true; // for the next createForm()

private:
    std::unique_ptr<TempSettings> m_settings;
    std::unique_ptr<LoopbackServer> m_server;
    std::unique_ptr<TFormBrindora> m_form;
    FakeNotificationArea* m_tray = nullptr; // owned by the form
};
