#include "Linkowner.h"

#include "Tbrindora.h"

#include <QDeadlineTimer>

#include <algorithm>

namespace {

// Every wait of a stopped link ends within a fraction of this; the bound only keeps a
// misbehaving system call from holding up the end of the program.
constexpr int JoinLimitMs = 3000;

void stop(TBrindora& link)
{
    link.detachDisplay();
    link.Terminate();
    link.CloseLink();
}

} // namespace

LinkOwner::LinkOwner(QObject* parent) : QObject(parent) {}

LinkOwner::~LinkOwner()
{
    if (m_current) {
        m_retiring.push_back(std::move(m_current));
    }
    for (auto& link : m_retiring) {
        stop(*link);
    }
    for (auto& link : m_retiring) {
        if (!link->wait(QDeadlineTimer(JoinLimitMs))) {
            // Destroying a running thread would abort the program; letting this one end
            // with the process is the lesser harm.
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
        TBrindora* raw = m_current.get();
        // The link is the context: its queued notice dies with it, so a link deleted early
        // can never be mistaken for a later one at the same address.
        connect(raw, &QThread::finished, raw, [this, raw] { reclaim(raw); });
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
