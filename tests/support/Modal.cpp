#include "Modal.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

void whenModal(std::function<void(QWidget*)> handle)
{
    auto* poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, handle = std::move(handle)] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            handle(modal);
        }
    });
    poll->start();
}
