#include "Autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

namespace {

const QString entryName = QStringLiteral("brindora.desktop");
const QString header = QStringLiteral("[Desktop Entry]");
// Marks an entry this program wrote and so may take away again. One written by hand or by a
// package only ever has its switch turned, so nothing the user wrote there is lost.
const QString ownMark = QStringLiteral("X-Brindora-Control-Written=true");
// The switches session managers honour: Hidden everywhere, the other on GNOME and Xfce.
const QString hiddenKey = QStringLiteral("Hidden");
const QString gnomeKey = QStringLiteral("X-GNOME-Autostart-enabled");

// The base-directory rules ignore an empty or relative setting.
QString userFolder()
{
    const QString home = qEnvironmentVariable("XDG_CONFIG_HOME");
    const QString config =
        QDir::isAbsolutePath(home) ? home : QDir::homePath() + QStringLiteral("/.config");
    return QDir::cleanPath(config + QStringLiteral("/autostart"));
}

QStringList systemEntries()
{
    QStringList entries;
    const QStringList folders = qEnvironmentVariable("XDG_CONFIG_DIRS").split(QLatin1Char(':'));
    for (const QString& folder : folders) {
        if (QDir::isAbsolutePath(folder))
            entries << QDir::cleanPath(folder + QStringLiteral("/autostart/") + entryName);
    }
    if (entries.isEmpty())
        entries << QStringLiteral("/etc/xdg/autostart/") + entryName;
    return entries;
}

struct Entry
{
    bool present = false;  // something by that name, even a folder or a dangling link
    bool readable = false; // a file whose lines are read
    QStringList lines;
};

Entry readEntry(const QString& path)
{
    Entry entry;
    const QFileInfo info(path);
    entry.present = info.exists() || info.isSymLink();
    QFile file(path);
    // An entry is a few hundred bytes; a bigger file is read no further than this.
    constexpr qint64 MostBytes = 1 << 20;
    if (info.isFile() && file.open(QIODevice::ReadOnly)) {
        entry.readable = true;
        entry.lines = QString::fromUtf8(file.read(MostBytes)).split(QLatin1Char('\n'));
    }
    return entry;
}

// The key of a line in the [Desktop Entry] group, or an empty string for any other line.
QString keyOf(const QString& line, bool inGroup)
{
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    return inGroup && equals > 0 ? line.left(equals).trimmed() : QString();
}

QString valueOf(const QString& line)
{
    return line.mid(line.indexOf(QLatin1Char('=')) + 1).trimmed();
}

bool hasGroup(const Entry& entry)
{
    return entry.lines.contains(header);
}

bool startsSession(const Entry& entry)
{
    if (!entry.readable || !hasGroup(entry))
        return false;
    bool inGroup = false;
    for (const QString& line : entry.lines) {
        if (line.startsWith(QLatin1Char('[')))
            inGroup = line.trimmed() == header;
        const QString key = keyOf(line, inGroup);
        if ((key == hiddenKey && valueOf(line) == QLatin1String("true")) ||
            (key == gnomeKey && valueOf(line) == QLatin1String("false")))
            return false;
    }
    return true;
}

// Whether the first system-wide entry there, the one session managers read, starts the program.
bool systemStarts()
{
    for (const QString& path : systemEntries()) {
        const Entry entry = readEntry(path);
        if (entry.present)
            return startsSession(entry);
    }
    return false;
}

// The lines with both switches taken out of the entry's group, and Hidden put in when off.
QStringList switched(const QStringList& lines, bool on)
{
    QStringList result;
    bool inGroup = false;
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1Char('[')))
            inGroup = line.trimmed() == header;
        const QString key = keyOf(line, inGroup);
        if (key == hiddenKey || key == gnomeKey)
            continue;
        result << line;
        if (!on && line == header)
            result << hiddenKey + QStringLiteral("=true");
    }
    return result;
}

// Exec's quoting: the path in double quotes with ", `, $ and \ escaped and % doubled, then
// the escapes every string value takes, so that \ is written twice again.
QString execValue(const QString& program)
{
    QString quoted;
    for (const QChar c : program) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c == QLatin1Char('%') ? QStringLiteral("%%") : QString(c);
    }
    // GLib looks for the program before it expands %% (and so finds none): env, which it finds,
    // runs the program once the launcher has made %% the path's one %.
    const QString exec =
        (program.contains(QLatin1Char('%')) ? QStringLiteral("env \"") : QStringLiteral("\"")) +
        quoted + QStringLiteral("\" -autominimize");
    QString value;
    for (const QChar c : exec) {
        if (c == QLatin1Char('\\'))
            value += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n'))
            value += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            value += QStringLiteral("\\t");
        else if (c == QLatin1Char('\r'))
            value += QStringLiteral("\\r");
        else
            value += c;
    }
    return value;
}

QStringList ownEntry(const QString& program, bool on)
{
    return switched({header, QStringLiteral("Type=Application"),
                     QStringLiteral("Name=Brindora Control"),
                     QStringLiteral("Comment=Control playback on a networked audio server"),
                     QStringLiteral("Exec=") + execValue(program), QStringLiteral("Icon=brindora"),
                     QStringLiteral("Terminal=false"), QStringLiteral("NoDisplay=true"), ownMark},
                    on);
}

QString failure(bool on, const QString& detail)
{
    return (on ? QStringLiteral("Brindora Control could not be set to start when you log in: ")
               : QStringLiteral("Brindora Control could not be kept from starting when you "
                                "log in: ")) +
           detail;
}

// Written whole or not at all, readable by all and writable by the user alone.
QString save(const QString& path, const QStringList& lines, bool on)
{
    if (!QDir().mkpath(userFolder()))
        return failure(on, QStringLiteral("the folder %1 could not be made.").arg(userFolder()));
    QString text = lines.join(QLatin1Char('\n'));
    if (!text.endsWith(QLatin1Char('\n')))
        text += QLatin1Char('\n');
    // A link (say to the menu's entry) is replaced by a file of the user's own: written
    // through, it would change the file it points at for everyone.
    if (QFileInfo(path).isSymLink() && !QFile::remove(path))
        return failure(on, QStringLiteral("%1 could not be replaced.").arg(path));
    QSaveFile file(path);
    const bool saved = file.open(QIODevice::WriteOnly) &&
                       file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                           QFile::ReadOther) &&
                       file.write(text.toUtf8()) >= 0 && file.commit();
    return saved
               ? QString()
               : failure(
                     on,
                     QStringLiteral("%1 could not be written (%2).").arg(path, file.errorString()));
}

} // namespace

namespace Autostart {

bool isEnabled()
{
    // The user's entry hides a system-wide one of the same name, as session managers read them.
    const Entry own = readEntry(userFolder() + QLatin1Char('/') + entryName);
    return own.present ? startsSession(own) : systemStarts();
}

QString setEnabled(bool on, const QString& program)
{
    const QString path = userFolder() + QLatin1Char('/') + entryName;
    const Entry own = readEntry(path);
    if (own.present && (!own.readable || !hasGroup(own)))
        return failure(on, QStringLiteral("%1 is there but is not an autostart entry; move "
                                          "it away and try again.")
                               .arg(path));
    if (own.present && !own.lines.contains(ownMark))
        return save(path, switched(own.lines, on), on);
    if (on)
        return save(path, ownEntry(program, true), on);
    // Taking ours away would let a system-wide entry start the program: a hidden one hides it.
    if (systemStarts())
        return save(path, ownEntry(program, false), on);
    QFile file(path);
    if (own.present && !file.remove())
        return failure(
            on, QStringLiteral("%1 could not be removed (%2).").arg(path, file.errorString()));
    return QString();
}

} // namespace Autostart
