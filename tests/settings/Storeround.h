#pragma once

#include "Settings.h"

#include <QByteArray>

// One round of the program's calls on the store, as a test or the settings probe (running as
// another user) makes it: open, read a number and a string, try a write. What it saw, as one
// line: "open=1 unreadable=0 top=<viewertop or -1> host=<hostname or none>".
inline QByteArray readAndTryWrite()
{
    SettingsKey key;
    const bool open = OpenSettings(key, QStringLiteral("QXBrindora"));
    const qint32 top = ReadSettingInt(key, QStringLiteral("viewertop"), -1);
    QString host;
    ReadSettingString(key, QStringLiteral("hostname"), QStringLiteral("none"), host, 1024);
    const bool unreadable = IntSettingUnreadable(key, QStringLiteral("hidetask_usepassword"));
    WriteSettingString(key, QStringLiteral("hostname"), QStringLiteral("overwritten"));
    CloseSettings(key);
    return QString::asprintf("open=%d unreadable=%d top=%d host=%ls\n", int(open), int(unreadable),
                             top, qUtf16Printable(host))
        .toUtf8();
}
