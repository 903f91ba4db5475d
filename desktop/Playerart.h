#pragma once

#include <QByteArray>
#include <QString>

// The picture the desktop's media panels show for the player. Panels take only a file
// address, and an installed icon may not exist (a build tree, a test), so the program keeps
// a copy of its own in its runtime folder.

// The copy's folder: "brindora" in the user's runtime folder; empty when there is none.
QString playerArtFolder();

// Writes picture as the file "brindora.png" in folder, made owner-only, unless it already
// holds those bytes, and returns its file:// address; empty when the folder is not a real
// folder of the runtime folder's owner or the file can't be written. A link or anything else
// found under the file's name is replaced, never followed.
QString writePlayerArt(const QString& folder, const QByteArray& picture);
