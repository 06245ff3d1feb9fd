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
#include "core/device/presence.h"
#include "core/keyboard/keyboard_model.h"
#include "core/keyboard/mousepad_model.h"
#include "core/mouse/mouse_model.h"
#include "core/profile/profile_store.h"
#include "core/util/animation_counters.h"
#include "core/util/worker_set.h"

class QMenu;
class QSystemTrayIcon;

namespace vq::app {

class PowerMonitor;
struct DevicePages;
class DeviceHooks;
class ReadBackHooks;

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
        // The program's folder with the shipped default profiles.
        std::filesystem::path programFolder;
        HidBackend* backend = nullptr;
        TransportTiming timing{};
        // The installer's language hint (the platform's by default).
        std::function<std::optional<std::string>()> readLanguageHint;
        std::function<bool(const std::string&)> writeLanguageHint;
        PresenceTiming presence{};
        ListenerTiming listener{};
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
    // Replaces the start-up fill of a device kind's profile lists (by default the profile store
    // lists each family into its list control, or creates its first profile on the first run).
    void SetProfileFill(DeviceKind kind, std::function<void()> fill);
    // Shows a device's model on its page, after a read-back from the device.
    void OnPageUpdate(DeviceKind kind, std::function<void()> update);
    // Runs a device's page updates (after a read-back or a profile load).
    void UpdatePage(DeviceKind kind);
    DevicePages* Pages() const { return pages_.get(); }
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
    MouseModel& Mouse() { return mouse_; }
    KeyboardModel& Keyboard() { return keyboard_; }
    MousepadModel& Mousepad() { return mousepad_; }
    ProfileStore& Store() { return store_; }
    // Reads and clears the flag that the mouse's 0x0403 notification raises (for the mousepad
    // light renderer).
    bool TakeMouseEventFlag() { return mouseEvent_.exchange(false); }
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
    // Sends every dirty live record (keyboard, mouse, mousepad) and clears its flag.
    void FlushDirtyRecords();

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
    friend class DeviceHooks;
    friend class ReadBackHooks;
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
    void RunAfterFirstPaint(std::function<void()> task);
    void RunWaitingForFirstPaint();
    void FillProfileLists();
    void ShowProfileFamily(const FamilyFill& fill);
    void OnPageBuilt(QWidget* page);
    void PrepareControls(QWidget* scope);
    void ReadBack(WindowTimer timer);
    void ReadBack(WindowMessage message);

    Options options_;
    std::unique_ptr<SkinUi> ui_;
    std::unique_ptr<DevicePages> pages_;
    NotifyRouter router_;
    AppSettings settings_;
    QWidget* root_ = nullptr;
    std::array<std::unique_ptr<DeviceSession>, 3> sessions_;
    MouseModel mouse_;
    KeyboardModel keyboard_;
    MousepadModel mousepad_;
    ProfileStore store_;
    std::unique_ptr<DeviceHooks> hooks_;
    std::unique_ptr<ReadBackHooks> keyboardHooks_, mousepadHooks_;
    std::atomic<bool> mouseEvent_{false};
    WorkerSet workers_;
    std::map<int, std::pair<std::string, WorkerBody>> workerBodies_;
    std::atomic<int> power_{1};
    AnimationCounters counters_;

    std::map<int, std::unique_ptr<QTimer>> timers_;
    std::map<unsigned, std::function<void()>> messageHandlers_;
    std::map<int, std::function<void()>> timerHandlers_;
    std::array<std::function<void()>, 3> profileFills_;
    std::array<std::vector<std::function<void()>>, 3> pageUpdates_;
    std::vector<std::function<void()>> deactivateHandlers_;
    std::vector<std::function<void()>> refreshHandlers_;
    std::function<void(CMainWnd&)> aboutOpener_;

    QSystemTrayIcon* tray_ = nullptr;
    QPointer<QMenu> trayMenu_;
    PowerMonitor* power_monitor_ = nullptr;
    QPointer<CSkinFrame> skinFrame_;
    // Named controls looked up once the skin is built.
    std::map<QString, QPointer<QWidget>> windowButtons_;
    std::vector<FamilyFill> shownFills_;

    bool dragging_ = false;
    QPoint dragOffset_;
    QString rootImage_;
    QRgb rootColor_ = 0;
    bool warningOpen_ = false;
    bool initialised_ = false;
    bool shutDown_ = false;
    bool everShown_ = false;
    std::vector<std::function<void()>> afterFirstPaint_;
    WorkerSet::StopOutcome stopOutcome_ = WorkerSet::StopOutcome::AllEnded;
};

}  // namespace vq::app
