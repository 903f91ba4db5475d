// A second program on the store, for what one test process can't show alone: two copies
// saving at once, a copy killed while saving, a copy running as another user.
//   settingsprobe [--as-user UID] read         reads, prints, then tries a write
//   settingsprobe [--as-user UID] write ID N   saves N times a set of values tagged ID
//   settingsprobe [--as-user UID] churn        saves large values until killed
#include "Settings.h"
#include "Storeround.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <grp.h>
#include <unistd.h>

namespace {

const QString storeName = QStringLiteral("QXBrindora");

// Every save writes both positions and the host name from one (writer, round) pair, so a
// reader can tell a torn or mixed store from a whole one.
int writeMany(int writer, int rounds)
{
    for (int round = 0; round < rounds; ++round) {
        const qint32 tag = writer * 100000 + round;
        SettingsKey key;
        OpenSettings(key, storeName);
        WriteSettingInt(key, QStringLiteral("viewertop"), tag);
        WriteSettingInt(key, QStringLiteral("viewerleft"), tag);
        WriteSettingString(key, QStringLiteral("hostname"), QStringLiteral("writer%1").arg(tag));
        CloseSettings(key);
    }
    return 0;
}

[[noreturn]] void churn()
{
    for (int round = 0;; ++round) {
        SettingsKey key;
        OpenSettings(key, storeName);
        WriteSettingString(key, QStringLiteral("hostname"),
                           QString(100000, QLatin1Char(char('a' + round % 26))));
        CloseSettings(key);
        std::printf("saved\n");
        std::fflush(stdout);
    }
}

} // namespace

int main(int argc, char** argv)
{
    int first = 1;
    if (argc > 2 && qstrcmp(argv[1], "--as-user") == 0) {
        // Dropped before Qt starts, so nothing of the process runs with the old rights.
        const auto id = static_cast<uid_t>(std::atoi(argv[2]));
        if (setgroups(0, nullptr) != 0 || setgid(id) != 0 || setuid(id) != 0)
            return 3;
        first = 3;
    }
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(first);
    const QString mode = args.value(0);
    if (mode == QLatin1String("read")) {
        std::fputs(readAndTryWrite().constData(), stdout);
        return 0;
    }
    if (mode == QLatin1String("write") && args.size() == 3)
        return writeMany(args.at(1).toInt(), args.at(2).toInt());
    if (mode == QLatin1String("churn"))
        churn();
    std::fprintf(stderr, "usage: settingsprobe [--as-user UID] read | write ID N | churn\n");
    return 2;
}
