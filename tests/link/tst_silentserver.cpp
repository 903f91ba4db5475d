#include "Linkmessages.h"
#include "Linkstarter.h"
#include "Loopbackserver.h"
#include "Recordingdisplay.h"

#include <QStandardPaths>
#include <QTest>

#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

namespace {

// Runs a program and waits for it. Plain fork and exec: the thread sanitizer can't follow
// the way QProcess starts programs, and stops the next thread the test starts.
bool run(std::vector<const char*> command)
{
    command.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        execvp(command[0], const_cast<char* const*>(command.data()));
        _exit(127);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

} // namespace

// A server that vanishes without a word, as one that loses power does: no FIN, no RST. Runs
// in a network of its own, where the test may drop packets without touching anyone else's.
class TestSilentServer final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // Threads and programs started from here on share the new network.
        if (unshare(CLONE_NEWNET) != 0) {
            QSKIP("needs a network namespace of its own (unshare, as root); none here");
        }
        if (QStandardPaths::findExecutable(QStringLiteral("nft")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("ip")).isEmpty()) {
            QSKIP("needs nft (nftables) and ip (iproute2); not installed");
        }
        QVERIFY(run({"ip", "link", "set", "lo", "up"}));
        QVERIFY(run({"nft", "add table inet silence; add chain inet silence in "
                            "{ type filter hook input priority 0 ; }"}));
    }

    void aVanishedServerIsLeftForOneThatAnswers_data()
    {
        QTest::addColumn<bool>("commandIntoTheSilence");
        QTest::newRow("idle connection") << false;
        // Unacknowledged data holds keep-alive probes off.
        QTest::newRow("a command sent after the server went") << true;
    }

    void aVanishedServerIsLeftForOneThatAnswers()
    {
        QFETCH(bool, commandIntoTheSilence);
        RecordingDisplay display;
        LinkOwner owner;
        auto gone = std::make_unique<LoopbackServer>();
        QVERIFY(gone->listen(LinkPort));
        // Shortened through the link's own settings, so the test waits seconds, not a minute.
        TBrindora* link = startLink(owner, &display, LinkPort, QByteArrayLiteral("127.0.0.1"),
                                    KeepAlive{1, 1, 2});
        QTRY_COMPARE(gone->openClientCount(), 1);
        QVERIFY(gone->send(QByteArrayLiteral("303 \"Old\"\n")));
        QTRY_COMPARE(display.song.text(), QStringLiteral("Old"));

        // Nothing reaches the link on this connection any more, not even the server's FIN.
        const QByteArray rule = "add rule inet silence in tcp dport " +
                                QByteArray::number(gone->newestClientPort()) + " drop";
        QVERIFY(run({"nft", rule.constData()}));
        gone.reset();
        LoopbackServer back;
        QVERIFY(back.listen(LinkPort));
        if (commandIntoTheSilence) {
            link->SendCommand(commandBytes(Command::Play));
        }
        QTRY_COMPARE_WITH_TIMEOUT(back.openClientCount(), 1, 30000);
        QVERIFY(back.send(QByteArrayLiteral("303 \"New\"\n")));
        QTRY_COMPARE(display.song.text(), QStringLiteral("New"));
        // The loss itself was never shown.
        QCOMPARE(display.song.texts(), QStringList({LinkMessage::connecting(),
                                                    QStringLiteral("Old"), QStringLiteral("New")}));
    }
};

QTEST_GUILESS_MAIN(TestSilentServer)
#include "tst_silentserver.moc"
