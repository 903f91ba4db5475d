#include "Instanceplace.h"

#include <QLocalSocket>

#include <windows.h>

#include <sddl.h>

#include <memory>
#include <string>
#include <utility>

namespace {

// A kernel handle, closed when it goes out of scope.
class Handle final
{
public:
    explicit Handle(HANDLE handle = nullptr) : m_handle(handle) {}
    ~Handle()
    {
        if (m_handle && m_handle != INVALID_HANDLE_VALUE)
            CloseHandle(m_handle);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    HANDLE* receive() { return &m_handle; }
    HANDLE get() const { return m_handle; }
    HANDLE release() { return std::exchange(m_handle, nullptr); }

private:
    HANDLE m_handle;
};

// The TOKEN_USER of a process (its user's security identifier), or null where it can't be had.
std::unique_ptr<char[]> tokenUser(HANDLE process)
{
    Handle token;
    if (!process || !OpenProcessToken(process, TOKEN_QUERY, token.receive()))
        return nullptr;
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    auto buffer = std::make_unique<char[]>(size > 0 ? size : 1);
    if (size == 0 || !GetTokenInformation(token.get(), TokenUser, buffer.get(), size, &size))
        return nullptr;
    return buffer;
}

PSID sidOf(const std::unique_ptr<char[]>& user)
{
    return reinterpret_cast<TOKEN_USER*>(user.get())->User.Sid;
}

// The string form of the user's security identifier, or empty where it can't be had.
QString userSid()
{
    const auto user = tokenUser(GetCurrentProcess());
    wchar_t* text = nullptr;
    if (!user || !ConvertSidToStringSidW(sidOf(user), &text))
        return QString();
    const QString sid = QString::fromWCharArray(text);
    LocalFree(text);
    return sid;
}

// Whether the process at the server end of the pipe runs as this user (or as user): the pipe's
// name is no proof, as any account may create it first.
bool servedBy(HANDLE pipe, const QString& user)
{
    ULONG serverId = 0;
    if (!GetNamedPipeServerProcessId(pipe, &serverId))
        return false;
    const Handle server(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, serverId));
    const auto serverUser = tokenUser(server.get());
    if (!serverUser)
        return false;
    if (user.isEmpty()) {
        const auto ownUser = tokenUser(GetCurrentProcess());
        return ownUser && EqualSid(sidOf(serverUser), sidOf(ownUser));
    }
    PSID expected = nullptr;
    if (!ConvertStringSidToSidW(reinterpret_cast<const wchar_t*>(user.utf16()), &expected))
        return false;
    const bool same = EqualSid(sidOf(serverUser), expected);
    LocalFree(expected);
    return same;
}

HANDLE openPipe(const std::wstring& path)
{
    // Identification only: whoever is at the other end may learn who connects but can't act
    // as this user, not even before the check below has turned it away.
    return CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION,
                       nullptr);
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

PeerFound connectToPeer(QLocalSocket& socket, const QString& name, int wait, const QString& user)
{
    // Opened here rather than by QLocalSocket, which lets a server act as the user who connects.
    const std::wstring path = (QStringLiteral("\\\\.\\pipe\\") + name).toStdWString();
    Handle pipe(openPipe(path));
    DWORD error = pipe.get() == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    if (error == ERROR_PIPE_BUSY) {
        error = WaitNamedPipeW(path.c_str(), DWORD(wait)) ? ERROR_SUCCESS : GetLastError();
        if (error == ERROR_SUCCESS) {
            *pipe.receive() = openPipe(path);
            error = pipe.get() == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
        }
    }
    // Only a name that isn't there is free to listen on; any other refusal (a stranger's
    // pipe closed to this user, a server too busy to tell) is a server that can't be checked.
    if (error != ERROR_SUCCESS)
        return error == ERROR_FILE_NOT_FOUND ? PeerFound::Nobody : PeerFound::Stranger;
    if (!servedBy(pipe.get(), user))
        return PeerFound::Stranger;
    socket.setSocketDescriptor(qintptr(pipe.release()), QLocalSocket::ConnectedState,
                               QIODevice::ReadWrite);
    return PeerFound::Ours;
}
