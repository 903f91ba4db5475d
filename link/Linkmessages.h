#pragma once

#include <QString>

// What the song label says about the link itself.
namespace LinkMessage {
inline QString connecting()
{
    return QStringLiteral("Connecting...");
}
inline QString noHost()
{
    return QStringLiteral("Configure the IP Address -- use the <Setup> button");
}
inline QString invalidSocket()
{
    return QStringLiteral("invalid socket");
}
inline QString unresolved()
{
    return QStringLiteral("unable to resolve address -- use the <Setup> button");
}
inline QString unreachable()
{
    return QStringLiteral("unable to connect -- use the <Setup> button");
}
} // namespace LinkMessage
