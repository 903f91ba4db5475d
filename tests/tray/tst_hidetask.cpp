#include "Fakenotificationarea.h"
#include "Formutil.h"
#include "Frestore.h"
#include "Hidetask.h"
#include "Modal.h"
#include "Tempsettings.h"
#include "Trayrestartwatcher.h"

#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

// Records the order in which watched windows are shown.
class ShowRecorder final : public QObject
{
public:
    QStringList shown;

    void watch(QWidget* widget) { widget->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show) {
            shown.append(watched->objectName());
        }
        return false;
    }
};

QString messageText(QWidget* modal)
{
    auto* box = qobject_cast<QMessageBox*>(modal);
    return box ? box->windowTitle() + QLatin1Char('|') + box->text() : QString();
}

} // namespace

class TestHideTask final : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TempSettings> m_settings;
    std::unique_ptr<FakeNotificationArea> m_area;
    std::unique_ptr<QWidget> m_owner;
    std::unique_ptr<THideOnTaskbar> m_hideTask;
    QList<int> m_pauses;

    void usePassword(const QByteArray& password)
    {
        QVERIFY(m_settings->writeRaw(
            "[General]\nhidetask_usepassword=1\nhidetask_password=" + password + "\n"));
    }

    // Hides, then answers the password dialog that a left click opens.
    void clickAndAnswer(const QString& typed, bool ok)
    {
        whenModal([typed, ok](QWidget* modal) {
            auto* dialog = qobject_cast<TFormRestore*>(modal);
            QVERIFY(dialog);
            QTest::keyClicks(dialog->EditPassword, typed);
            QTest::mouseClick(ok ? dialog->ButtonOk : dialog->ButtonCancel, Qt::LeftButton);
        });
        m_area->click(NotificationArea::LeftButtonDown);
    }

private Q_SLOTS:
    void init()
    {
        m_settings = std::make_unique<TempSettings>();
        m_area = std::make_unique<FakeNotificationArea>();
        m_owner = std::make_unique<QWidget>();
        m_owner->setObjectName(QStringLiteral("owner"));
        m_owner->show();
        m_hideTask = std::make_unique<THideOnTaskbar>(*m_area);
        m_hideTask->setOwner(m_owner.get());
        m_hideTask->setIcon(programIcon());
        m_hideTask->setSettingsName(QStringLiteral("QXBrindora"));
        m_pauses.clear();
        m_hideTask->setPause([this](int milliseconds) { m_pauses.append(milliseconds); });
    }

    void cleanup()
    {
        m_hideTask.reset();
        m_owner.reset();
        m_area.reset();
        m_settings.reset();
    }

    void refusedAddsAreRetriedAfterPauses_data()
    {
        QTest::addColumn<int>("refusals");
        QTest::addColumn<int>("adds");
        QTest::addColumn<QList<int>>("pauses");
        QTest::newRow("accepted") << 0 << 1 << QList<int>{};
        QTest::newRow("refused once") << 1 << 2 << QList<int>{100};
        QTest::newRow("refused twice") << 2 << 3 << QList<int>{100, 250};
        QTest::newRow("refused always") << 5 << 3 << QList<int>{100, 250};
    }

    void refusedAddsAreRetriedAfterPauses()
    {
        QFETCH(int, refusals);
        QFETCH(int, adds);
        QFETCH(QList<int>, pauses);
        m_area->addsToRefuse = refusals;
        m_hideTask->SetKeepIcon(true);
        QCOMPARE(m_area->requests.count(QStringLiteral("add")), adds);
        QCOMPARE(m_pauses, pauses);
        // Taken as shown whatever the area said.
        QVERIFY(m_hideTask->isIconShown());
    }

    void refreshRemoveAndReAddOnlyWhileShown()
    {
        m_hideTask->RefreshTrayIcon();
        m_hideTask->RemoveTrayIcon();
        m_hideTask->ReAddTrayIcon();
        QVERIFY(m_area->requests.isEmpty());

        m_hideTask->setToolTip(QStringLiteral("Brindora Control"));
        m_hideTask->SetKeepIcon(true);
        m_hideTask->RefreshTrayIcon();
        m_hideTask->ReAddTrayIcon();
        m_hideTask->RemoveTrayIcon();
        m_hideTask->RefreshTrayIcon();
        m_hideTask->RemoveTrayIcon();
        QCOMPARE(m_area->requests, QStringList({QStringLiteral("add"), QStringLiteral("modify"),
                                                QStringLiteral("add"), QStringLiteral("remove")}));
        QCOMPARE(m_area->toolTip, QStringLiteral("Brindora Control"));
    }

    void hidesAndRestoresExactlyTheVisibleWindowsInOrder()
    {
        QDialog first(m_owner.get());
        first.setObjectName(QStringLiteral("first"));
        QDialog invisible(m_owner.get());
        invisible.setObjectName(QStringLiteral("invisible"));
        QDialog second(m_owner.get());
        second.setObjectName(QStringLiteral("second"));
        invisible.show();
        first.show();
        second.show();
        invisible.hide();
        ShowRecorder recorder;
        for (QWidget* widget :
             {static_cast<QWidget*>(m_owner.get()), static_cast<QWidget*>(&first),
              static_cast<QWidget*>(&invisible), static_cast<QWidget*>(&second)}) {
            recorder.watch(widget);
        }

        m_hideTask->SetKeepIcon(true);
        m_hideTask->HideToTray();
        QVERIFY(m_hideTask->isHidden());
        QVERIFY(!m_owner->isVisible() && !first.isVisible() && !second.isVisible());
        QVERIFY(!m_owner->isEnabled() && !first.isEnabled());
        // Hiding asks for the icon again even though it is already there.
        QCOMPARE(m_area->requests, QStringList({QStringLiteral("add"), QStringLiteral("add")}));

        m_area->click(NotificationArea::LeftButtonDown);
        QCOMPARE(recorder.shown, QStringList({QStringLiteral("owner"), QStringLiteral("first"),
                                              QStringLiteral("second")}));
        QVERIFY(m_owner->isEnabled() && first.isEnabled() && second.isEnabled());
        QVERIFY(!invisible.isVisible());
        // The icon stays: the program keeps it for its whole run.
        QVERIFY(!m_area->requests.contains(QStringLiteral("remove")));
    }

    void restoringWithoutKeepIconRemovesTheIcon()
    {
        m_hideTask->SetKeepIcon(false);
        m_hideTask->HideToTray();
        m_area->click(NotificationArea::LeftButtonDown);
        QVERIFY(m_owner->isVisible());
        QCOMPARE(m_area->requests.constLast(), QStringLiteral("remove"));
        QVERIFY(!m_hideTask->isIconShown());
    }

    void passwordIsAskedAndComparedWithoutCase_data()
    {
        QTest::addColumn<QByteArray>("lines"); // the two password settings
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<bool>("restored");
        QTest::addColumn<QString>("message");
        const QByteArray lines("hidetask_usepassword=1\nhidetask_password=Secret\n");
        const QString invalid = QStringLiteral("Invalid Password|Invalid Password");
        QTest::newRow("right, other letter case")
            << lines << QStringLiteral("sECRET") << true << true << QString();
        QTest::newRow("wrong") << lines << QStringLiteral("nope") << true << false << invalid;
        QTest::newRow("empty") << lines << QString() << true << false << invalid;
        QTest::newRow("cancelled")
            << lines << QStringLiteral("Secret") << false << false << QString();
        // A password setting that is there but can't be read fails closed.
        QTest::newRow("flag holds a word")
            << QByteArray("hidetask_usepassword=yes\nhidetask_password=Secret\n")
            << QStringLiteral("secret") << true << true << QString();
        QTest::newRow("flag without '='")
            << QByteArray("hidetask_usepassword 1\nhidetask_password=Secret\n")
            << QStringLiteral("secret") << true << true << QString();
        QTest::newRow("password without '='")
            << QByteArray("hidetask_usepassword=1\nhidetask_password Secret\n") << QString() << true
            << false << invalid;
#ifndef _WIN32
        // A file's bytes: the registry has no store that is there but not text.
        QTest::newRow("store not text") << QByteArray("hidetask_usepassword=0\nhostname=das\x01\n")
                                        << QStringLiteral("das") << true << false << invalid;
#endif
        QTest::newRow("password with no text")
            << QByteArray("hidetask_usepassword=1\nhidetask_password=@Invalid()\n") << QString()
            << true << false << invalid;
    }

    void passwordIsAskedAndComparedWithoutCase()
    {
        QFETCH(QByteArray, lines);
        QFETCH(QString, typed);
        QFETCH(bool, ok);
        QFETCH(bool, restored);
        QFETCH(QString, message);
        QVERIFY(m_settings->writeRaw("[General]\n" + lines));
        m_hideTask->SetKeepIcon(true);
        m_hideTask->HideToTray();
        QVERIFY(m_hideTask->usesPassword());

        QString shown;
        const bool expectMessage = !message.isEmpty();
        whenModal([typed, ok, expectMessage, &shown](QWidget* modal) {
            auto* dialog = qobject_cast<TFormRestore*>(modal);
            QVERIFY(dialog);
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Restore Program"));
            QCOMPARE(dialog->EditPassword->echoMode(), QLineEdit::Password);
            QTest::keyClicks(dialog->EditPassword, typed);
            if (expectMessage) {
                // The message comes up once the dialog has gone.
                whenModal([&shown](QWidget* box) {
                    shown = messageText(box);
                    qobject_cast<QDialog*>(box)->accept();
                });
            }
            QTest::mouseClick(ok ? dialog->ButtonOk : dialog->ButtonCancel, Qt::LeftButton);
        });
        m_area->click(NotificationArea::LeftButtonDown);
        QCOMPARE(shown, message);
        QCOMPARE(m_owner->isVisible(), restored);
        QVERIFY(m_hideTask->restoreDialog() == nullptr);
    }

    void hiddenStaysSetSoLaterClicksAskAgain()
    {
        usePassword("pw");
        m_hideTask->SetKeepIcon(true);
        m_hideTask->HideToTray();
        clickAndAnswer(QStringLiteral("pw"), true);
        QVERIFY(m_owner->isVisible());
        bool asked = false;
        whenModal([&asked](QWidget* modal) {
            asked = qobject_cast<TFormRestore*>(modal) != nullptr;
            qobject_cast<QDialog*>(modal)->reject();
        });
        // A request from the program's own side looks at the window, not at the flag.
        m_hideTask->ShowOnRequest();
        QVERIFY2(!asked, "the password was asked for a window in plain view");
        m_area->click(NotificationArea::LeftButtonDown);
        QVERIFY(asked);
    }

    void clicksWhileThePasswordDialogWaits()
    {
        usePassword("pw");
        QMenu menu;
        m_hideTask->setPopupMenu(&menu);
        menu.addAction(QStringLiteral("Quit"));
        m_hideTask->SetKeepIcon(true);
        m_hideTask->HideToTray();

        int dialogs = 0;
        bool menuOpened = false;
        whenModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<TFormRestore*>(modal);
            QVERIFY(dialog);
            ++dialogs;
            // A second left click only brings the waiting dialog forward.
            m_area->click(NotificationArea::LeftButtonDown);
            QCOMPARE(m_hideTask->restoreDialog(), dialog);
            QVERIFY(dialog->isVisible());
            // A right click still opens the menu.
            m_area->click(NotificationArea::RightButtonDown);
            menuOpened = menu.isVisible();
            menu.close();
            QTest::mouseClick(dialog->ButtonCancel, Qt::LeftButton);
        });
        m_area->click(NotificationArea::LeftButtonDown);
        QCOMPARE(dialogs, 1);
        QVERIFY(menuOpened);
        QVERIFY(!m_owner->isVisible());
    }

    void rightClickOpensTheMenuWhenThereIsOne()
    {
        m_area->click(NotificationArea::RightButtonDown);
        QMenu menu;
        menu.addAction(QStringLiteral("About"));
        m_hideTask->setPopupMenu(&menu);
        // Handed on too, for a host that draws it at the icon itself.
        QCOMPARE(m_area->menu, &menu);
        m_area->click(NotificationArea::RightButtonDown);
        QVERIFY(menu.isVisible());
        menu.close();
        m_area->click(999);
        QVERIFY(m_owner->isVisible());
    }

    void withoutANotificationAreaTheWindowIsMinimisedInstead()
    {
        m_area->available = false;
        m_hideTask->SetKeepIcon(true);
        m_hideTask->HideToTray();
        QVERIFY(m_pauses.isEmpty());
        QVERIFY(!m_area->requests.contains(QStringLiteral("add")));
        QVERIFY(m_owner->isMinimized());
        QVERIFY(m_owner->isEnabled());
        QVERIFY(!m_hideTask->isHidden());
    }

    void aTrayGoneLeavesTheWindowMinimisedBehindTheGuard()
    {
        usePassword("pw");
        m_hideTask->SetKeepIcon(true);
        m_hideTask->HideToTray();
        QSignalSpy guard(m_hideTask.get(), &THideOnTaskbar::guardChanged);
        m_area->available = false;
        m_hideTask->OnTrayGone();
        QTRY_VERIFY_WITH_TIMEOUT(m_owner->isMinimized(), THideOnTaskbar::TrayGoneGrace * 2);
        QVERIFY(m_hideTask->isGuarded() && !m_owner->isEnabled() && !guard.isEmpty());
        whenModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
        m_hideTask->ShowOnRequest();
        QVERIFY2(m_owner->isMinimized() && !m_owner->isEnabled(), "back without the password");
        m_area->available = true;
        m_hideTask->RefreshTrayIcon();
        QVERIFY(!m_owner->isVisible() && m_hideTask->isGuarded());
    }

    void aMissingIconIsReportedAndNothingIsHidden()
    {
        m_hideTask->setIcon(QIcon());
        QString shown;
        whenModal([&shown](QWidget* modal) {
            shown = messageText(modal);
            qobject_cast<QDialog*>(modal)->accept();
        });
        m_hideTask->HideToTray();
        QCOMPARE(shown, QStringLiteral("Error|Internal Error: Taskbar icon is NULL"));
        QVERIFY(m_owner->isVisible());
        QVERIFY(!m_hideTask->isHidden());
    }

    void aTrayNoticeNeverOutlivesItsWatcher()
    {
        int notices = 0;
        auto watcher = std::make_unique<TrayRestartWatcher>([&notices] { ++notices; });
        // Where a host registering on the session bus ends; the notice follows from the loop.
        QVERIFY(QMetaObject::invokeMethod(watcher.get(), "onHostAppeared"));
        QCoreApplication::processEvents();
        QCOMPARE(notices, 1);
        // Still on its way when the window owning the watcher goes: it must not arrive.
        QVERIFY(QMetaObject::invokeMethod(watcher.get(), "onHostAppeared"));
        watcher.reset();
        QCoreApplication::processEvents();
        QCOMPARE(notices, 1);
    }
};

QTEST_MAIN(TestHideTask)
#include "tst_hidetask.moc"
