#include "Shellopen.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

void shellOpen(const QUrl& url)
{
    // A failure is the desktop's to report; the program shows nothing of its own.
    QDesktopServices::openUrl(url);
}

void shellOpenFile(const QString& path)
{
    // A file URL must be absolute; the browser would not know our current directory.
    shellOpen(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
}
