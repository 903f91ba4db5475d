#pragma once

#include <QString>
#include <QVariantMap>

// The platform side of the settings: where a store lives, how it is created, read whole
// and written back. The disposition rules sit above this in Settings.cpp.
namespace SettingsStore {

enum class Found
{
    Nothing,  // it isn't there and can't be made
    Created,  // it wasn't there; it is now, empty
    Existing, // something is there, or may be: only "no such file" means nothing is
};

// Makes sure the store exists; a new one is readable by its user only.
Found create(const QString& name);

// Reads every value of the store as it is now. False when the store can't be read or is not
// text at all; a caller must then neither trust nor overwrite it.
bool load(const QString& name, QVariantMap& values);

// Writes the changes (numbers and strings) into the store's current contents, leaving
// everything else in it as it is. Leaves the store as it is when it has become unusable
// since it was opened, another writer keeps it locked beyond a short wait, or a value to
// change stands on a line that runs on into the next.
void save(const QString& name, const QVariantMap& changes);

// Whether the store takes the two value names for one: the registry ignores letter case in
// them, the file does not.
bool sameName(const QString& a, const QString& b);

} // namespace SettingsStore
