#include "Commandline.h"

namespace {

bool hasSwitch(const QStringList& arguments, QLatin1String name)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments.at(i).compare(name, Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return false;
}

} // namespace

bool ScanCommandLine(const QStringList& arguments)
{
    return hasSwitch(arguments, QLatin1String("-autominimize"));
}

bool ScanForQuit(const QStringList& arguments)
{
    return hasSwitch(arguments, QLatin1String("-quit"));
}
