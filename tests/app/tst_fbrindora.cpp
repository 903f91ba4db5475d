#include "Application.h"
#include "Faboutbrindora.h"
#include "Fakenotificationarea.h"
#include "Fbriconfig.h"
#include "Fbrindora.h"
#include "Formutil.h"
#include "Hidetask.h"
#include "Linkmessages.h"
#include "Loopbackserver.h"
#include "Modal.h"
#include "Netutil.h"
#include "Placement.h"
#include "Tempsettings.h"

#include <QAction>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <functional>
#include <memory>
#include <stdexcept>

namespace {

// Stands in for the desktop's handler of file addresses.
class OpenRecorder final : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public Q_SLOTS:
    void open(const QUrl& url) { opened.append(url); }
};

class ThrowsOnEvent final : public QObject
{
public:
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::User) {
            throw std::runtime_error("disk on fire");
        }
        return QObject::event(event);
    }
};

} // namespace

class TestFormBrindora final : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TempSettings> m_settings;
    std::unique_ptr<LoopbackServer> m_server;
    std::unique_ptr<TFormBrindora> m_form;
    FakeNotificationArea* m_tray = nullptr; // owned by the form
    bool m_trayAvailable = true;

    template <typename T> T* control(const char* name) const
    {
        T* found = m_form->findChild<T*>(QLatin1String(name));
        if (found == nullptr) {
            qFatal("no control %s", name);
        }
        return found;
    }

    void createForm(const QStringList& extraArguments = {}, const QString& startDirectory = {})
    {
        BrindoraOptions options;
        options.arguments = QStringList{QStringLiteral("brindora")} + extraArguments;
        options.startDirectory = startDirectory;
        options.linkPort = m_server->port();
        options.notificationArea = [this] {
            auto area = std::make_unique<FakeNotificationArea>();
            area->available = m_trayAvailable;
            m_tray = area.get();
            return area;
        };
        m_form = std::make_unique<TFormBrindora>(options);
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    }

    // Presses Setup and answers the dialog with the host and the given button.
    void runSetup(const QString& host, bool ok)
    {
        whenModal([host, ok](QWidget* modal) {
            auto* dialog = qobject_cast<TFormBriConfig*>(modal);
            QVERIFY(dialog);
            dialog->EditHostName->setText(host);
            QTest::mouseClick(ok ? dialog->ButtonOk : dialog->ButtonCancel, Qt::LeftButton);
        });
        QTest::mouseClick(control<QPushButton>("ButtonSetup"), Qt::LeftButton);
    }

    void connectToServer()
    {
        runSetup(QStringLiteral("127.0.0.1"), true);
        QTRY_COMPARE(m_server->openClientCount(), 1);
    }

private Q_SLOTS:
    void initTestCase() { startSockets(); }

    void init()
    {
        m_settings = std::make_unique<TempSettings>();
        QVERIFY(m_settings->isValid());
        m_trayAvailable = true;
        m_server = std::make_unique<LoopbackServer>();
        QVERIFY(m_server->listen());
    }

    void cleanup()
    {
        m_form.reset();
        m_server.reset();
        m_settings.reset();
    }

    void laidOutAsTheUsersKnowIt()
    {
        createForm();
        QCOMPARE(m_form->windowTitle(), QStringLiteral("Orvid's Brindora Control"));
        QCOMPARE(m_form->size(), QSize(383, 61));
        QCOMPARE(m_form->minimumSize(), m_form->maximumSize());
        const struct
        {
            const char* name;
            QRect geometry;
            const char* caption;
        } layout[] = {
            {"LabelTime", {8, 16, 49, 13}, ""},          {"LabelSong", {8, 40, 369, 13}, nullptr},
            {"SpeedButtonPrev", {72, 8, 23, 22}, ""},    {"SpeedButtonPlay", {96, 8, 23, 22}, ""},
            {"SpeedButtonStop", {120, 8, 23, 22}, ""},   {"SpeedButtonNext", {144, 8, 23, 22}, ""},
            {"ButtonShuffle", {168, 8, 41, 22}, "Shuf"}, {"ButtonSetup", {210, 8, 41, 22}, "Setup"},
            {"ButtonAbout", {252, 8, 41, 22}, "About"},  {"ButtonHelp", {294, 8, 41, 22}, "Help"},
            {"ButtonQuit", {336, 8, 41, 22}, "Quit"},
        };
        for (const auto& expected : layout) {
            QWidget* widget = control<QWidget>(expected.name);
            QCOMPARE(widget->geometry(), expected.geometry);
            if (auto* button = qobject_cast<QPushButton*>(widget)) {
                QCOMPARE(button->text(), QLatin1String(expected.caption));
            }
        }
        const char* const transport[][2] = {{"SpeedButtonPrev", "Previous"},
                                            {"SpeedButtonPlay", "Play"},
                                            {"SpeedButtonStop", "Stop"},
                                            {"SpeedButtonNext", "Next"}};
        for (const auto& [name, role] : transport) {
            auto* button = control<QToolButton>(name);
            QCOMPARE(button->focusPolicy(), Qt::NoFocus);
            QCOMPARE(button->accessibleName(), QLatin1String(role));
            QCOMPARE(button->toolTip(), QLatin1String(role));
            QVERIFY(!button->icon().isNull());
            QCOMPARE(button->icon().actualSize(QSize(18, 18)), QSize(18, 18));
        }
        QCOMPARE(control<QPushButton>("ButtonShuffle")->accessibleName(),
                 QStringLiteral("Shuffle"));

        // Tab order of the push buttons: Setup, Shuf, About, Quit, Help.
        QCOMPARE(control<QWidget>("ButtonSetup")->nextInFocusChain(),
                 control<QWidget>("ButtonShuffle"));
        QCOMPARE(control<QWidget>("ButtonShuffle")->nextInFocusChain(),
                 control<QWidget>("ButtonAbout"));
        QCOMPARE(control<QWidget>("ButtonAbout")->nextInFocusChain(),
                 control<QWidget>("ButtonQuit"));
        QCOMPARE(control<QWidget>("ButtonQuit")->nextInFocusChain(),
                 control<QWidget>("ButtonHelp"));

        const QList<QAction*> items = control<QMenu>("PopupMenuTaskbar")->actions();
        QCOMPARE(items.size(), 3);
        QCOMPARE(items[0]->text(), QStringLiteral("About"));
        QVERIFY(items[1]->isSeparator());
        QCOMPARE(items[2]->text(), QStringLiteral("Quit"));
    }

    void everyCaptionFitsItsButton()
    {
        createForm();
        for (const char* name :
             {"ButtonShuffle", "ButtonSetup", "ButtonAbout", "ButtonHelp", "ButtonQuit"}) {
            auto* button = control<QPushButton>(name);
            QFont bold = button->font();
            bold.setBold(true);
            // Room for the button's frame on both sides, in the wider bold face too.
            const int room = button->width() - 4;
            QVERIFY2(QFontMetrics(bold).horizontalAdvance(button->text()) <= room, name);
        }
        QCOMPARE(control<QPushButton>("ButtonShuffle")->font(), m_form->font());
    }

    void startsConnectingAndAsksForAHost()
    {
        createForm();
        QTRY_COMPARE(control<QLabel>("LabelSong")->text(), LinkMessage::noHost());
        QCOMPARE(m_server->connectionCount(), 0);
    }

    void buttonsSendTheirCommands()
    {
        createForm();
        connectToServer();
        for (const char* name :
             {"SpeedButtonPrev", "SpeedButtonPlay", "SpeedButtonStop", "SpeedButtonNext"}) {
            QTest::mouseClick(control<QToolButton>(name), Qt::LeftButton);
        }
        QTest::mouseClick(control<QPushButton>("ButtonShuffle"), Qt::LeftButton);
        QTRY_COMPARE(m_server->received(), QByteArray("prev\nplay\nstop\nnext\nshuffle\n"));
        // The window itself waits for the server to say what changed.
        QCOMPARE(control<QLabel>("LabelTime")->text(), QString());
    }

    void statusLinesReachTheWindow()
    {
        createForm();
        connectToServer();
        QTRY_COMPARE(control<QLabel>("LabelSong")->text(), LinkMessage::connecting());
        m_server->send(
            QByteArrayLiteral("303 \"<b>Not bold</b> \xc3\xa9t\xc3\xa9\"\n304 0 3 9\n305 0 0 1\n"));
        auto* shuffle = control<QPushButton>("ButtonShuffle");
        QTRY_VERIFY(shuffle->font().bold());
        QCOMPARE(control<QLabel>("LabelSong")->text(), QStringLiteral(u"<b>Not bold</b> été"));
        QCOMPARE(control<QLabel>("LabelSong")->textFormat(), Qt::PlainText);
        QCOMPARE(control<QLabel>("LabelTime")->text(), QStringLiteral("00:03:09"));
        QVERIFY(!control<QPushButton>("ButtonSetup")->font().bold());
        m_server->send(QByteArrayLiteral("305 0 0 0\n"));
        QTRY_VERIFY(!shuffle->font().bold());
    }

    void setupOkRestartsTheLinkEvenWithTheSameHost()
    {
        createForm();
        connectToServer();
        m_server->send(QByteArrayLiteral("303 \"Song\"\n"));
        QTRY_COMPARE(control<QLabel>("LabelSong")->text(), QStringLiteral("Song"));
        runSetup(QStringLiteral("127.0.0.1"), true);
        QTRY_COMPARE(m_server->connectionCount(), 2);
        QTRY_COMPARE(m_server->openClientCount(), 1);
        QCOMPARE(control<QLabel>("LabelSong")->text(), LinkMessage::connecting());
        QCOMPARE(m_form->hostName(), QStringLiteral("127.0.0.1"));
    }

    void setupCancelLeavesTheLinkAlone()
    {
        createForm();
        connectToServer();
        const TBrindora* before = m_form->link();
        runSetup(QStringLiteral("a..b"), false);
        QCOMPARE(m_form->link(), before);
        QCOMPARE(m_form->hostName(), QStringLiteral("127.0.0.1"));
        QTest::qWait(100);
        QCOMPARE(m_server->connectionCount(), 1);
        QCOMPARE(m_server->openClientCount(), 1);
    }

    void setupDialogIsPlacedOverTheWindowAndBounded()
    {
        createForm();
        m_form->move(40, 30);
        QPoint placedAt;
        QPoint expected;
        int maxLength = 0;
        int escapeResult = 0;
        whenModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<TFormBriConfig*>(modal);
            QVERIFY(dialog);
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Configuration"));
            QCOMPARE(dialog->size(), QSize(346, 107));
            QVERIFY(dialog->ButtonOk->isDefault());
            QCOMPARE(dialog->EditHostName->geometry(), QRect(8, 24, 329, 21));
            placedAt = dialog->pos();
            const QRect outer = m_form->frameGeometry();
            const QRect screen = m_form->screen()->geometry();
            const PlacementPoint at =
                placeDialogRect({outer.left(), outer.top(), outer.width(), outer.height()},
                                dialog->frameGeometry().width(), dialog->frameGeometry().height(),
                                {screen.left(), screen.top(), screen.width(), screen.height()});
            expected = QPoint(at.left, at.top);
            dialog->EditHostName->clear();
            QTest::keyClicks(dialog->EditHostName, QString(1100, QLatin1Char('h')));
            maxLength = static_cast<int>(dialog->EditHostName->text().size());
            QObject::connect(dialog, &QDialog::finished, dialog,
                             [&](int result) { escapeResult = result; });
            QTest::keyClick(dialog, Qt::Key_Escape);
        });
        QTest::mouseClick(control<QPushButton>("ButtonSetup"), Qt::LeftButton);
        QCOMPARE(placedAt, expected);
        QCOMPARE(maxLength, TFormBriConfig::HostNameLimit);
        QCOMPARE(escapeResult, int(mrCancel));
        QCOMPARE(m_form->hostName(), QString());
    }

    void autoMinimizeIsReadFromTheCommandLine()
    {
        createForm({QStringLiteral("-AUTOMinimize")});
        QVERIFY(m_form->autoMinimize());
    }

    void closeBoxHidesIntoTheTrayAndStaysConnected()
    {
        createForm();
        QCOMPARE(m_tray->requests.value(0), QStringLiteral("add"));
        QCOMPARE(m_tray->toolTip, QStringLiteral("Brindora Control"));
        connectToServer();
        m_form->close();
        QVERIFY(!m_form->isVisible());
        QVERIFY(m_form->hideTask()->isHidden());
        // Still connected, still showing what the server says.
        m_server->send(QByteArrayLiteral("303 \"While hidden\"\n"));
        QTRY_COMPARE(control<QLabel>("LabelSong")->text(), QStringLiteral("While hidden"));
        QCOMPARE(m_server->openClientCount(), 1);
        m_tray->click(NotificationArea::LeftButtonDown);
        QVERIFY(m_form->isVisible());
        QVERIFY(m_form->isEnabled());
    }

    void withoutATrayTheCloseBoxMinimises()
    {
        m_trayAvailable = false;
        createForm();
        m_form->close();
        QVERIFY(m_form->isMinimized());
        QVERIFY(m_form->isVisible());
    }

    void autoMinimizeHidesIntoTheTrayAfterStartUp()
    {
        createForm({QStringLiteral("-autominimize")});
        QTRY_VERIFY(m_form->hideTask()->isHidden());
        QVERIFY(!m_form->isVisible());
    }

    void quitWhileHiddenEndsTheProgramAndRemovesTheIcon()
    {
        createForm();
        m_form->close();
        QVERIFY(!m_form->isVisible());
        QTimer::singleShot(0, m_form.get(), [this] {
            control<QMenu>("PopupMenuTaskbar")->actions().constLast()->trigger();
        });
        QCOMPARE(QCoreApplication::exec(), 0);
        QCOMPARE(m_tray->requests.constLast(), QStringLiteral("remove"));
    }

    void quitEndsTheProgram()
    {
        createForm();
        connectToServer();
        QTimer::singleShot(0, m_form.get(), [this] {
            QTest::mouseClick(control<QPushButton>("ButtonQuit"), Qt::LeftButton);
        });
        QCOMPARE(QCoreApplication::exec(), 0);
        QVERIFY(!m_form->isVisible());
        m_form.reset();
        QTRY_COMPARE(m_server->openClientCount(), 0);
    }

    void quitFromTheTrayMenuEndsTheProgram()
    {
        createForm();
        QTimer::singleShot(0, m_form.get(), [this] {
            control<QMenu>("PopupMenuTaskbar")->actions().constLast()->trigger();
        });
        QCOMPARE(QCoreApplication::exec(), 0);
    }

    void aboutOpensOverTheWindow()
    {
        createForm();
        QString title;
        bool placed = false;
        whenModal([&](QWidget* modal) {
            auto* about = qobject_cast<TFormAboutBrindora*>(modal);
            QVERIFY(about);
            title = about->windowTitle();
            placed = m_form->frameGeometry().contains(about->frameGeometry().center());
            about->close();
        });
        QTest::mouseClick(control<QPushButton>("ButtonAbout"), Qt::LeftButton);
        QCOMPARE(title, QStringLiteral("About Orvid's Brindora Controller"));
        QVERIFY(placed);
    }

    void closingAboutWhileHiddenKeepsTheProgramRunning()
    {
        createForm();
        m_form->close();
        QVERIFY(!m_form->isVisible());
        QTimer::singleShot(0, m_form.get(), [this] {
            whenModal([](QWidget* modal) {
                QVERIFY(qobject_cast<TFormAboutBrindora*>(modal));
                modal->close();
                QTimer::singleShot(50, [] { QCoreApplication::exit(7); });
            });
            control<QMenu>("PopupMenuTaskbar")->actions().constFirst()->trigger();
        });
        QCOMPARE(QCoreApplication::exec(), 7);
    }

    void helpOpensTheDocumentFromTheStartDirectory()
    {
        QTemporaryDir start;
        QFile document(start.filePath(QStringLiteral("brindora.html")));
        QVERIFY(document.open(QIODevice::WriteOnly));
        document.close();
        OpenRecorder recorder;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");
        createForm({}, start.path());
        QTest::mouseClick(control<QPushButton>("ButtonHelp"), Qt::LeftButton);
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(recorder.opened, QList<QUrl>{QUrl::fromLocalFile(document.fileName())});
    }

    void helpWithoutADocumentSaysSoOnce()
    {
        QTemporaryDir empty;
        createForm({}, empty.path());
        int messages = 0;
        QString shown;
        whenModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box);
            ++messages;
            shown = box->windowTitle() + QLatin1Char('|') + box->text();
            box->accept();
        });
        QTest::mouseClick(control<QPushButton>("ButtonHelp"), Qt::LeftButton);
        QCOMPARE(messages, 1);
        QCOMPARE(shown, QStringLiteral("error|Unable to find documentation"));
    }

    void anExceptionInAHandlerIsShownAndSurvived()
    {
        QString shown;
        whenModal([&shown](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box);
            shown = box->text();
            box->accept();
        });
        ThrowsOnEvent thrower;
        QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
        QTRY_COMPARE(shown, QStringLiteral("disk on fire"));
    }
};

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    BrindoraApplication application(argc, argv);
    TestFormBrindora test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_fbrindora.moc"
