#pragma once

#include <QApplication>

// The application object. An exception that escapes an event handler is shown to the user
// in a message box and the program carries on, as it would for any other failed action.
class BrindoraApplication final : public QApplication
{
    Q_OBJECT

public:
    BrindoraApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    static void showException(const QString& text);
};
