#include "Singleinstance.h"

#include <QTest>

// Hand-over itself is tested with the real program, in its own processes.
class TestSingleInstance final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void oneNamePerSession()
    {
        const QString here = sessionInstanceName();
        QCOMPARE(sessionInstanceName(), here);
        qputenv("DISPLAY", qgetenv("DISPLAY") + "9");
        const QString otherDisplay = sessionInstanceName();
        QVERIFY2(otherDisplay != here, "another display shares the copy");
        qputenv("XDG_CONFIG_HOME", qgetenv("XDG_CONFIG_HOME") + "/other");
        QVERIFY2(sessionInstanceName() != otherDisplay, "another profile shares the copy");
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
