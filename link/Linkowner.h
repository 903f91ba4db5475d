#pragma once

#include <QObject>

#include <chrono>
#include <memory>
#include <vector>

class TBrindora;

// Owns the current link and the links it replaced until each has ended. A replaced link is
// cut off from the controls at once and reclaimed when its thread finishes, so any number
// of host changes leaves nothing behind. On destruction every link still running is stopped
// and joined: nothing about a link may outlive the window it writes to. A link that a
// misbehaving system call holds past joinLimit is let go instead, detached from everything,
// and deletes itself if it ever ends.
class LinkOwner final : public QObject
{
    Q_OBJECT

public:
    explicit LinkOwner(std::chrono::milliseconds joinLimit = std::chrono::seconds(3),
                       QObject* parent = nullptr);
    ~LinkOwner() override;

    TBrindora* current() const { return m_current.get(); }

    // Takes the link over as the current one; the previous one is told to stop.
    void replace(std::unique_ptr<TBrindora> link);

    // Links that exist, current and retiring ones together.
    int count() const;

private:
    void retire(std::unique_ptr<TBrindora> link);
    void reclaim(TBrindora* link);

    const std::chrono::milliseconds m_joinLimit;
    std::unique_ptr<TBrindora> m_current;
    std::vector<std::unique_ptr<TBrindora>> m_retiring;
};
