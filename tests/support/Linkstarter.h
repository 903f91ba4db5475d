#pragma once

#include "Linkowner.h"
#include "Tbrindora.h"

#include <memory>

// A link to host:port that shows its state on display, started and handed to owner.
inline TBrindora* startLink(LinkOwner& owner, LinkDisplay* display, quint16 port,
                            const QByteArray& host = QByteArrayLiteral("127.0.0.1"),
                            const KeepAlive& keepAlive = LinkKeepAlive)
{
    auto link = std::make_unique<TBrindora>(port, keepAlive);
    link->setHostName(host);
    link->setDisplay(display);
    TBrindora* raw = link.get();
    owner.replace(std::move(link));
    raw->Resume();
    return raw;
}
