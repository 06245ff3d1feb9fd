#include "app/main_window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QIcon>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPalette>
#include <QProgressBar>
#include <QRegularExpression>
#include <QScreen>
#include <QStackedWidget>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QThread>
#include <QVBoxLayout>
#include <QWindow>
#include <QXmlStreamReader>
#include <condition_variable>
#include <mutex>
#include <tuple>
#include <vector>

#include "app/controls/color_palette.h"
#include "app/controls/led_preview.h"
#include "app/msg_wnd.h"
#include "app/pages/device_pages.h"
#include "app/power_monitor.h"
#include "core/util/file_thread_guard.h"
#include "core/util/ini_file.h"
#include "core/util/log.h"
#include "platform/language_hint.h"

namespace vq::app {

namespace {

std::atomic<CMainWnd*> g_mainWindow{nullptr};

constexpr int kWindowWidth = 800;
constexpr int kWindowHeight = 572;
constexpr QRgb kPaletteStartColour = 0xFF0199CB;
constexpr std::array<DeviceKind, 3> kFillOrder = {DeviceKind::Keyboard, DeviceKind::Mouse,
                                                  DeviceKind::Mousepad};

struct TimerSetup {
    int ms;
    bool singleShot;
};

TimerSetup SetupOf(WindowTimer timer) {
    switch (timer) {
        case WindowTimer::ProgressHide:
            return {1000, true};
        case WindowTimer::Animation:
            return {10, false};
        case WindowTimer::Repaint:
            return {10, true};
    }
    return {100, true};
}

void LogLine(LogLevel level, const QString& text) {
    Log(level, text.toStdString());
}

}  // namespace

CMainWnd::CMainWnd(Options options)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint),
      options_(std::move(options)),
      ui_(std::make_unique<SkinUi>(options_.skinFolder)),
      settings_(options_.dataFolder / "main.ini") {
    // The window's thread never waits on the disk: the file helpers count (and log the first
    // of) the calls made on it; the controllers' threads do the file work.
    filesForbiddenBefore_ = ForbidFilesOnThisThread();
    setObjectName("MainWnd");
    setWindowTitle("Varnhold Quillet");
    if (!options_.readLanguageHint) options_.readLanguageHint = platform::ReadLanguageHint;
    if (!options_.writeLanguageHint) options_.writeLanguageHint = platform::WriteLanguageHint;
    DeviceHub::Options devices;
    devices.dataFolder = options_.dataFolder;
    devices.programFolder = options_.programFolder;
    devices.backend = options_.backend;
    devices.timing = options_.timing;
    devices.presence = options_.presence;
    devices.listener = options_.listener;
    devices.controller = options_.controller;
    devices.shutdownLimit = options_.shutdownLimit;
    devices.connectKeyboardAndMousepad = options_.connectKeyboardAndMousepad;
    devices.lightClock = options_.lightClock;
    devices.foreground = options_.foreground;
    hub_ = std::make_unique<DeviceHub>(devices, this);
    connect(hub_.get(), &DeviceHub::Event, this, &CMainWnd::OnControllerEvent);
    power_monitor_ = new PowerMonitor(this);
    connect(power_monitor_, &PowerMonitor::Suspending, this, [this] { SetPowerFlag(0); });
    connect(power_monitor_, &PowerMonitor::Resumed, this, [this] { SetPowerFlag(1); });
}

CMainWnd::~CMainWnd() {
    Shutdown();
    // The pages use the hub, the router and the settings, which are declared after them and
    // would be gone first: the pages go now, once the hub's threads have ended.
    pages_.reset();
    SkinObserver::Instance().RemoveReceiver(this);
    CMainWnd* self = this;
    g_mainWindow.compare_exchange_strong(self, nullptr);
    delete trayMenu_;
    ForbidFilesOnThisThread(filesForbiddenBefore_);
}

CMainWnd* CMainWnd::Instance() {
    return g_mainWindow.load();
}

// ---- building ---------------------------------------------------------------------------------

bool CMainWnd::Build() {
    if (root_) return true;
    if (!ui_->LoadResources()) return false;
    ui_->ApplyToApplication();
    // The layout's texts are ids of the language file; a language is loaded before it is built
    // (the one of the settings follows at the end of the start-up sequence).
    ui_->SetTextQuery([this](const QString& id) { return GetItemText(id); });
    ui_->SetLanguage("cn_zh", "lan_cn.xml");
    // Pages are built when first shown (or looked up), so that the window opens quickly.
    ui_->SetLazyPages(true);
    connect(ui_.get(), &SkinUi::PageBuilt, this, &CMainWnd::OnPageBuilt);
    root_ = ui_->Load("XML_MAIN", this);
    if (!root_) {
        Log(LogLevel::Error, "the main window's layout could not be built");
        return false;
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(root_);
    setFixedSize(kWindowWidth, kWindowHeight);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(kWindowWidth / 2, kWindowHeight / 2));
    InitWindow();
    return true;
}

void CMainWnd::InitWindow() {
    Log(LogLevel::Debug, "InitWindow");
    SkinObserver::Instance().AddReceiver(this);
    for (const char* name : {"closebtn", "maxbtn", "restorebtn", "minbtn", "skinbtn"})
        if ((windowButtons_[name] = Control(name))) {
            // The caption's buttons take no keyboard focus (the first would get it at start).
            windowButtons_[name]->setFocusPolicy(Qt::NoFocus);
        }
    g_mainWindow.store(this);
    PrepareControls(root_);
    CreateTray();
    router_.Attach(root_);
    ConnectWindowControls();
    pages_ = std::make_unique<DevicePages>(*this, *hub_);
    captionBar_ = Control("caption_bar");
    if (captionBar_) captionBar_->installEventFilter(this);
    root_->installEventFilter(this);
}

// The LEDs of the light previews start uncoloured and dark, and the palettes at the program's
// colour.
void CMainWnd::PrepareControls(QWidget* scope) {
    static const QRegularExpression led(QStringLiteral("^(ms|mp)_dkey_\\d+$"));
    const QList<QWidget*> widgets = scope->findChildren<QWidget*>();
    for (QWidget* widget : widgets) {
        if (auto* spot = qobject_cast<CLedPreviewUI*>(widget);
            spot && led.match(spot->objectName()).hasMatch()) {
            spot->SetIsChangerColor(true);
            spot->SetChangerAlpha(0);
        } else if (auto* palette = qobject_cast<ColorPalette*>(widget)) {
            const QString name = palette->objectName();
            if (name == "ms_deng_Color_Pallet" || name == "mp_deng_Color_Pallet" ||
                name == "kb_deng_Color_Pallet")
                palette->SetSelectColor(kPaletteStartColour);
        }
    }
}

void CMainWnd::OnPageBuilt(QWidget* page) {
    router_.Attach(page);
    PrepareControls(page);
    if (pages_) pages_->profiles.ShowFills();
}

void CMainWnd::ConnectWindowControls() {
    router_.On("click", "closebtn", [this](const Notification&) { showMinimized(); });
    router_.On("click", "minbtn", [this](const Notification&) { showMinimized(); });
    router_.On("click", "maxbtn", [this](const Notification&) { showMaximized(); });
    router_.On("click", "restorebtn", [this](const Notification&) { showNormal(); });
    router_.On("click", "skinbtn", [this](const Notification&) { OpenSkinFrame(); });
    // The device tabs show their page of the device switch.
    for (const char* prefix : {"ms", "kb", "mp"}) {
        const QString tab = QStringLiteral("%1_tab").arg(prefix);
        const QString panel = QStringLiteral("%1_tab_panel").arg(prefix);
        router_.On("selectchanged", tab, [this, panel](const Notification& n) {
            auto* button = qobject_cast<QAbstractButton*>(n.widget.data());
            auto* pages = Control<QStackedWidget>("device_switch");
            QWidget* page = Control(panel);
            if (button && button->isChecked() && pages && page) pages->setCurrentWidget(page);
        });
    }
    // The page options of each device show their page of the device's page switch. (A device
    // page that needs more on a tab change registers its own handler as well.) The keyboard's
    // key and lighting options share one page, the on-screen keyboard, and show its key
    // function panel or its lighting panel below it.
    struct PageBar {
        QString switchName;
        QStringList options;
        std::vector<int> pages;
    };
    const std::vector<PageBar> pageBars = {
        {"ms_tab_switch",
         {"ms_deng_Op_tab", "ms_macro_Op_tab", "ms_key_Op_tab", "ms_rich_Op_tab",
          "ms_cursor_Op_tab"},
         {0, 1, 2, 3, 4}},
        {"kb_tab_switch", {"kb_key_Op_tab", "kb_deng_Op_tab", "kb_macro_Op_tab"}, {0, 0, 1}},
        {"mp_tab_switch", {"mp_deng_Op_tab"}, {0}},
    };
    for (const PageBar& bar : pageBars) {
        for (qsizetype i = 0; i < bar.options.size(); ++i) {
            const int page = bar.pages[static_cast<size_t>(i)];
            router_.On("selectchanged", bar.options[i],
                       [this, switchName = bar.switchName, page](const Notification& n) {
                           auto* button = qobject_cast<QAbstractButton*>(n.widget.data());
                           auto* pages = Control<QStackedWidget>(switchName);
                           if (button && button->isChecked() && pages && page < pages->count())
                               pages->setCurrentIndex(page);
                       });
        }
        if (auto* first = Control<QAbstractButton>(bar.options.front())) first->setChecked(true);
    }
    for (const auto& [option, showPanel, hidePanel] :
         {std::tuple{"kb_key_Op_tab", "kb_tab_function", "kb_deng_page"},
          std::tuple{"kb_deng_Op_tab", "kb_deng_page", "kb_tab_function"}}) {
        router_.On("selectchanged", option,
                   [this, show = QString::fromLatin1(showPanel),
                    hide = QString::fromLatin1(hidePanel)](const Notification& n) {
                       auto* button = qobject_cast<QAbstractButton*>(n.widget.data());
                       if (!button || !button->isChecked()) return;
                       if (QWidget* w = Control(hide)) w->hide();
                       if (QWidget* w = Control(show)) w->show();
                   });
    }
}

void CMainWnd::ShowConnectionState() {
    QWidget* status = Control("device_status");
    if (!status) return;
    const bool connected = AnyConnected();
    ui_->SetTextId(status, connected ? "status_connected" : "status_disconnected");
    status->setProperty("connected", connected);
    status->style()->unpolish(status);
    status->style()->polish(status);
}

// ---- start-up ---------------------------------------------------------------------------------

void CMainWnd::WindowInit() {
    if (initialised_ || !root_) return;
    initialised_ = true;
    // 1. The data folder with the settings file.
    std::error_code error;
    std::filesystem::create_directories(options_.dataFolder, error);
    if (error)
        Logf(LogLevel::Error, "data folder %s: %s", options_.dataFolder.string().c_str(),
             error.message().c_str());
    // 2. The saved background.
    if (settings_.Flags() == 1)
        SetRootBackground(false, 0, QString::fromStdString(settings_.Image()));
    // 3. The profile lists: keyboard, mouse, mousepad.
    if (pages_) pages_->profiles.Fill();
    // 4. The devices' identities are their controllers'.
    // 5. The installer's language hint.
    ApplyLanguageHint();
    // 6. Hidden until the mouse is found or the user asks for the window.
    hide();
    // 7-9. The worker threads and the start-up reads of the keyboard and the mousepad.
    hub_->Start();
    if (pages_) pages_->profiles.ShowFollowState();
    // 10. The language of the settings.
    ApplyLanguageSetting();
    QTimer::singleShot(0, this, [this] { power_monitor_->Start(); });
}

void CMainWnd::ApplyLanguageHint() {
    const std::optional<std::string> hint =
        options_.readLanguageHint ? options_.readLanguageHint() : std::nullopt;
    if (!hint) {
        Log(LogLevel::Debug, "读注册表失败了");
        return;
    }
    settings_.SetLanguage(LeadingInt(*hint) == 2020 ? 1 : 0);
}

void CMainWnd::ApplyLanguageSetting() {
    const LanguageChoice choice = LanguageForSetting(settings_.Language());
    if (choice.name != ui_->LanguageName() || choice.file != ui_->LanguageFile())
        ui_->SetLanguage(choice.name, choice.file);
    ui_->ReloadTexts();
}

void CMainWnd::SwitchLanguage(int setting) {
    const LanguageChoice choice = LanguageForSetting(setting);
    if (!ui_->SetLanguage(choice.name, choice.file)) return;
    settings_.SetLanguage(setting);
    if (options_.writeLanguageHint && options_.writeLanguageHint(setting == 0 ? "1010" : "2020"))
        Log(LogLevel::Debug, "写成功！");
    ui_->ReloadTexts();
    update();
}

std::optional<QString> CMainWnd::GetItemText(const QString& id) const {
    const QString name = id.toLower();
    const bool english = ui_->LanguageName() == "en";
    if (name == "titletext") return english ? QStringLiteral("Varnhold Quillet") : "mouse";
    if (name == "hometext")
        return english ? QStringLiteral("{a}Home Page{/a}") : QStringLiteral("{a}演示官网{/a}");
    return std::nullopt;
}

// ---- plugging in ------------------------------------------------------------------------------

void CMainWnd::OnDeactivate(std::function<void()> handler) {
    deactivateHandlers_.push_back(std::move(handler));
}

void CMainWnd::SetAboutOpener(std::function<void(CMainWnd&)> opener) {
    aboutOpener_ = std::move(opener);
}

void CMainWnd::SetAnimating(bool on) {
    animating_ = std::max(0, animating_ + (on ? 1 : -1));
    UpdateAnimation();
}

void CMainWnd::UpdateAnimation() {
    // The counters run only while something animates on a window that is shown.
    QTimer& timer = Timer(WindowTimer::Animation);
    const bool run = animating_ > 0 && isVisible() && !shutDown_;
    if (run && !timer.isActive()) timer.start();
    if (!run && timer.isActive()) timer.stop();
}

// ---- messages and timers ----------------------------------------------------------------------

void CMainWnd::Post(WindowMessage message) {
    QMetaObject::invokeMethod(
        this, [this, message] { HandleMessage(message); }, Qt::QueuedConnection);
}

void CMainWnd::StartTimer(WindowTimer timer) {
    if (QThread::currentThread() == thread()) {
        Timer(timer).start();
        return;
    }
    QMetaObject::invokeMethod(
        this, [this, timer] { Timer(timer).start(); }, Qt::QueuedConnection);
}

QTimer& CMainWnd::Timer(WindowTimer timer) {
    std::unique_ptr<QTimer>& slot = timers_[static_cast<int>(timer)];
    if (!slot) {
        const TimerSetup setup = SetupOf(timer);
        slot = std::make_unique<QTimer>();
        slot->setInterval(setup.ms);
        slot->setSingleShot(setup.singleShot);
        connect(slot.get(), &QTimer::timeout, this, [this, timer] { HandleTimer(timer); });
    }
    return *slot;
}

bool CMainWnd::IsTimerActive(WindowTimer timer) const {
    const auto it = timers_.find(static_cast<int>(timer));
    return it != timers_.end() && it->second->isActive();
}

void CMainWnd::PostShowRequest(unsigned messageId) {
    QMetaObject::invokeMethod(
        this,
        [this, messageId] {
            Logf(LogLevel::Debug, "软件标示 %u，%xd%xd", messageId, 0u, 0u);
            ShowOrWarn();
        },
        Qt::QueuedConnection);
}

void CMainWnd::HandleMessage(WindowMessage message) {
    if (shutDown_) return;
    switch (message) {
        case WindowMessage::ProgressShow:
            if (QWidget* progress = Control("setting_progress")) progress->show();
            return;
        case WindowMessage::ProgressDone:
            StartTimer(WindowTimer::ProgressHide);
            return;
        case WindowMessage::DeviceRemoved:
            if (QWidget* tab = Control("ms_deng_Op_tab")) tab->setFocus();
            ShowMessageTimed(true, this, {}, "message_text_20", true);
            hide();
            return;
    }
}

// What the controllers tell the window: arrivals and removals, the models to show again, the
// progress of long transfers and the failures a user must hear of.
void CMainWnd::OnControllerEvent(const ControllerEvent& event) {
    if (shutDown_) return;
    switch (event.type) {
        case ControllerEventType::Arrived:
            if (event.kind == DeviceKind::Mouse)
                MouseArrived();
            else
                ShowDeviceTab(event.kind, true);
            break;
        case ControllerEventType::Removed:
            if (event.kind == DeviceKind::Mouse) {
                MouseLeft();
                HandleMessage(WindowMessage::DeviceRemoved);
            } else {
                ShowDeviceTab(event.kind, false);
            }
            break;
        case ControllerEventType::FirstPassShow:
            PostShowRequest();
            break;
        case ControllerEventType::StillPresent:
            // The same-mode button is for more than one device kind at a time.
            if (!hub_->Keyboard().IsConnected() && !hub_->Mousepad().IsConnected())
                if (QWidget* same = BuiltControl("ms_deng_same_mode"); same && same->isVisible())
                    same->hide();
            break;
        case ControllerEventType::Progress:
            if (event.value >= 0) {
                // The bar shows how much of the transfer is done.
                if (auto* bar = Control<QProgressBar>("setting_progress")) {
                    bar->setRange(0, 100);
                    bar->setValue(std::min(event.value, 100));
                }
                Timer(WindowTimer::ProgressHide).stop();
            }
            HandleMessage(event.value >= 0 ? WindowMessage::ProgressShow
                                           : WindowMessage::ProgressDone);
            break;
        case ControllerEventType::Failed:
            // A text with a number ("remove at least %d macro steps") gets the event's.
            if (!event.textId.empty())
                ShowMessage(this, {}, QString::fromStdString(event.textId), true,
                            {QString::number(event.value)});
            else
                Logf(LogLevel::Warning, "%s: %s failed (result %d)", DeviceKindPrefix(event.kind),
                     event.what.c_str(), event.result);
            break;
        default:
            break;
    }
    if (pages_) pages_->OnEvent(event);
}

void CMainWnd::HandleTimer(WindowTimer timer) {
    switch (timer) {
        case WindowTimer::ProgressHide:
            if (QWidget* progress = Control("setting_progress")) progress->hide();
            return;
        case WindowTimer::Animation:
            counters_.Advance();
            return;
        case WindowTimer::Repaint:
            update();
            Log(LogLevel::Debug, "1234567890");
            return;
    }
}

// ---- skin ---------------------------------------------------------------------------------------

void CMainWnd::OpenSkinFrame() {
    if (skinFrame_) skinFrame_->close();
    QWidget* anchor = windowButtons_["skinbtn"];
    skinFrame_ = new CSkinFrame(anchor ? anchor : this, settings_);
}

bool CMainWnd::Receive(const SkinChangedParam& param) {
    SetRootBackground(param.bColor, param.bkcolor, param.bgimage);
    return true;
}

void CMainWnd::SetRootBackground(bool colour, QRgb argb, const QString& image) {
    if (!root_) return;
    rootColor_ = colour ? argb : 0;
    rootImage_ = colour ? QString() : ui_->ResolveImage(image);
    if (!colour && rootImage_.isEmpty() && !image.isEmpty())
        LogLine(LogLevel::Warning, QStringLiteral("background picture %1 not found").arg(image));
    const QColor c = QColor::fromRgba(rootColor_);
    const QString picture =
        rootImage_.isEmpty()
            ? QStringLiteral("border-image: none;")
            : QStringLiteral("border-image: url(\"%1\") 0 0 0 0 stretch stretch;").arg(rootImage_);
    root_->setAttribute(Qt::WA_StyledBackground, true);
    root_->setStyleSheet(
        QStringLiteral("QWidget#root { background-color: rgba(%1, %2, %3, %4); %5 }")
            .arg(c.red())
            .arg(c.green())
            .arg(c.blue())
            .arg(c.alpha())
            .arg(picture));
}

// ---- shutdown -----------------------------------------------------------------------------------

WorkerSet::StopOutcome CMainWnd::Shutdown() {
    if (shutDown_) return stopOutcome_;
    shutDown_ = true;
    hide();
    if (skinFrame_) skinFrame_->close();
    for (auto& [id, timer] : timers_)
        timer->stop();
    // The worker threads end; what the controllers have pending reaches the device and the disk.
    stopOutcome_ = hub_->Shutdown();
    if (tray_) tray_->hide();
    return stopOutcome_;
}

void CMainWnd::Exit() {
    Shutdown();
    emit QuitRequested();
}

}  // namespace vq::app
