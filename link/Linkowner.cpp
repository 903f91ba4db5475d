#include "Linkowner.h"

#include "Tbrindora.h"

#include <QDeadlineTimer>
#include <QPointer>

#include <algorithm>

namespace {

void stop(TBrindora& link)
{
    link.detachDisplay();
    link.Terminate();
    link.CloseLink();
}

} // namespace

// Every wait of a stopped link ends within a fraction of the join limit; the bound only keeps a
// misbehaving system call from holding up the end of the program.
LinkOwner::LinkOwner(std::chrono::milliseconds joinLimit, QObject* parent)
    : QObject(parent), m_joinLimit(joinLimit)
{
}

LinkOwner::~LinkOwner()
{
    if (m_current) {
        m_retiring.push_back(std::move(m_current));
    }
    for (auto& link : m_retiring) {
        stop(*link);
        // Only for a link let go below; for one deleted here the queued notice goes with it.
        connect(link.get(), &QThread::finished, link.get(), &QObject::deleteLater);
    }
    for (auto& link : m_retiring) {
        if (!link->wait(QDeadlineTimer(m_joinLimit.count()))) {
            // Destroying a running thread would abort the program. Our own connection to it
            // ends with us; it deletes itself if it ends while the program still runs.
            (void)link.release();
        }
    }
}

void LinkOwner::replace(std::unique_ptr<TBrindora> link)
{
    if (m_current) {
        retire(std::move(m_current));
    }
    m_current = std::move(link);
    if (m_current) {
        // We are the context, so a notice still queued when we go is dropped. The guard
        // empties when the link is deleted first, so it is never mistaken for a later link
        // at the same address.
        connect(m_current.get(), &QThread::finished, this,
                [this, link = QPointer<TBrindora>(m_current.get())] {
                    if (link) {
                        reclaim(link);
                    }
                });
    }
}

int LinkOwner::count() const
{
    return static_cast<int>(m_retiring.size()) + (m_current ? 1 : 0);
}

void LinkOwner::retire(std::unique_ptr<TBrindora> link)
{
    stop(*link);
    if (!link->isRunning()) {
        // Never started, or already done: no notice is coming, so let it go now.
        link.reset();
        return;
    }
    m_retiring.push_back(std::move(link));
}

void LinkOwner::reclaim(TBrindora* link)
{
    if (m_current.get() == link) {
        // The current link only ends when told to, which retires it first.
        return;
    }
    auto found = std::find_if(m_retiring.begin(), m_retiring.end(),
                              [link](const auto& held) { return held.get() == link; });
    if (found != m_retiring.end()) {
        // Called from the link's own queued notice: it may not be deleted under it.
        found->release()->deleteLater();
        m_retiring.erase(found);
    }
}
