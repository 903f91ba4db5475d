#include "Tempsettings.h"

#include "Settingstext.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QSettings>

TempSettings::TempSettings(const QString& name)
    : m_name(name), m_previousVariable(qgetenv("XDG_CONFIG_HOME")),
      m_hadVariable(qEnvironmentVariableIsSet("XDG_CONFIG_HOME"))
{
    if (!m_dir.isValid())
        return;
    QDir().mkpath(configHome());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome()));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configHome());
}

TempSettings::~TempSettings()
{
    if (m_hadVariable)
        qputenv("XDG_CONFIG_HOME", m_previousVariable);
    else
        qunsetenv("XDG_CONFIG_HOME");
}

QString TempSettings::configHome() const
{
    // A folder below the temporary one, so tests can also make it missing or unusable.
    return m_dir.path() + QStringLiteral("/config");
}

QString TempSettings::storeFolder() const
{
    return configHome() + QStringLiteral("/Pellwyn");
}

QString TempSettings::storePath() const
{
    return storeFolder() + QLatin1Char('/') + m_name + QStringLiteral(".conf");
}

bool TempSettings::storeExists() const
{
    return QFile::exists(storePath());
}

QByteArray TempSettings::readRaw() const
{
    QFile file(storePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool TempSettings::writeRaw(const QByteArray& contents) const
{
    if (!QDir().mkpath(storeFolder()))
        return false;
    QSaveFile file(storePath());
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size() &&
           file.commit();
}

bool TempSettings::readStore(QVariantMap& values) const
{
    values.clear();
    QFile store(storePath());
    return store.open(QIODevice::ReadOnly) && parseSettingsText(store.readAll(), values);
}

QProcessEnvironment TempSettings::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome());
    return env;
}
