#pragma once

#include "Instanceplace.h"

#include <QLocalServer>
#include <QObject>
#include <QString>

// The local socket's name for this user's copy in this desktop session and settings profile.
// Two sessions (displays, logins) or two profiles get two names; one session gets one. Empty
// where no place is the user's alone (see Instanceplace.h).
QString sessionInstanceName();

// One running copy per session. The first start listens on a local socket; a later start
// hands its wish over through it and ends. A socket left behind by a copy that died answers
// no one and is replaced; a server that is not this user's is neither told nor replaced.
class SingleInstance final : public QObject
{
    Q_OBJECT

public:
    enum class Wish
    {
        Show, // bring the window back, as a click on the icon would
        Stay, // leave the running copy as it is (an autostart meeting a running copy)
    };

    // What asking the running copy to quit came to; the numbers are a -quit start's exit
    // status, which the installer reads.
    enum class QuitOutcome
    {
        NoneRan = 0,
        HasQuit = 1,
        StillRuns = 2,
    };

    explicit SingleInstance(QString name);

    // True when a running copy took the wish: this start should end. Otherwise this copy
    // now listens for later starts (or, when it cannot or has no name, runs alone) and false
    // is returned.
    bool handOver(Wish wish);
    bool isListening() const { return m_server.isListening(); }
    // Asks a running copy to quit as its Quit button would and waits up to wait ms for it to
    // be gone. Never listens: nothing is to run after this start.
    QuitOutcome askToQuit(int wait);

Q_SIGNALS:
    // A later start asked for the window. Sent after the request is answered, so a dialog
    // opened in response cannot hold the other start.
    void showRequested();
    // A later start (the installer's) asked this copy to quit.
    void quitRequested();

private:
    PeerFound tellRunningCopy(const QByteArray& word) const;
    void onNewConnection();

    const QString m_name;
    QLocalServer m_server;
};
