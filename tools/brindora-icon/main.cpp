#include "Brindoraicon.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QTextStream>

// Writes the program's icon as brindora-<n>.png, one per size, into the directory given.
// The generated pictures are kept with the sources; the build never runs this.
int main(int argc, char* argv[])
{
    QGuiApplication application(argc, argv);
    QTextStream err(stderr);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2) {
        err << "usage: brindora-icon <output directory>\n";
        return 2;
    }
    const QDir output(arguments.at(1));
    if (!output.exists() && !QDir().mkpath(output.path())) {
        err << "cannot create " << output.path() << '\n';
        return 1;
    }
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString file = output.filePath(QStringLiteral("brindora-%1.png").arg(size));
        if (!paintBrindoraIcon(size).save(file, "PNG")) {
            err << "cannot write " << file << '\n';
            return 1;
        }
    }
    return 0;
}
