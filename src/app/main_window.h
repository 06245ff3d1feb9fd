#pragma once
// CMainWnd: the program's only main window and the owner of everything long-lived — the three
// device sessions, the worker threads and their stop events, the tray icon, the live-record dirty
// flags, the skin and the notification router through which the device pages receive the user's
// actions.
//
// Worker threads never touch a widget: they reach the window through Post (a queued call),
// Send (a queued call they wait for, unless they are told to stop) and StartTimer, all safe to
// call from any thread.

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
#include "app/notify_router.h"
#include "app/skin_frame.h"
#include "app/skin_ui.h"
#include "core/device/device_session.h"
#include "core/mouse/mouse_record.h"
#include "core/util/animation_counters.h"
#include "core/util/worker_set.h"

class QMenu;
class QSystemTrayIcon;

namespace vq::app {

class PowerMonitor;

// Window messages that worker threads and operations send to the window.
enum class WindowMessage : unsigned {
    MouseReadAll = 0x0901,   // mouse full read-back, then the mouse page
    PadReadAll = 0x0A01,     // mousepad full read-back, then the mousepad page
    KeyReadAll = 0x0B01,     // keyboard full read-back, then the keyboard page
    KeyReadLive = 0x0B02,    // keyboard live read-back, then the keyboard page
    ProgressShow = 0x0C00,   // show "setting_progress"
    ProgressDone = 0x0C01,   // hide it one second later
    DeviceRemoved = 0x0C05,  // the mouse left: notice and hide
};

// The window's timers.
enum class WindowTimer : int {
    ProgressHide = 1,       // 1000 ms one-shot: hide "setting_progress"
    Flush = 2,              // 100 ms: send the dirty live records
    Animation = 3,          // 10 ms: the animation counters
    Repaint = 7,            // 10 ms one-shot after the tray shows the window
    MouseFullRead = 8,      // 500 ms one-shot after the mouse arrived
    MouseLiveRead = 9,      // 10 ms one-shot on the mouse's change notification
    Refresh = 10,           // 100 ms while shown: the pages' periodic refresh
    KeyboardFullRead = 11,  // 500 ms one-shot at start
    MousepadFullRead = 12,  // 500 ms one-shot at start
    MouseLightStep = 13,    // 10 ms one-shot from the mouse light thread
};

// Worker thread slots (each with the stop event of the same number; 12-14 have no thread).
enum WorkerSlot : int {
    kKeyboardPresence = 0,
    kMousePresence = 1,
    kMousepadPresence = 2,
    kMouseListener = 3,
    kKeyboardListener = 4,
    kKeyboardLight = 5,
    kMouseLight = 6,
    kMousepadLight = 7,
    kLightSync = 8,
    kKeyboardLightWatcher = 9,
    kKeyboardKeyWatcher = 10,
    kMouseWatcher = 11,
};

class CMainWnd : public QWidget, public SkinReceiver {
    Q_OBJECT
  public:
    struct Options {
        QString skinFolder;
        std::filesystem::path dataFolder;
        HidBackend* backend = nullptr;
        TransportTiming timing{};
        // The installer's language hint (the platform's by default).
        std::function<std::optional<std::string>()> readLanguageHint;
        std::function<bool(const std::string&)> writeLanguageHint;
        // The mouse presence thread's pause between passes.
        std::chrono::milliseconds presencePeriod{1500};
        // The shutdown's limit for the worker threads.
        std::chrono::milliseconds shutdownLimit{10000};
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
    void SetWorker(int slot, std::string name, WorkerBody body);
    // The handler of a window message or timer that belongs to a device page or model.
    void OnMessage(WindowMessage message, std::function<void()> handler);
    void OnTimer(WindowTimer timer, std::function<void()> handler);
    // The profile lists of a device kind, filled at start in the order keyboard, mouse,
    // mousepad.
    void SetProfileFill(DeviceKind kind, std::function<void()> fill);
    // Runs when the window loses activation (the low-level hooks come off).
    void OnDeactivate(std::function<void()> handler);
    // Opens the About window.
    void SetAboutOpener(std::function<void(CMainWnd&)> opener);
    // Called every 100 ms while the window is shown.
    void OnRefresh(std::function<void()> handler);

    // ---- from any thread
    void Post(WindowMessage message);
    // Runs the message's handling on the window's thread and waits for it; gives up waiting
    // (returning false) when `stop` is requested first, so that a stopping worker never waits for
    // a window that is waiting for it.
    bool Send(WindowMessage message, std::stop_token stop);
    void StartTimer(WindowTimer timer);
    // The show request of a second copy or of the mouse presence's first pass.
    void PostShowRequest(unsigned messageId = 0);
    void MarkDirty(DeviceKind kind);

    // ---- state
    DeviceSession& Session(DeviceKind kind) { return *sessions_[static_cast<size_t>(kind)]; }
    bool AnyConnected() const;
    std::filesystem::path DataFolder() const { return options_.dataFolder; }
    WorkerSet& Workers() { return workers_; }
    AnimationCounters& Counters() { return counters_; }
    int PowerFlag() const { return power_.load(); }
    void SetPowerFlag(int on) { power_.store(on); }
    bool IsDirty(DeviceKind kind) const;
    // The live records the flush sends (the mouse 54 bytes, keyboard and mousepad 21).
    MouseRecord& MouseLive() { return mouseLive_; }
    std::array<uint8_t, 21>& KeyboardLive() { return keyboardLive_; }
    std::array<uint8_t, 21>& MousepadLive() { return mousepadLive_; }
    bool IsTimerActive(WindowTimer timer) const;
    QSystemTrayIcon* Tray() const { return tray_; }
    QWidget* Root() const { return root_; }
    template <typename T = QWidget>
    T* Control(const QString& name) const {
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
    // Sends every dirty live record (keyboard, mouse, mousepad) and clears its flag.
    void FlushDirtyRecords();

  signals:
    // The application is asked to quit (the tray's "exit").
    void QuitRequested();
    // The window was shown for the first time (start-up measurement).
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
    void StartWorkers();
    void HandleMessage(WindowMessage message);
    void HandleTimer(WindowTimer timer);
    QTimer& Timer(WindowTimer timer);
    void ApplyLanguageSetting();
    void ApplyLanguageHint();
    void SetRootBackground(bool colour, QRgb argb, const QString& image);
    void OpenSkinFrame();
    void BringToFront();
    void MouseArrived();
    void MouseLeft();
    void ShowConnectionState();

    Options options_;
    std::unique_ptr<SkinUi> ui_;
    NotifyRouter router_;
    AppSettings settings_;
    QWidget* root_ = nullptr;
    std::array<std::unique_ptr<DeviceSession>, 3> sessions_;
    WorkerSet workers_;
    std::map<int, std::pair<std::string, WorkerBody>> workerBodies_;
    std::array<std::atomic<bool>, 3> dirty_{};
    std::atomic<int> power_{1};
    AnimationCounters counters_;
    MouseRecord mouseLive_;
    std::array<uint8_t, 21> keyboardLive_{};
    std::array<uint8_t, 21> mousepadLive_{};

    std::map<int, std::unique_ptr<QTimer>> timers_;
    std::map<unsigned, std::function<void()>> messageHandlers_;
    std::map<int, std::function<void()>> timerHandlers_;
    std::array<std::function<void()>, 3> profileFills_;
    std::vector<std::function<void()>> deactivateHandlers_;
    std::vector<std::function<void()>> refreshHandlers_;
    std::function<void(CMainWnd&)> aboutOpener_;

    QSystemTrayIcon* tray_ = nullptr;
    QPointer<QMenu> trayMenu_;
    PowerMonitor* power_monitor_ = nullptr;
    QPointer<CSkinFrame> skinFrame_;
    // Named controls looked up once the skin is built.
    std::map<QString, QPointer<QWidget>> windowButtons_;
    std::vector<QPointer<QWidget>> mouseLeds_, padLeds_, keyboardKeys_;

    bool dragging_ = false;
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
