#include "Traychoice.h"

#include <QSystemTrayIcon>
#include <QThread>

TrayChoice::TrayChoice(QObject* parent) : QObject(parent) {}

TrayChoice::~TrayChoice() = default;

void TrayChoice::make()
{
    if (m_made || m_thread != nullptr) {
        return;
    }
    // The cheapest public way into Qt's choice: it makes no icon and draws nothing.
    m_thread = QThread::create([] { QSystemTrayIcon::supportsMessages(); });
    connect(m_thread, &QThread::finished, this, &TrayChoice::onFinished);
    m_thread->start();
}

void TrayChoice::onFinished()
{
    m_thread->deleteLater();
    m_thread = nullptr;
    m_made = true;
    Q_EMIT made();
}
