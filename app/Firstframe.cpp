#include "Firstframe.h"

#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <utility>

namespace {

constexpr int LatestWait = 1000; // ms

class FirstFrameWatch final : public QObject
{
public:
    FirstFrameWatch(QWidget* window, QObject* context, std::function<void()> work)
        : QObject(window), m_context(context), m_work(std::move(work))
    {
        window->installEventFilter(this);
        QTimer::singleShot(LatestWait, this, [this] { run(); });
    }

    bool eventFilter(QObject* /*watched*/, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            // The paint's own handling, which hands the frame to the platform, ends first.
            QTimer::singleShot(0, this, [this] { run(); });
        }
        return false;
    }

private:
    void run()
    {
        if (!m_work) {
            return;
        }
        const std::function<void()> work = std::exchange(m_work, nullptr);
        deleteLater();
        if (m_context) {
            work();
        }
    }

    QPointer<QObject> m_context;
    std::function<void()> m_work;
};

} // namespace

void afterFirstFrame(QWidget* window, QObject* context, std::function<void()> work)
{
    new FirstFrameWatch(window, context, std::move(work));
}
