#include "Faboutbrindora.h"
#include "Fbrindora.h"
#include "Formfixture.h"
#include "Hidetask.h"
#include "Modal.h"
#include "Netutil.h"
#include "Urlrecorder.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

// The main window's notification-area icon, About and Help.
class TestFormBrindoraTray final : public QObject
{
    Q_OBJECT

private:
    FormFixture m_fixture;

private Q_SLOTS:
    void initTestCase() { startSockets(); }
    void init() { QVERIFY(m_fixture.setUp()); }
    void cleanup() { m_fixture.tearDown(); }

    void closeBoxHidesIntoTheTrayAndStaysConnected()
    {
        // The icon and a first start's settings wait for the window's first frame.
        QVERIFY(m_fixture.createForm({}, {}, false));
        QCoreApplication::processEvents();
        QVERIFY(m_fixture.tray()->requests.isEmpty() && m_fixture.settings().readRaw().isEmpty());
        m_fixture.form()->show();
        QTRY_COMPARE(m_fixture.tray()->requests.value(0), QStringLiteral("add"));
        QCOMPARE(m_fixture.tray()->toolTip, QStringLiteral("Brindora Control"));
        QVERIFY(m_fixture.connectToServer());
        m_fixture.form()->close();
        QVERIFY(!m_fixture.form()->isVisible());
        QVERIFY(m_fixture.form()->hideTask()->isHidden());
        // Still connected, still showing what the server says.
        m_fixture.server().send(QByteArrayLiteral("303 \"While hidden\"\n"));
        QTRY_COMPARE(m_fixture.control<QLabel>("LabelSong")->text(),
                     QStringLiteral("While hidden"));
        QCOMPARE(m_fixture.server().openClientCount(), 1);
        m_fixture.tray()->click(NotificationArea::LeftButtonDown);
        QVERIFY(m_fixture.form()->isVisible());
        QVERIFY(m_fixture.form()->isEnabled());
    }

    void withoutATrayTheCloseBoxMinimises()
    {
        m_fixture.trayAvailable = false;
        QVERIFY(m_fixture.createForm());
        m_fixture.form()->close();
        QVERIFY(m_fixture.form()->isMinimized());
        QVERIFY(m_fixture.form()->isVisible());
    }

    void autoMinimizeHidesIntoTheTrayAfterStartUp()
    {
        QVERIFY(m_fixture.createForm({QStringLiteral("-autominimize")}));
        QTRY_VERIFY(m_fixture.form()->hideTask()->isHidden());
        QVERIFY(!m_fixture.form()->isVisible());
    }

    void theTrayMenuStaysUsableWhileHidden()
    {
        QVERIFY(m_fixture.createForm());
        m_fixture.form()->close();
        QVERIFY(!m_fixture.form()->isEnabled());
        QMenu* menu = m_fixture.form()->popupMenuTaskbar();
        m_fixture.tray()->click(NotificationArea::RightButtonDown);
        QVERIFY(menu->isVisible());
        QVERIFY(menu->isEnabled());
        for (QAction* item : menu->actions()) {
            QVERIFY(item->isEnabled());
        }
        menu->close();
    }

    void quitWhileHiddenEndsTheProgramAndRemovesTheIcon()
    {
        QVERIFY(m_fixture.createForm());
        m_fixture.form()->close();
        QVERIFY(!m_fixture.form()->isVisible());
        QTimer::singleShot(0, m_fixture.form(), [this] {
            m_fixture.form()->popupMenuTaskbar()->actions().constLast()->trigger();
        });
        QCOMPARE(QCoreApplication::exec(), 0);
        QCOMPARE(m_fixture.tray()->requests.constLast(), QStringLiteral("remove"));
    }

    void aboutOpensOverTheWindow()
    {
        QVERIFY(m_fixture.createForm());
        QString title;
        bool placed = false;
        whenModal([&](QWidget* modal) {
            auto* about = qobject_cast<TFormAboutBrindora*>(modal);
            QVERIFY(about);
            title = about->windowTitle();
            placed = m_fixture.form()->frameGeometry().contains(about->frameGeometry().center());
            about->close();
        });
        QTest::mouseClick(m_fixture.control<QPushButton>("ButtonAbout"), Qt::LeftButton);
        QCOMPARE(title, QStringLiteral("About Orvid's Brindora Controller"));
        QVERIFY(placed);
    }

    void closingAboutWhileHiddenKeepsTheProgramRunning()
    {
        QVERIFY(m_fixture.createForm());
        m_fixture.form()->close();
        QVERIFY(!m_fixture.form()->isVisible());
        QTimer::singleShot(0, m_fixture.form(), [this] {
            whenModal([](QWidget* modal) {
                QVERIFY(qobject_cast<TFormAboutBrindora*>(modal));
                modal->close();
                QTimer::singleShot(50, [] { QCoreApplication::exit(7); });
            });
            m_fixture.form()->popupMenuTaskbar()->actions().constFirst()->trigger();
        });
        QCOMPARE(QCoreApplication::exec(), 7);
    }

    void helpOpensTheDocumentFromTheStartDirectory()
    {
        QTemporaryDir start;
        QFile document(start.filePath(QStringLiteral("brindora.html")));
        QVERIFY(document.open(QIODevice::WriteOnly));
        document.close();
        UrlRecorder recorder(QStringLiteral("file"));
        QVERIFY(m_fixture.createForm({}, start.path()));
        QTest::mouseClick(m_fixture.control<QPushButton>("ButtonHelp"), Qt::LeftButton);
        QCOMPARE(recorder.opened, QList<QUrl>{QUrl::fromLocalFile(document.fileName())});
    }

    void helpWithoutADocumentSaysSoOnce()
    {
        QTemporaryDir empty;
        QVERIFY(m_fixture.createForm({}, empty.path()));
        int messages = 0;
        QString shown;
        whenModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box);
            ++messages;
            shown = box->windowTitle() + QLatin1Char('|') + box->text();
            box->accept();
        });
        QTest::mouseClick(m_fixture.control<QPushButton>("ButtonHelp"), Qt::LeftButton);
        QCOMPARE(messages, 1);
        QCOMPARE(shown, QStringLiteral("error|Unable to find documentation"));
    }
};

QTEST_MAIN(TestFormBrindoraTray)
#include "tst_fbrindoratray.moc"
