#include "Fbrindora.h"

#include "Autostart.h"
#include "Commandline.h"
#include "Faboutbrindora.h"
#include "Fbriconfig.h"
#include "Firstframe.h"
#include "Formutil.h"
#include "Glyphs.h"
#include "Hidetask.h"
#include "Placement.h"
#include "Settings.h"
#include "Systemtrayarea.h"
#include "Tbrindora.h"
#include "Trayhosts.h"
#include "Trayrestartwatcher.h"
#include "Viewdoc.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolButton>

namespace {

constexpr int ClientWidth = 383;
constexpr int ClientHeight = 61;

// The host name buffer's size, terminator included.
constexpr int HostNameSize = 1024;

template <typename Control> Control* named(Control* control, const char* name)
{
    control->setObjectName(QLatin1String(name));
    return control;
}

QToolButton* speedButton(QWidget* parent, const char* name, Glyph glyph, const QString& role,
                         int left)
{
    auto* button = named(new QToolButton(parent), name);
    button->setGeometry(left, 8, 23, 22);
    button->setFocusPolicy(Qt::NoFocus);
    button->setIcon(transportIcon(glyph));
    button->setIconSize(QSize(GlyphSize, GlyphSize));
    button->setToolTip(role);
    button->setAccessibleName(role);
    return button;
}

QPushButton* pushButton(QWidget* parent, const char* name, const QString& caption, int left)
{
    auto* button = named(new QPushButton(caption, parent), name);
    button->setGeometry(left, 8, 41, 22);
    button->setAutoDefault(false);
    return button;
}

} // namespace

TFormBrindora::TFormBrindora(const BrindoraOptions& options) : m_options(options)
{
    setObjectName(QStringLiteral("FormBrindora"));
    setWindowTitle(QStringLiteral("Orvid's Brindora Control"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFont(formFont());
    setWindowIcon(programIcon());
    setFixedSize(ClientWidth, ClientHeight);
    createControls();
    createTimersAndMenu();
    FormCreate();
}

TFormBrindora::~TFormBrindora() = default;

void TFormBrindora::createControls()
{
    LabelTime = named(new QLabel(this), "LabelTime");
    LabelTime->setGeometry(8, 16, 49, 13);
    // A description, not a name: the name is what readers announce, and it must stay the text.
    LabelTime->setAccessibleDescription(QStringLiteral("Time"));

    LabelSong = named(new QLabel(this), "LabelSong");
    LabelSong->setGeometry(8, 40, 369, 13);
    LabelSong->setAccessibleDescription(QStringLiteral("Song"));
    // Whatever the server sends is shown as it is, never interpreted as markup.
    LabelSong->setTextFormat(Qt::PlainText);
    LabelTime->setTextFormat(Qt::PlainText);

    SpeedButtonPrev =
        speedButton(this, "SpeedButtonPrev", Glyph::Previous, QStringLiteral("Previous"), 72);
    SpeedButtonPlay = speedButton(this, "SpeedButtonPlay", Glyph::Play, QStringLiteral("Play"), 96);
    SpeedButtonStop =
        speedButton(this, "SpeedButtonStop", Glyph::Stop, QStringLiteral("Stop"), 120);
    SpeedButtonNext =
        speedButton(this, "SpeedButtonNext", Glyph::Next, QStringLiteral("Next"), 144);

    ButtonShuffle = pushButton(this, "ButtonShuffle", QStringLiteral("Shuf"), 168);
    // A font of its own, so its bold style can change without touching the others.
    ButtonShuffle->setFont(formFont());
    ButtonShuffle->setToolTip(QStringLiteral("Shuffle"));
    ButtonShuffle->setAccessibleName(QStringLiteral("Shuffle"));
    ButtonSetup = pushButton(this, "ButtonSetup", QStringLiteral("Setup"), 210);
    ButtonAbout = pushButton(this, "ButtonAbout", QStringLiteral("About"), 252);
    ButtonHelp = pushButton(this, "ButtonHelp", QStringLiteral("Help"), 294);
    ButtonQuit = pushButton(this, "ButtonQuit", QStringLiteral("Quit"), 336);

    setTabOrder(ButtonSetup, ButtonShuffle);
    setTabOrder(ButtonShuffle, ButtonAbout);
    setTabOrder(ButtonAbout, ButtonQuit);
    setTabOrder(ButtonQuit, ButtonHelp);

    connect(SpeedButtonPrev, &QToolButton::clicked, this, &TFormBrindora::SpeedButtonPrevClick);
    connect(SpeedButtonPlay, &QToolButton::clicked, this, &TFormBrindora::SpeedButtonPlayClick);
    connect(SpeedButtonStop, &QToolButton::clicked, this, &TFormBrindora::SpeedButtonStopClick);
    connect(SpeedButtonNext, &QToolButton::clicked, this, &TFormBrindora::SpeedButtonNextClick);
    connect(ButtonShuffle, &QPushButton::clicked, this, &TFormBrindora::ButtonShuffleClick);
    connect(ButtonSetup, &QPushButton::clicked, this, &TFormBrindora::ButtonSetupClick);
    connect(ButtonAbout, &QPushButton::clicked, this, &TFormBrindora::ButtonAboutClick);
    connect(ButtonHelp, &QPushButton::clicked, this, &TFormBrindora::ButtonHelpClick);
    connect(ButtonQuit, &QPushButton::clicked, this, &TFormBrindora::ButtonQuitClick);
}

void TFormBrindora::createTimersAndMenu()
{
    TimerStartup = named(new QTimer(this), "TimerStartup");
    TimerStartup->setInterval(100);
    connect(TimerStartup, &QTimer::timeout, this, &TFormBrindora::TimerStartupTimer);
    TimerStartup->start();

    TimerTrayKeepalive = named(new QTimer(this), "TimerTrayKeepalive");
    TimerTrayKeepalive->setInterval(5000);
    connect(TimerTrayKeepalive, &QTimer::timeout, this, &TFormBrindora::TimerTrayKeepaliveTimer);
    TimerTrayKeepalive->start();

    // No parent: hiding disables the window and with it every child, and a disabled menu
    // closes at the first click, so the tray menu could not be used while hidden.
    m_popupMenuOwner = std::make_unique<QMenu>();
    PopupMenuTaskbar = named(m_popupMenuOwner.get(), "PopupMenuTaskbar");
    PopupMenuTaskbar->setFont(formFont());
    About1 = named(PopupMenuTaskbar->addAction(QStringLiteral("About")), "About1");
    N1 = named(PopupMenuTaskbar->addSeparator(), "N1");
    Quit1 = named(PopupMenuTaskbar->addAction(QStringLiteral("Quit")), "Quit1");
    connect(About1, &QAction::triggered, this, &TFormBrindora::About1Click);
    connect(Quit1, &QAction::triggered, this, &TFormBrindora::Quit1Click);
}

void TFormBrindora::FormCreate()
{
    AutoMinimize = ScanCommandLine(m_options.arguments);
    LoadWindowSettings();
    createHideTask();
    StartLink();
}

void TFormBrindora::createHideTask()
{
    m_trayArea = m_options.notificationArea ? m_options.notificationArea()
                                            : std::make_unique<SystemTrayArea>();
    HideTask = std::make_unique<THideOnTaskbar>(*m_trayArea);
    HideTask->setOwner(this);
    HideTask->setToolTip(QStringLiteral("Brindora Control"));
    // The window's own: every size is decoded as it is made, once is enough.
    HideTask->setIcon(windowIcon());
    HideTask->setSettingsName(SettingsName);
    HideTask->setPopupMenu(PopupMenuTaskbar);
    // The icon, and with it the first look at the desktop's notification areas (the X
    // server's tray, a question to the session bus), once the window is up.
    afterFirstFrame(this, this, [this] {
        HideTask->SetKeepIcon(true);
        connect(&TrayHosts::instance(), &TrayHosts::gone, HideTask.get(),
                &THideOnTaskbar::OnTrayGone);
        m_trayRestart = std::make_unique<TrayRestartWatcher>([this] {
            if (HideTask) {
                HideTask->ReAddTrayIcon();
            }
        });
        // A first start writes the defaults it read (a file written through to the disk).
        m_startupSettings.reset();
    });
}

void TFormBrindora::LoadWindowSettings()
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const int defaultTop = screen.height() / 2;
    const int defaultLeft = screen.width() / 2;

    // Closed once the window is up (see createHideTask).
    m_startupSettings = std::make_unique<SettingsKey>();
    SettingsKey& key = *m_startupSettings;
    OpenSettings(key, SettingsName);
    int top = ReadSettingInt(key, QStringLiteral("viewertop"), defaultTop);
    int left = ReadSettingInt(key, QStringLiteral("viewerleft"), defaultLeft);
    ReadSettingString(key, QStringLiteral("hostname"), HostName, HostName, HostNameSize);

    std::vector<PlacementRect> workAreas;
    for (const QScreen* each : QGuiApplication::screens()) {
        workAreas.push_back(toPlacement(each->availableGeometry()));
    }
    if (!isTitleBarReachable({left, top, width(), height()}, workAreas)) {
        // The screen it stood on is gone, or the place was never real; a window that can't
        // be taken by its title bar is of no use there.
        top = defaultTop;
        left = defaultLeft;
    }
    move(left, top);
}

void TFormBrindora::SaveWindowSettings()
{
    // Whatever the start read goes first, so that this save comes after it.
    m_startupSettings.reset();
    SettingsKey key;
    OpenSettings(key, SettingsName);
    // Where the platform does not tell where the window is, pos() is made up: the stored
    // place stays as the last desktop that knew it left it.
    if (platformPlacesWindows()) {
        WriteSettingInt(key, QStringLiteral("viewertop"), pos().y());
        WriteSettingInt(key, QStringLiteral("viewerleft"), pos().x());
    }
    WriteSettingString(key, QStringLiteral("hostname"), HostName);
    CloseSettings(key);
}

void TFormBrindora::StartLink()
{
    auto link = std::make_unique<TBrindora>(m_options.linkPort);
    link->setDisplay(this);
    link->setHostName(HostName.toUtf8());
    TBrindora* started = link.get();
    m_links.replace(std::move(link));
    // The link replaced is already cut off and never reports its end; a new one has yet to
    // connect, whatever the old one had.
    showConnected(false);
    started->Resume();
}

void TFormBrindora::sendToLink(Command command)
{
    if (TBrindora* current = link()) {
        current->SendCommand(commandBytes(command));
    }
}

void TFormBrindora::showOnRequest()
{
    if (HideTask) {
        HideTask->ShowOnRequest();
    }
}

bool TFormBrindora::isGuarded() const
{
    // Without the tray controller nothing could ask; the guard is kept rather than dropped.
    return !HideTask || HideTask->isGuarded();
}

void TFormBrindora::showSong(const QString& text, SongText kind)
{
    LabelSong->setText(text);
    if (m_linkWatcher) {
        m_linkWatcher->showSong(text, kind);
    }
}

void TFormBrindora::showTime(const Time& time)
{
    LabelTime->setText(time.text);
    if (m_linkWatcher) {
        m_linkWatcher->showTime(time);
    }
}

void TFormBrindora::showShuffle(bool on)
{
    // Only the weight changes; the rest of the button's own font stays as it is.
    QFont font = ButtonShuffle->font();
    font.setBold(on);
    ButtonShuffle->setFont(font);
    if (m_linkWatcher) {
        m_linkWatcher->showShuffle(on);
    }
}

void TFormBrindora::showConnected(bool connected)
{
    if (m_linkWatcher) {
        m_linkWatcher->showConnected(connected);
    }
}

void TFormBrindora::ButtonSetupClick()
{
    TFormBriConfig dialog(this);
    PlaceDialog(this, &dialog);
    dialog.EditHostName->setText(HostName);
    // What is really there, so an entry removed by hand shows unchecked.
    const bool startsAtLogin = Autostart::isEnabled();
    dialog.CheckStartAtLogin->setChecked(startsAtLogin);
    if (dialog.exec() == mrOk) {
        HostName = dialog.EditHostName->text();
        SaveWindowSettings();
        StartLink();
        // An entry is only written when the box was changed, so one the user keeps in a
        // form of their own is not rewritten on every Ok.
        const bool wanted = dialog.CheckStartAtLogin->isChecked();
        const QString failure =
            wanted == startsAtLogin
                ? QString()
                : Autostart::setEnabled(wanted, QCoreApplication::applicationFilePath());
        if (!failure.isEmpty())
            ShowMessage(this, failure, windowTitle());
    }
}

void TFormBrindora::ButtonAboutClick()
{
    TFormAboutBrindora form(this);
    PlaceDialog(this, &form);
    form.exec();
}

void TFormBrindora::ButtonHelpClick()
{
    ViewDocument(QStringLiteral("brindora"), m_options.startDirectory, false);
}

void TFormBrindora::TimerStartupTimer()
{
    // Hiding at start waits (the timer runs on) while the desktop has yet to say whether it
    // holds icons, which it normally does within a moment; hiding without knowing would
    // minimise where a tray was there all along. A desktop that never says is not waited for.
    constexpr int MostStartupWaits = 20;
    if (AutoMinimize && m_trayArea && !m_trayArea->isSettled() &&
        ++m_startupWaits < MostStartupWaits) {
        return;
    }
    TimerStartup->stop();
    if (AutoMinimize && HideTask) {
        HideTask->HideToTray();
    }
}

void TFormBrindora::TimerTrayKeepaliveTimer()
{
    if (HideTask) {
        HideTask->RefreshTrayIcon();
    }
}

void TFormBrindora::quit()
{
    Quitting = true;
    close();
}

void TFormBrindora::closeEvent(QCloseEvent* event)
{
    if (Quitting) {
        SaveWindowSettings();
        if (HideTask) {
            HideTask->RemoveTrayIcon();
        }
        event->accept();
        // Ending the loop here rather than through QApplication::quit(), which asks every
        // window again and gives up at the first one that only hides.
        QCoreApplication::exit(0);
        return;
    }
    event->ignore();
    if (HideTask) {
        HideTask->HideToTray();
    }
}
