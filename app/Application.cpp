#include "Application.h"

#include <QMessageBox>

#include <exception>

BrindoraApplication::BrindoraApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Brindora Control"));
    setOrganizationName(QStringLiteral("Pellwyn"));
    // Wayland compositors find the window's icon and name through the installed menu entry.
    setDesktopFileName(QStringLiteral("brindora"));
    // Dialogs are closed while the main window sits hidden; only Quit ends the program.
    setQuitOnLastWindowClosed(false);
}

bool BrindoraApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        showException(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        showException(QStringLiteral("Unknown exception"));
    }
    return false;
}

void BrindoraApplication::showException(const QString& text)
{
    QMessageBox::critical(nullptr, applicationName(), text);
}
