#include "Application.h"
#include "Autostart.h"
#include "Fbriconfig.h"
#include "Fbrindora.h"
#include "Formfixture.h"
#include "Formutil.h"
#include "Linkmessages.h"
#include "Modal.h"
#include "Netutil.h"
#include "Placement.h"
#include "Underwine.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>
#include <memory>
#include <stdexcept>

namespace {

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
    FormFixture m_fixture;

private Q_SLOTS:
    void initTestCase() { startSockets(); }
    void init() { QVERIFY(m_fixture.setUp()); }
    void cleanup() { m_fixture.tearDown(); }

    void laidOutAsTheUsersKnowIt()
    {
        QVERIFY(m_fixture.createForm());
        QCOMPARE(m_fixture.form()->windowTitle(), QStringLiteral("Orvid's Brindora Control"));
        QCOMPARE(m_fixture.form()->size(), QSize(383, 61));
        QCOMPARE(m_fixture.form()->minimumSize(), m_fixture.form()->maximumSize());
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
            QWidget* widget = m_fixture.control<QWidget>(expected.name);
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
            auto* button = m_fixture.control<QToolButton>(name);
            QCOMPARE(button->focusPolicy(), Qt::NoFocus);
            QCOMPARE(button->accessibleName(), QLatin1String(role));
            QCOMPARE(button->toolTip(), QLatin1String(role));
            QVERIFY(!button->icon().isNull());
            QCOMPARE(button->icon().actualSize(QSize(18, 18)), QSize(18, 18));
        }
        QCOMPARE(m_fixture.control<QPushButton>("ButtonShuffle")->accessibleName(),
                 QStringLiteral("Shuffle"));

        // Tab order of the push buttons: Setup, Shuf, About, Quit, Help.
        QCOMPARE(m_fixture.control<QWidget>("ButtonSetup")->nextInFocusChain(),
                 m_fixture.control<QWidget>("ButtonShuffle"));
        QCOMPARE(m_fixture.control<QWidget>("ButtonShuffle")->nextInFocusChain(),
                 m_fixture.control<QWidget>("ButtonAbout"));
        QCOMPARE(m_fixture.control<QWidget>("ButtonAbout")->nextInFocusChain(),
                 m_fixture.control<QWidget>("ButtonQuit"));
        QCOMPARE(m_fixture.control<QWidget>("ButtonQuit")->nextInFocusChain(),
                 m_fixture.control<QWidget>("ButtonHelp"));

        const QList<QAction*> items = m_fixture.form()->popupMenuTaskbar()->actions();
        QCOMPARE(items.size(), 3);
        QCOMPARE(items[0]->text(), QStringLiteral("About"));
        QVERIFY(items[1]->isSeparator());
        QCOMPARE(items[2]->text(), QStringLiteral("Quit"));
    }

    void everyCaptionFitsItsButton()
    {
        QVERIFY(m_fixture.createForm());
        for (const char* name :
             {"ButtonShuffle", "ButtonSetup", "ButtonAbout", "ButtonHelp", "ButtonQuit"}) {
            auto* button = m_fixture.control<QPushButton>(name);
            QFont bold = button->font();
            bold.setBold(true);
            if (runsUnderWine())
                QSKIP("wine stands in other faces for Windows' fonts: nothing to measure");
            // Room for the button's frame on both sides, in the wider bold face too.
            const int room = button->width() - 4;
            QVERIFY2(QFontMetrics(bold).horizontalAdvance(button->text()) <= room, name);
        }
        QCOMPARE(m_fixture.control<QPushButton>("ButtonShuffle")->font(), m_fixture.form()->font());
    }

    void startsConnectingAndAsksForAHost()
    {
        QVERIFY(m_fixture.createForm());
        QTRY_COMPARE(m_fixture.control<QLabel>("LabelSong")->text(), LinkMessage::noHost());
        QCOMPARE(m_fixture.server().connectionCount(), 0);
    }

    void buttonsSendTheirCommands()
    {
        QVERIFY(m_fixture.createForm());
        QVERIFY(m_fixture.connectToServer());
        for (const char* name :
             {"SpeedButtonPrev", "SpeedButtonPlay", "SpeedButtonStop", "SpeedButtonNext"}) {
            QTest::mouseClick(m_fixture.control<QToolButton>(name), Qt::LeftButton);
        }
        QTest::mouseClick(m_fixture.control<QPushButton>("ButtonShuffle"), Qt::LeftButton);
        QTRY_COMPARE(m_fixture.server().received(),
                     QByteArray("prev\nplay\nstop\nnext\nshuffle\n"));
        // The window itself waits for the server to say what changed.
        QCOMPARE(m_fixture.control<QLabel>("LabelTime")->text(), QString());
    }

    void statusLinesReachTheWindow()
    {
        QVERIFY(m_fixture.createForm());
        QVERIFY(m_fixture.connectToServer());
        QTRY_COMPARE(m_fixture.control<QLabel>("LabelSong")->text(), LinkMessage::connecting());
        m_fixture.server().send(
            QByteArrayLiteral("303 \"<b>Not bold</b> \xc3\xa9t\xc3\xa9\"\n304 0 3 9\n305 0 0 1\n"));
        auto* shuffle = m_fixture.control<QPushButton>("ButtonShuffle");
        QTRY_VERIFY(shuffle->font().bold());
        QCOMPARE(m_fixture.control<QLabel>("LabelSong")->text(),
                 QStringLiteral(u"<b>Not bold</b> été"));
        QCOMPARE(m_fixture.control<QLabel>("LabelSong")->textFormat(), Qt::PlainText);
        QCOMPARE(m_fixture.control<QLabel>("LabelTime")->text(), QStringLiteral("00:03:09"));
        QVERIFY(!m_fixture.control<QPushButton>("ButtonSetup")->font().bold());
        m_fixture.server().send(QByteArrayLiteral("305 0 0 0\n"));
        QTRY_VERIFY(!shuffle->font().bold());
    }

    void setupOkRestartsTheLinkEvenWithTheSameHost()
    {
        QVERIFY(m_fixture.createForm());
        QVERIFY(m_fixture.connectToServer());
        m_fixture.server().send(QByteArrayLiteral("303 \"Song\"\n"));
        QTRY_COMPARE(m_fixture.control<QLabel>("LabelSong")->text(), QStringLiteral("Song"));
        m_fixture.runSetup(QStringLiteral("127.0.0.1"), true);
        QTRY_COMPARE(m_fixture.server().connectionCount(), 2);
        QTRY_COMPARE(m_fixture.server().openClientCount(), 1);
        QCOMPARE(m_fixture.control<QLabel>("LabelSong")->text(), LinkMessage::connecting());
        QCOMPARE(m_fixture.form()->hostName(), QStringLiteral("127.0.0.1"));
    }

    void setupCancelLeavesTheLinkAlone()
    {
        QVERIFY(m_fixture.createForm());
        QVERIFY(m_fixture.connectToServer());
        const TBrindora* before = m_fixture.form()->link();
        m_fixture.runSetup(QStringLiteral("a..b"), false);
        QCOMPARE(m_fixture.form()->link(), before);
        QCOMPARE(m_fixture.form()->hostName(), QStringLiteral("127.0.0.1"));
        QTest::qWait(100);
        QCOMPARE(m_fixture.server().connectionCount(), 1);
        QCOMPARE(m_fixture.server().openClientCount(), 1);
    }

    void setupWritesTheLogInEntryOnlyWhenTheBoxChanged()
    {
        // A folder in the entry's place makes the write fail on Linux; the Run key has none.
        QVERIFY(m_fixture.createForm());
        QDir().mkpath(m_fixture.settings().configHome() +
                      QStringLiteral("/autostart/brindora.desktop"));
        int messages = 0;
        QTimer boxes;
        QObject::connect(&boxes, &QTimer::timeout, [&messages] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                messages += box->text().contains(QStringLiteral("could not")) && box->close();
        });
        boxes.start(10);
        for (const bool tick : {true, false}) {
            bool shown = false;
            whenModal([tick, &shown](QWidget* modal) {
                auto* dialog = qobject_cast<TFormBriConfig*>(modal);
                shown = dialog->CheckStartAtLogin->isChecked();
                dialog->CheckStartAtLogin->setChecked(shown != tick);
                dialog->EditHostName->setText(QStringLiteral("127.0.0.1"));
                dialog->ButtonOk->click();
            });
            QTest::mouseClick(m_fixture.control<QPushButton>("ButtonSetup"), Qt::LeftButton);
            QTRY_COMPARE(m_fixture.server().openClientCount(), 1);
            QCOMPARE(shown, !tick && Autostart::isEnabled());
            QCOMPARE(messages, Autostart::isEnabled() ? 0 : 1);
        }
    }

    void setupDialogIsPlacedOverTheWindowAndBounded()
    {
        QVERIFY(m_fixture.createForm());
        m_fixture.form()->move(40, 30);
        QPoint placedAt;
        QPoint expected;
        int maxLength = 0;
        int escapeResult = 0;
        whenModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<TFormBriConfig*>(modal);
            QVERIFY(dialog);
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Configuration"));
            QCOMPARE(dialog->size(), QSize(346, 131));
            QVERIFY(dialog->ButtonOk->isDefault());
            QCOMPARE(dialog->EditHostName->geometry(), QRect(8, 24, 329, 21));
            placedAt = dialog->pos();
            const QRect outer = m_fixture.form()->frameGeometry();
            const QRect screen = m_fixture.form()->screen()->geometry();
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
        QTest::mouseClick(m_fixture.control<QPushButton>("ButtonSetup"), Qt::LeftButton);
        QCOMPARE(placedAt, expected);
        QCOMPARE(maxLength, TFormBriConfig::HostNameLimit);
        QCOMPARE(escapeResult, int(mrCancel));
        QCOMPARE(m_fixture.form()->hostName(), QString());
    }

    void autoMinimizeIsReadFromTheCommandLine()
    {
        QVERIFY(m_fixture.createForm({QStringLiteral("-AUTOMinimize")}));
        QVERIFY(m_fixture.form()->autoMinimize());
    }

    void quitEndsTheProgram()
    {
        QVERIFY(m_fixture.createForm());
        QVERIFY(m_fixture.connectToServer());
        QTimer::singleShot(0, m_fixture.form(), [this] {
            QTest::mouseClick(m_fixture.control<QPushButton>("ButtonQuit"), Qt::LeftButton);
        });
        QCOMPARE(QCoreApplication::exec(), 0);
        QVERIFY(!m_fixture.form()->isVisible());
        m_fixture.destroyForm();
        QTRY_COMPARE(m_fixture.server().openClientCount(), 0);
    }

    void quitFromTheTrayMenuEndsTheProgram()
    {
        QVERIFY(m_fixture.createForm());
        QTimer::singleShot(0, m_fixture.form(), [this] {
            m_fixture.form()->popupMenuTaskbar()->actions().constLast()->trigger();
        });
        QCOMPARE(QCoreApplication::exec(), 0);
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
