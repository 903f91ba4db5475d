#pragma once

#include <QString>
#include <QVariantMap>
#include <QtGlobal>

// Named per-user values: on Windows the key HKCU\Software\Pellwyn\<name>, elsewhere the
// file <XDG config home>/Pellwyn/<name>.conf. Callers open a key, read and write a few
// values and close it within one operation; nothing is cached between opens.

// The longest settings name: the old key path "Software\Pellwyn\<name>" had to fit in 256
// characters, and accounts carried over from that program must map to the same place.
constexpr int SettingsNameMax = 238;

// How OpenSettings found the store; reads behave differently for each.
enum SettingsDisposition : int
{
    SettingsUnavailable = 0, // no store could be made, or the key is closed
    SettingsCreated = 1,     // this open created the store: reads store their defaults
    SettingsExisted = 2,     // it was there already: reads leave absent values absent
};

// The open handle of the store. Writes are collected and saved together when the key is
// closed, so one operation's values reach the store as one atomic replacement. A write of
// the value the store already holds is no change: the line that holds it stays as the
// user wrote it.
struct SettingsKey final
{
    SettingsKey() = default;
    ~SettingsKey(); // closes the key when a caller forgot to
    SettingsKey(const SettingsKey&) = delete;
    SettingsKey& operator=(const SettingsKey&) = delete;

    // A usable store: reads see it, writes reach it. When false, every read gives its
    // default and writes are dropped, whatever the disposition.
    bool open = false;
    // The store is there but could not be read: any value may be in it, none is known.
    bool unreadable = false;
    int disposition = SettingsUnavailable;
    QString name;
    QVariantMap values;  // the store as read at open, plus this open's writes
    QVariantMap changes; // writes not yet saved
};

// Opens or creates the store of this name. False when there is no usable store (the name
// is empty, too long or holds a path separator; the store can't be created; it exists but
// can't be read or is not text). The program may ignore the result: the key then still answers
// every read with its default and drops every write, and an unusable store is left as found.
bool OpenSettings(SettingsKey& key, const QString& name);

// Saves the writes of this open and closes the key. Failures are not reported.
void CloseSettings(SettingsKey& key);

qint32 ReadSettingInt(SettingsKey& key, const QString& valueName, qint32 defaultValue);
void WriteSettingInt(SettingsKey& key, const QString& valueName, qint32 value);

// Leaves at most size - 1 characters in buffer (the old program's buffers held a
// terminator). defaultValue and buffer may be the same object.
void ReadSettingString(SettingsKey& key, const QString& valueName, const QString& defaultValue,
                       QString& buffer, int size);
void WriteSettingString(SettingsKey& key, const QString& valueName, const QString& text);

// True when the store holds the value but a read of that kind gives the default instead
// (a number that is a word, a string with no text form, a line that can't be taken apart),
// or when the store is there but can't be read at all: for callers whose safe choice
// differs from what an absent value means.
bool IntSettingUnreadable(SettingsKey& key, const QString& valueName);
bool StringSettingUnreadable(SettingsKey& key, const QString& valueName);
