#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>
#include <QVariantMap>

// Points the settings store at a fresh temporary place while it lives, so no test reads or
// writes the developer's own settings. Make one before the code under test first opens the
// store. It sets the variable the store follows at every open and child processes inherit:
// XDG_CONFIG_HOME for the file, and on Windows BRINDORA_REGISTRY_ROOT for a registry key of
// the test's own, removed again with it. Elsewhere it also moves the QSettings
// NativeFormat/UserScope path for any plain QSettings in the process (QSettings reads
// XDG_CONFIG_HOME only once per process).
class TempSettings final
{
public:
    explicit TempSettings(const QString& name = QStringLiteral("QXBrindora"));
    // Restores XDG_CONFIG_HOME; the QSettings path keeps pointing at the removed folder,
    // never back at the real one.
    ~TempSettings();
    TempSettings(const TempSettings&) = delete;
    TempSettings& operator=(const TempSettings&) = delete;

    bool isValid() const { return m_dir.isValid(); }

    QString configHome() const;  // stands in for ~/.config
    QString storeFolder() const; // <configHome>/Pellwyn (on Windows the key above the store)
    QString storePath() const;   // <configHome>/Pellwyn/<name>.conf (on Windows the key)

    bool storeExists() const;
    QByteArray readRaw() const;
    // Replaces the store file with exactly these bytes, creating its folder if needed. On
    // Windows: the key's values, one a line (a whole number as a REG_DWORD, text as a REG_SZ,
    // a name without '=' as binary data), and the bytes read back are the values in order.
    bool writeRaw(const QByteArray& contents) const;

    // Parses the store file afresh (never from QSettings' per-process cache). False when it
    // is missing or QSettings reports it can't be parsed.
    bool readStore(QVariantMap& values) const;

    // The current environment with XDG_CONFIG_HOME pointing here, for QProcess.
    QProcessEnvironment environment() const;

private:
    QTemporaryDir m_dir;
    QString m_name;
    QString m_root; // on Windows: the key that stands in for HKCU\Software
    QByteArray m_previousVariable;
    bool m_hadVariable = false;
};
