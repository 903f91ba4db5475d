#include "Commandline.h"

bool ScanCommandLine(const QStringList& arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments.at(i).compare(QLatin1String("-autominimize"), Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return false;
}
