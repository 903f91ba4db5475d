#include "Benchprofile.h"

#include <QDir>
#include <QFile>

BenchProfile::BenchProfile(const QByteArray& hostName)
{
    if (!m_dir.isValid() || !QDir(m_dir.path()).mkpath(QStringLiteral("Pellwyn"))) {
        return;
    }
    QFile store(m_dir.filePath(QStringLiteral("Pellwyn/QXBrindora.conf")));
    if (!store.open(QIODevice::WriteOnly)) {
        return;
    }
    m_valid = store.write("[General]\nhostname=" + hostName + '\n') > 0;
    // The store follows XDG_CONFIG_HOME at every open.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.path()));
}

BenchProfile::~BenchProfile()
{
    qunsetenv("XDG_CONFIG_HOME");
}
