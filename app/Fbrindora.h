#pragma once

#include "Lineprotocol.h"
#include "Linkdisplay.h"
#include "Linkowner.h"

#include <QMenu>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>

class NotificationArea;
class QAction;
class QLabel;
class QPushButton;
class QTimer;
class QToolButton;
struct SettingsKey;
class TBrindora;
class THideOnTaskbar;
class TrayRestartWatcher;

// Where the program keeps its values, the window's and the tray's alike.
inline const QString SettingsName = QStringLiteral("QXBrindora");

struct BrindoraOptions
{
    QStringList arguments;  // the command line, program name first
    QString startDirectory; // the working directory when the program started
    quint16 linkPort = LinkPort;
    // The desktop's notification area; tests hand in a fake.
    std::function<std::unique_ptr<NotificationArea>()> notificationArea;
};

// The main window: five transport commands, what the server reports, and the way to Setup,
// About, Help and Quit. Controls carry their names as object names.
class TFormBrindora final : public QWidget, private LinkDisplay
{
    Q_OBJECT

public:
    explicit TFormBrindora(const BrindoraOptions& options);
    ~TFormBrindora() override;

    const QString& hostName() const { return HostName; }
    bool autoMinimize() const { return AutoMinimize; }
    TBrindora* link() const { return m_links.current(); }
    THideOnTaskbar* hideTask() const { return HideTask.get(); }
    QMenu* popupMenuTaskbar() const { return PopupMenuTaskbar; }

    // What the desktop's own controls and a second start ask of the window: the buttons'
    // commands, Quit, and the window brought forward, or back from the icon behind the
    // password as on a left click.
    void sendToLink(Command command);
    void quit();
    void showOnRequest();
    // Whether the window is away (hidden into the icon, or minimised for want of one) behind
    // the restore password: then nobody at the desk may act through the program.
    bool isGuarded() const;
    // Told everything the link shows in the window, after the window; null for no one.
    void setLinkWatcher(LinkDisplay* watcher) { m_linkWatcher = watcher; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void createTimersAndMenu();
    void FormCreate();
    void createHideTask();
    void LoadWindowSettings();
    void SaveWindowSettings();
    void StartLink();

    void showSong(const QString& text, SongText kind) override;
    void showTime(const Time& time) override;
    void showShuffle(bool on) override;
    void showConnected(bool connected) override;

    void SpeedButtonPrevClick() { sendToLink(Command::Prev); }
    void SpeedButtonPlayClick() { sendToLink(Command::Play); }
    void SpeedButtonStopClick() { sendToLink(Command::Stop); }
    void SpeedButtonNextClick() { sendToLink(Command::Next); }
    void ButtonShuffleClick() { sendToLink(Command::Shuffle); }
    void ButtonSetupClick();
    void ButtonAboutClick();
    void About1Click() { ButtonAboutClick(); }
    void ButtonHelpClick();
    void ButtonQuitClick() { quit(); }
    void Quit1Click() { quit(); }
    void TimerStartupTimer();
    void TimerTrayKeepaliveTimer();

    QLabel* LabelTime = nullptr;
    QLabel* LabelSong = nullptr;
    QToolButton* SpeedButtonPrev = nullptr;
    QToolButton* SpeedButtonPlay = nullptr;
    QToolButton* SpeedButtonStop = nullptr;
    QToolButton* SpeedButtonNext = nullptr;
    QPushButton* ButtonShuffle = nullptr;
    QPushButton* ButtonSetup = nullptr;
    QPushButton* ButtonAbout = nullptr;
    QPushButton* ButtonHelp = nullptr;
    QPushButton* ButtonQuit = nullptr;
    QTimer* TimerStartup = nullptr;
    QTimer* TimerTrayKeepalive = nullptr;
    std::unique_ptr<QMenu> m_popupMenuOwner;
    QMenu* PopupMenuTaskbar = nullptr;
    QAction* About1 = nullptr;
    QAction* N1 = nullptr;
    QAction* Quit1 = nullptr;

    const BrindoraOptions m_options;
    QString HostName;
    bool AutoMinimize = false;
    bool Quitting = false;
    int m_startupWaits = 0;
    std::unique_ptr<NotificationArea> m_trayArea;
    std::unique_ptr<THideOnTaskbar> HideTask;
    std::unique_ptr<TrayRestartWatcher> m_trayRestart;
    std::unique_ptr<SettingsKey> m_startupSettings; // open from the start to the first frame
    LinkOwner m_links;
    LinkDisplay* m_linkWatcher = nullptr;
};
