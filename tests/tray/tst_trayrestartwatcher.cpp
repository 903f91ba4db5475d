#include "Trayrestartwatcher.h"

#include <QCoreApplication>
#include <QTest>

#include <memory>

class TestTrayRestartWatcher final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A notice still on its way when the window that owns the watcher goes must not reach
    // that window any more.
    void aNoticeNeverOutlivesTheWatcher()
    {
        int notices = 0;
        auto watcher = std::make_unique<TrayRestartWatcher>([&notices] { ++notices; });
        // What a host registering on the session bus ends in.
        QVERIFY(QMetaObject::invokeMethod(watcher.get(), "onHostAppeared"));
        QCOMPARE(notices, 0);
        QCoreApplication::processEvents();
        QCOMPARE(notices, 1);

        QVERIFY(QMetaObject::invokeMethod(watcher.get(), "onHostAppeared"));
        watcher.reset();
        QCoreApplication::processEvents();
        QCOMPARE(notices, 1);
    }
};

QTEST_GUILESS_MAIN(TestTrayRestartWatcher)
#include "tst_trayrestartwatcher.moc"
