#include "Instanceplace.h"

#include <windows.h>

#include <sddl.h>

#include <memory>

namespace {

// The string form of the user's security identifier, or empty where it can't be had.
QString userSid()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return QString();
    }
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    auto buffer = std::make_unique<char[]>(size > 0 ? size : 1);
    QString sid;
    wchar_t* text = nullptr;
    if (size > 0 && GetTokenInformation(token, TokenUser, buffer.get(), size, &size) &&
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.get())->User.Sid, &text)) {
        sid = QString::fromWCharArray(text);
        LocalFree(text);
    }
    CloseHandle(token);
    return sid;
}

} // namespace

QString privateServerName(const QString& name)
{
    // Pipes share one name space on the machine: the name carries whose copy it is, and Qt
    // lets only this user open it.
    QString user = userSid();
    if (user.isEmpty()) {
        user = qEnvironmentVariable("USERDOMAIN") + QLatin1Char('-') +
               qEnvironmentVariable("USERNAME");
    }
    return user == QLatin1String("-") ? QString() : name + QLatin1Char('-') + user;
}
