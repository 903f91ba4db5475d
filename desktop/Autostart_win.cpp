#include "Autostart.h"

#include <QDir>

#include <string>
#include <windows.h>

namespace {

const wchar_t valueName[] = L"Brindora Control";

// BRINDORA_REGISTRY_ROOT stands in for Software, so tests never touch the user's own entries.
QString softwareKey()
{
    const QString root = qEnvironmentVariable("BRINDORA_REGISTRY_ROOT");
    return root.isEmpty() ? QStringLiteral("Software") : root;
}

QString runKey()
{
    return softwareKey() + QStringLiteral("\\Microsoft\\Windows\\CurrentVersion\\Run");
}

// Where Task Manager and Settings keep their own on/off switch for each Run entry.
QString approvedKey()
{
    return softwareKey() +
           QStringLiteral("\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run");
}

bool switchedOffElsewhere()
{
    // The switch is binary data whose first byte is odd when the entry is off.
    BYTE data[64] = {};
    DWORD size = sizeof data;
    return RegGetValueW(HKEY_CURRENT_USER, approvedKey().toStdWString().c_str(), valueName,
                        RRF_RT_REG_BINARY, nullptr, data, &size) == ERROR_SUCCESS &&
           size > 0 && (data[0] & 1) != 0;
}

QString failure(bool on, LSTATUS status)
{
    return (on ? QStringLiteral("Brindora Control could not be set to start when you log in: ")
               : QStringLiteral("Brindora Control could not be kept from starting when you "
                                "log in: ")) +
           QStringLiteral("Windows did not let it change HKEY_CURRENT_USER\\%1 (%2).")
               .arg(runKey(), qt_error_string(int(status)).trimmed());
}

} // namespace

namespace Autostart {

bool isEnabled()
{
    // Only text runs at log-on: a value of any other kind, or an empty one, starts nothing.
    DWORD type = 0;
    DWORD size = 0;
    const LSTATUS status =
        RegGetValueW(HKEY_CURRENT_USER, runKey().toStdWString().c_str(), valueName,
                     RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr, &size);
    return status == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ) &&
           size > sizeof(wchar_t) && !switchedOffElsewhere();
}

QString setEnabled(bool on, const QString& program)
{
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, runKey().toStdWString().c_str(), 0, nullptr,
                                     0, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS)
        return failure(on, status);
    if (on) {
        const std::wstring command = (QLatin1Char('"') + QDir::toNativeSeparators(program) +
                                      QStringLiteral("\" -autominimize"))
                                         .toStdWString();
        status = RegSetValueExW(key, valueName, 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(command.c_str()),
                                DWORD((command.size() + 1) * sizeof(wchar_t)));
    } else {
        status = RegDeleteValueW(key, valueName);
        if (status == ERROR_FILE_NOT_FOUND)
            status = ERROR_SUCCESS;
    }
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return failure(on, status);
    // A switch left off in Task Manager would keep a new entry from starting: it goes too.
    HKEY approved = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, approvedKey().toStdWString().c_str(), 0, KEY_SET_VALUE,
                      &approved) == ERROR_SUCCESS) {
        RegDeleteValueW(approved, valueName);
        RegCloseKey(approved);
    }
    return QString();
}

} // namespace Autostart
