#pragma once

#include <functional>

class QString;
class QUrl;

// The desktop's "open" action: a web address goes to the user's browser, a local HTML file
// to whatever the desktop opens such files with. What the desktop reports is not looked at.
using UrlOpener = std::function<void(const QUrl& url)>;

void shellOpen(const QUrl& url);

// A local path, relative ones taken from the current directory, handed to shellOpen.
void shellOpenFile(const QString& path);
