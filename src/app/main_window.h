#pragma once
// CMainWnd: the program's only main window, a shell around the device pages — the skin, the tray
// icon, the language, the background, showing and hiding, messages. The devices belong to the
// device hub (controllers and worker threads); the window hears from them through the hub's
// events, always on its own thread, and never waits on a device.
//
// Other threads reach the window only through Post and StartTimer, both queued calls.

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <array>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "app/app_settings.h"
#include "app/device_hub.h"
#include "app/notify_router.h"
#include "app/skin_frame.h"
#include "app/skin_ui.h"
#include "core/util/animation_counters.h"

class QMenu;
class QSystemTrayIcon;

namespace vq::app {

class PowerMonitor;
struct DevicePages;

// Window messages of the operations.
enum class WindowMessage : unsigned {
    ProgressShow = 0x0C00,   // show "setting_progress"
    ProgressDone = 0x0C01,   // hide it one second later
    DeviceRemoved = 0x0C05,  // the mouse left: notice and hide
};

// The window's timers. (The device timers of the record flush and the read-backs belong to the
// controllers.)
enum class WindowTimer : int {
    ProgressHide = 1,  // 1000 ms one-shot: hide "setting_progress"
    Animation = 3,     // 10 ms while a light preview runs: the animation counters
    Repaint = 7,       // 10 ms one-shot after the tray shows the window
};

class CMainWnd : public QWidget, public SkinReceiver {
    Q_OBJECT
  public:
    struct Options {
        QString skinFolder;
        std::filesystem::path dataFolder;
        // The program's folder with the shipped default profiles.
        std::filesystem::path programFolder;
        HidBackend* backend = nullptr;
        TransportTiming timing{};
        // The installer's language hint (the platform's by default).
        std::function<std::optional<std::string>()> readLanguageHint;
        std::function<bool(const std::string&)> writeLanguageHint;
        PresenceTiming presence{};
        ListenerTiming listener{};
        ControllerTiming controller{};
        // The shutdown's limit for the worker threads.
        std::chrono::milliseconds shutdownLimit{10000};
        // The keyboard and the mousepad are looked for once at start (the simulated ones).
        bool connectKeyboardAndMousepad = false;
        // The light threads' time (tests); the system's when null. Not owned.
        light::LightClock* lightClock = nullptr;
        // Where the program in front comes from (null: the system's).
        platform::ForegroundProgram* foreground = nullptr;
    };
    using WorkerBody = WorkerSet::Body;

    explicit CMainWnd(Options options);
    ~CMainWnd() override;

    // The process-wide main window (set by Build, cleared by the destructor).
    static CMainWnd* Instance();

    // Builds the window from the skin ("XML_MAIN") and runs InitWindow. false when the skin
    // cannot be used (then nothing else may be called but the destructor).
    bool Build();
    // The start-up sequence: settings, background, profile lists, device identities, language
    // hint, hide, worker threads, timers, language.
    void WindowInit();
    // Hides the window, stops and waits for every worker thread (at most the shutdown limit) and
    // the timers. Safe to call more than once.
    WorkerSet::StopOutcome Shutdown();
    // The tray menu's "exit": shutdown, then asks the application to quit.
    void Exit();

    // ---- the parts other code plugs in (register before WindowInit)
    NotifyRouter& Router() { return router_; }
    SkinUi& Ui() { return *ui_; }
    AppSettings& Settings() { return settings_; }
    // A worker for a slot, started by WindowInit (replaces the built-in one, if any).
    void SetWorker(int slot, std::string name, WorkerBody body) {
        hub_->SetWorker(slot, std::move(name), std::move(body));
    }
    DevicePages* Pages() const { return pages_.get(); }
    // Runs when the window loses activation (the low-level hooks come off).
    void OnDeactivate(std::function<void()> handler);
    // Opens the About window.
    void SetAboutOpener(std::function<void(CMainWnd&)> opener);
    // A light preview starts (true) or stops (false) animating: the animation counters run
    // while at least one does and the window is shown.
    void SetAnimating(bool on);

    // ---- from any thread
    void Post(WindowMessage message);
    void StartTimer(WindowTimer timer);
    // The show request of a second copy or of the mouse presence's first pass.
    void PostShowRequest(unsigned messageId = 0);

    // ---- state
    DeviceHub& Hub() { return *hub_; }
    bool AnyConnected() const { return hub_->AnyConnected(); }
    std::filesystem::path DataFolder() const { return options_.dataFolder; }
    WorkerSet& Workers() { return hub_->Workers(); }
    AnimationCounters& Counters() { return counters_; }
    int PowerFlag() const { return power_.load(); }
    // Also the light-output flag of the light threads.
    void SetPowerFlag(int on) {
        power_.store(on);
        hub_->SetLightOutput(on != 0);
    }
    bool IsTimerActive(WindowTimer timer) const;
    QSystemTrayIcon* Tray() const { return tray_; }
    QWidget* Root() const { return root_; }
    // A control of the window by name (building the page that holds it when needed).
    template <typename T = QWidget>
    T* Control(const QString& name) {
        return qobject_cast<T*>(ui_->FindControl(root_, name));
    }
    // A control of the window by name among the pages built so far.
    template <typename T = QWidget>
    T* BuiltControl(const QString& name) const {
        return root_ ? root_->findChild<T*>(name) : nullptr;
    }

    // ---- behaviour (public for the tray, the instance guard and tests)
    // Brings the window to the front when a device is connected; otherwise hides it and warns
    // once ("message_text_1"), however many requests arrive while the warning is open.
    void ShowOrWarn();
    void OnTrayLeftClick();
    // The tray menu as "menu1.xml" describes it, "exit" first.
    QMenu* RebuildTrayMenu();
    void OnMenuCommand(const QString& name, const QString& text);
    // "lan_en" / "lan_cn": switch the language, save it and re-translate every text.
    void SwitchLanguage(int setting);
    // The text query of the window: "titletext" and "hometext".
    std::optional<QString> GetItemText(const QString& id) const;
    bool Receive(const SkinChangedParam& param) override;
    // The root's background as last applied: picture path (empty: none) and colour.
    QString RootImage() const { return rootImage_; }
    QRgb RootColor() const { return rootColor_; }

  signals:
    // The application is asked to quit (the tray's "exit").
    void QuitRequested();
    // The window was painted on the screen for the first time.
    void FirstShown();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void InitWindow();
    void ConnectWindowControls();
    void CreateTray();
    void HandleMessage(WindowMessage message);
    void OnControllerEvent(const ControllerEvent& event);
    void HandleTimer(WindowTimer timer);
    QTimer& Timer(WindowTimer timer);
    void ApplyLanguageSetting();
    void ApplyLanguageHint();
    void SetRootBackground(bool colour, QRgb argb, const QString& image);
    void OpenSkinFrame();
    void BringToFront();
    void MouseArrived();
    void MouseLeft();
    void ShowDeviceTab(DeviceKind kind, bool shown);
    void ShowConnectionState();
    void OnPageBuilt(QWidget* page);
    void PrepareControls(QWidget* scope);
    void UpdateAnimation();

    Options options_;
    std::unique_ptr<SkinUi> ui_;
    std::unique_ptr<DevicePages> pages_;
    NotifyRouter router_;
    AppSettings settings_;
    QWidget* root_ = nullptr;
    std::unique_ptr<DeviceHub> hub_;
    std::atomic<int> power_{1};
    bool filesForbiddenBefore_ = false;  // the thread's mark before the window set it
    int animating_ = 0;
    AnimationCounters counters_;

    std::map<int, std::unique_ptr<QTimer>> timers_;
    std::vector<std::function<void()>> deactivateHandlers_;
    std::function<void(CMainWnd&)> aboutOpener_;

    QSystemTrayIcon* tray_ = nullptr;
    QPointer<QMenu> trayMenu_;
    PowerMonitor* power_monitor_ = nullptr;
    QPointer<CSkinFrame> skinFrame_;
    // Named controls looked up once the skin is built.
    std::map<QString, QPointer<QWidget>> windowButtons_;

    bool dragging_ = false;
    // The caption bar, whose events move the window (looked up once).
    QPointer<QWidget> captionBar_;
    QPoint dragOffset_;
    QString rootImage_;
    QRgb rootColor_ = 0;
    bool warningOpen_ = false;
    bool initialised_ = false;
    bool shutDown_ = false;
    bool everShown_ = false;
    WorkerSet::StopOutcome stopOutcome_ = WorkerSet::StopOutcome::AllEnded;
};

}  // namespace vq::app
