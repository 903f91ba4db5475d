#include "Formfixture.h"

#include "Fbriconfig.h"
#include "Modal.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

bool FormFixture::setUp()
{
    m_settings = std::make_unique<TempSettings>();
    m_server = std::make_unique<LoopbackServer>();
    trayAvailable = true;
    return m_settings->isValid() && m_server->listen();
}

void FormFixture::tearDown()
{
    m_form.reset();
    m_server.reset();
    m_settings.reset();
}

TFormBrindora* FormFixture::createForm(const QStringList& extraArguments,
                                       const QString& startDirectory)
{
    BrindoraOptions options;
    options.arguments = QStringList{QStringLiteral("brindora")} + extraArguments;
    options.startDirectory = startDirectory;
    options.linkPort = m_server->port();
    options.notificationArea = [this] {
        auto area = std::make_unique<FakeNotificationArea>();
        area->available = trayAvailable;
        m_tray = area.get();
        return area;
    };
    m_form = std::make_unique<TFormBrindora>(options);
    m_form->show();
    return QTest::qWaitForWindowExposed(m_form.get()) ? m_form.get() : nullptr;
}

void FormFixture::runSetup(const QString& host, bool ok)
{
    whenModal([host, ok](QWidget* modal) {
        auto* dialog = qobject_cast<TFormBriConfig*>(modal);
        QVERIFY(dialog);
        dialog->EditHostName->setText(host);
        QTest::mouseClick(ok ? dialog->ButtonOk : dialog->ButtonCancel, Qt::LeftButton);
    });
    QTest::mouseClick(control<QPushButton>("ButtonSetup"), Qt::LeftButton);
}

bool FormFixture::connectToServer()
{
    runSetup(QStringLiteral("127.0.0.1"), true);
    return QTest::qWaitFor([this] { return m_server->openClientCount() == 1; });
}
