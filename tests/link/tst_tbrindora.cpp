#include "Linkmessages.h"
#include "Linkstarter.h"
#include "Loopbackserver.h"
#include "Netutil.h"
#include "Recordingdisplay.h"
#include "Stalledlistener.h"
#include "Tbrindora.h"

#include <QDir>
#include <QElapsedTimer>
#include <QPointer>
#include <QTest>

#include <future>
#include <memory>

namespace {

constexpr int Patience = 10000;

int openDescriptors()
{
    return static_cast<int>(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files).size());
}

int runningThreads()
{
    return static_cast<int>(QDir(QStringLiteral("/proc/self/task"))
                                .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                                .size());
}

} // namespace

class TestTBrindora final : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<RecordingDisplay> m_display;
    std::unique_ptr<LinkOwner> m_owner;

    TBrindora* startLink(quint16 port, const QByteArray& host = QByteArrayLiteral("127.0.0.1"))
    {
        return ::startLink(*m_owner, m_display.get(), port, host);
    }

private Q_SLOTS:
    void initTestCase() { startSockets(); }

    void init()
    {
        m_display = std::make_unique<RecordingDisplay>();
        m_owner = std::make_unique<LinkOwner>();
    }

    void cleanup()
    {
        m_owner.reset();
        m_display.reset();
    }

    void failureMessages_data()
    {
        QTest::addColumn<QByteArray>("host");
        QTest::addColumn<bool>("listening");
        QTest::addColumn<QString>("message");
        QTest::newRow("no host") << QByteArray() << false << LinkMessage::noHost();
        QTest::newRow("host that does not resolve")
            << QByteArray("a..b") << false << LinkMessage::unresolved();
        QTest::newRow("nothing listening")
            << QByteArray("127.0.0.1") << false << LinkMessage::unreachable();
    }

    void failureMessages()
    {
        QFETCH(QByteArray, host);
        QFETCH(QString, message);
        startLink(unusedLoopbackPort(), host);
        QTRY_COMPARE_WITH_TIMEOUT(m_display->song.texts().size(), 2, Patience);
        QCOMPARE(m_display->song.texts(), QStringList({LinkMessage::connecting(), message}));
        QVERIFY(m_display->time.texts().isEmpty());
    }

    void failuresAreHeldTwoSecondsBeforeTheNextAttempt()
    {
        startLink(unusedLoopbackPort());
        QTRY_COMPARE_WITH_TIMEOUT(m_display->song.texts().size(), 2, Patience);
        QElapsedTimer sinceFirstFailure;
        sinceFirstFailure.start();
        QTRY_COMPARE_WITH_TIMEOUT(m_display->song.texts().size(), 3, Patience);
        // A lower bound only: the pause must have been waited out, however slow the machine.
        QVERIFY2(sinceFirstFailure.elapsed() >= 1900,
                 qPrintable(QString::number(sinceFirstFailure.elapsed())));
        QCOMPARE(m_display->song.texts().constLast(), LinkMessage::unreachable());
    }

    void aServerThatHangsUpAtOnceIsAskedAgainOnlyAfterThePause_data()
    {
        QTest::addColumn<QByteArray>("lastWords");
        QTest::newRow("unheard") << QByteArray();
        QTest::newRow("one line, then hangs up") << QByteArrayLiteral("500 full\n");
    }

    void aServerThatHangsUpAtOnceIsAskedAgainOnlyAfterThePause()
    {
        // A full server, or one that is no audio server, ends every connection at once.
        QFETCH(QByteArray, lastWords);
        LoopbackServer server;
        QVERIFY(server.listen());
        connect(&server, &LoopbackServer::clientConnected, &server, [&server, lastWords] {
            server.send(lastWords);
            server.dropClients();
        });
        startLink(server.port());
        QTRY_COMPARE(server.connectionCount(), 1);
        QElapsedTimer sinceFirst;
        sinceFirst.start();
        QTRY_VERIFY_WITH_TIMEOUT(server.connectionCount() >= 2, Patience);
        QVERIFY2(sinceFirst.elapsed() >= 1900, qPrintable(QString::number(sinceFirst.elapsed())));
        // Waited out in silence.
        QCOMPARE(m_display->song.texts(), QStringList({LinkMessage::connecting()}));
    }

    void statusLinesReachTheControls()
    {
        LoopbackServer server;
        QVERIFY(server.listen());
        startLink(server.port());
        QTRY_COMPARE(server.openClientCount(), 1);
        QVERIFY(server.send(QByteArrayLiteral("303 \"Caf\xc3\xa9 \"Bleu\"\"\r\n304 1 2 3\r\n")));
        QTRY_COMPARE(m_display->time.text(), QStringLiteral("01:02:03"));
        QCOMPARE(m_display->song.texts(),
                 QStringList({LinkMessage::connecting(), QStringLiteral(u"Café \"Bleu\"")}));
        // Only what the server sent counts as a title; the link's own words never do.
        QCOMPARE(m_display->songKinds,
                 QList({LinkDisplay::SongText::Status, LinkDisplay::SongText::Title}));

        QVERIFY(server.send(QByteArrayLiteral("305 0 0 1\n")));
        QTRY_VERIFY(m_display->shuffle);
        QVERIFY(server.send(QByteArrayLiteral("200 ignored\n\n305 1 1 0\n304 5\n")));
        QTRY_COMPARE(m_display->time.text(), QStringLiteral("05:00:00"));
        QVERIFY(!m_display->shuffle);
        QCOMPARE(m_display->shuffleChanges, 2);
    }

    void commandsGoOutAsTheyAre()
    {
        LoopbackServer server;
        QVERIFY(server.listen());
        TBrindora* link = startLink(server.port());
        QTRY_COMPARE(server.openClientCount(), 1);
        for (Command command :
             {Command::Play, Command::Prev, Command::Stop, Command::Next, Command::Shuffle}) {
            link->SendCommand(commandBytes(command));
        }
        QTRY_COMPARE(server.received(), QByteArray("play\nprev\nstop\nnext\nshuffle\n"));
    }

    void commandsWithoutAConnectionAreDropped()
    {
        TBrindora* link = startLink(unusedLoopbackPort(), QByteArray());
        QTRY_COMPARE(m_display->song.text(), LinkMessage::noHost());
        link->SendCommand(commandBytes(Command::Play));
        QCOMPARE(m_display->song.texts().size(), 2);
    }

    void reconnectsQuietlyAfterTheServerHangsUp()
    {
        LoopbackServer server;
        QVERIFY(server.listen());
        startLink(server.port());
        QTRY_COMPARE(server.openClientCount(), 1);
        server.send(QByteArrayLiteral("303 \"One\"\n304 0 1 2\n305 0 0 1\n"));
        QTRY_COMPARE(m_display->song.text(), QStringLiteral("One"));
        QTRY_VERIFY(m_display->shuffle);

        server.dropClients();
        QTRY_COMPARE(server.connectionCount(), 2);
        QTRY_COMPARE(server.openClientCount(), 1);
        server.send(QByteArrayLiteral("303 \"Two\"\n"));
        QTRY_COMPARE(m_display->song.text(), QStringLiteral("Two"));
        // Nothing about the reconnect was shown, and the other controls kept their state.
        QCOMPARE(
            m_display->song.texts(),
            QStringList({LinkMessage::connecting(), QStringLiteral("One"), QStringLiteral("Two")}));
        QCOMPARE(m_display->time.text(), QStringLiteral("00:01:02"));
        QVERIFY(m_display->shuffle);
        QCOMPARE(m_display->connections, QList({true, false, true}));
    }

    void replacingALinkClosesItsConnectionAtOnce()
    {
        LoopbackServer oldServer;
        LoopbackServer newServer;
        QVERIFY(oldServer.listen());
        QVERIFY(newServer.listen());
        startLink(oldServer.port());
        QTRY_COMPARE(oldServer.openClientCount(), 1);
        startLink(newServer.port());
        QTRY_COMPARE(oldServer.openClientCount(), 0);
        QTRY_COMPARE(newServer.openClientCount(), 1);
        QTRY_COMPARE(m_owner->count(), 1);
    }

    void aReplacedLinkNeverTouchesTheControls()
    {
        // The old link is stuck connecting; stopping it makes that connect fail, and the
        // failure must not be shown over the new link's state.
        StalledListener stalled;
        QVERIFY(stalled.isReady());
        LoopbackServer server;
        QVERIFY(server.listen());
        QPointer<TBrindora> old = startLink(stalled.port());
        QTRY_COMPARE(m_display->song.texts().size(), 1);
        startLink(server.port());
        QTRY_VERIFY(old.isNull());
        QTRY_COMPARE(server.openClientCount(), 1);
        server.send(QByteArrayLiteral("303 \"New\"\n"));
        QTRY_COMPARE(m_display->song.text(), QStringLiteral("New"));
        QCOMPARE(m_display->song.texts(),
                 QStringList({LinkMessage::connecting(), LinkMessage::connecting(),
                              QStringLiteral("New")}));
    }

    void manyReplacementsLeaveNothingBehind()
    {
        LoopbackServer server;
        QVERIFY(server.listen());
        startLink(server.port());
        QTRY_COMPARE(server.openClientCount(), 1);
        QTRY_COMPARE(m_owner->count(), 1);
        const int descriptors = openDescriptors();
        const int threads = runningThreads();

        for (int i = 0; i < 300; ++i) {
            startLink(server.port());
            QCoreApplication::processEvents();
        }
        QTRY_COMPARE_WITH_TIMEOUT(m_owner->count(), 1, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(server.openClientCount(), 1, 30000);
        // No more than before: wine lets go of handles of its own meanwhile.
        QTRY_VERIFY(runningThreads() <= threads);
        QTRY_VERIFY(openDescriptors() <= descriptors);
    }

    void aLinkWhoseThreadCannotStartCanBeDeleted()
    {
#ifdef _WIN32
        QSKIP("Windows rounds a thread's stack up to its smallest size: every thread starts");
#endif
        auto link = std::make_unique<TBrindora>(unusedLoopbackPort());
        // Below any system's smallest stack, so the thread can't be created.
        link->setStackSize(1);
        link->Resume();
        QVERIFY(!link->isRunning());
        link.reset();
    }

    void aLinkLetGoAtTheJoinLimitCleansUpAfterItself()
    {
        // Held at its start until its owner is gone, as a system call that hangs would hold it.
        std::promise<void> release;
        auto link = std::make_unique<TBrindora>(unusedLoopbackPort());
        connect(
            link.get(), &QThread::started, link.get(),
            [held = release.get_future().share()] { held.wait(); }, Qt::DirectConnection);
        QPointer<TBrindora> letGo = link.get();
        m_owner = std::make_unique<LinkOwner>(std::chrono::milliseconds(0));
        m_owner->replace(std::move(link));
        letGo->Resume();
        m_owner.reset();
        QVERIFY(!letGo.isNull());
        release.set_value();
        QTRY_VERIFY(letGo.isNull());
    }

    void stopsPromptlyWhereverItIsBlocked_data()
    {
        QTest::addColumn<QString>("where");
        QTest::newRow("receiving") << QStringLiteral("receiving");
        QTest::newRow("connecting") << QStringLiteral("connecting");
        QTest::newRow("pausing after a failure") << QStringLiteral("pausing");
        QTest::newRow("waiting for a display step") << QStringLiteral("display");
    }

    void stopsPromptlyWhereverItIsBlocked()
    {
        QFETCH(QString, where);
        LoopbackServer server;
        QVERIFY(server.listen());
        StalledListener stalled;
        QVERIFY(stalled.isReady());

        QPointer<TBrindora> link;
        if (where == QLatin1String("receiving")) {
            link = startLink(server.port());
            QTRY_COMPARE(server.openClientCount(), 1);
        } else if (where == QLatin1String("connecting")) {
            link = startLink(stalled.port());
            QTRY_COMPARE(m_display->song.texts().size(), 1);
        } else if (where == QLatin1String("pausing")) {
            link = startLink(server.port(), QByteArray());
            QTRY_COMPARE(m_display->song.texts().size(), 2);
        } else {
            // No events run from here on, so the first display step can never be shown.
            link = startLink(server.port(), QByteArray());
            QTest::qSleep(100);
        }
        QVERIFY(link->isRunning());
        // Joining is bounded; a link that missed it would be let go rather than deleted.
        m_owner.reset();
        QVERIFY(link.isNull());
    }
};

QTEST_MAIN(TestTBrindora)
#include "tst_tbrindora.moc"
