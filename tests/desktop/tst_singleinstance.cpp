#include "Singleinstance.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <future>

namespace {

// A later start, from its own thread as from its own process: it waits for the running
// copy, which answers from this thread's event loop.
std::future<bool> laterStart(const QString& name, SingleInstance::Wish wish)
{
    return std::async(std::launch::async, [name, wish] {
        SingleInstance later(name);
        return later.handOver(wish);
    });
}

bool finished(const std::future<bool>& start)
{
    return start.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

} // namespace

class TestSingleInstance final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void laterStartsHandOver()
    {
        const QTemporaryDir dir;
        const QString name = dir.filePath(QStringLiteral("instance"));
        SingleInstance first(name);
        QVERIFY(!first.handOver(SingleInstance::Wish::Show));
        QVERIFY(first.isListening());
        QSignalSpy shown(&first, &SingleInstance::showRequested);

        auto stay = laterStart(name, SingleInstance::Wish::Stay);
        QTRY_VERIFY(finished(stay));
        QVERIFY(stay.get());
        auto show = laterStart(name, SingleInstance::Wish::Show);
        QTRY_VERIFY(finished(show));
        QVERIFY(show.get());
        QTRY_COMPARE(shown.count(), 1);
        QVERIFY2(first.isListening(), "a handed-over start took the socket");
    }

    void sessionsAndProfilesApart()
    {
        const QString here = sessionInstanceName();
        QCOMPARE(sessionInstanceName(), here);
        qputenv("DISPLAY", qgetenv("DISPLAY") + "9");
        QVERIFY2(sessionInstanceName() != here, "another display shares the copy");
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
