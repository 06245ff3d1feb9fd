#pragma once
// A main window on the real skin, a temporary data folder and a simulated mouse on a bus whose
// wire costs nothing; the installer's language hint and its writes are the test's.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/msg_wnd.h"
#include "app/pages/device_pages.h"
#include "core/util/file_thread_guard.h"
#include "core/util/ini_file.h"
#include "platform/foreground_program.h"
#include "sim/sim_mouse.h"
#include "support/sim_fixture.h"

namespace vq::test {

inline constexpr int kWaitMs = 5000;  // an upper bound for waiting, never an assertion

// The message boxes that are open now.
inline std::vector<app::CMsgWnd*> OpenBoxes() {
    std::vector<app::CMsgWnd*> boxes;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<app::CMsgWnd*>(w); box && box->isVisible())
            boxes.push_back(box);
    return boxes;
}

// Clicks `button` of the next message box that opens (from inside its modal loop). The result
// turns true once it has clicked.
inline std::shared_ptr<bool> AnswerNextBox(const QString& button) {
    auto* poll = new QTimer;
    auto tries = std::make_shared<int>(0);
    auto answered = std::make_shared<bool>(false);
    QObject::connect(poll, &QTimer::timeout, [poll, button, tries, answered] {
        const auto boxes = OpenBoxes();
        if (!boxes.empty()) {
            if (auto* b = boxes.front()->findChild<QAbstractButton*>(button)) {
                *answered = true;
                b->click();
            }
            poll->deleteLater();
        } else if (++*tries > kWaitMs / 5) {
            poll->deleteLater();
        }
    });
    poll->start(5);
    return answered;
}

// Lets the controllers finish what they were asked to do and the window hear of it.
inline void Settle(app::CMainWnd& w) {
    for (DeviceKind kind : {DeviceKind::Keyboard, DeviceKind::Mouse, DeviceKind::Mousepad})
        EXPECT_TRUE(w.Hub().Controller(kind).WaitIdle(std::chrono::milliseconds(kWaitMs)));
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
    // The answers of the file work the window handed over.
    EXPECT_TRUE(QTest::qWaitFor([&w] { return w.Hub().FileWorkWaiting() == 0; }, kWaitMs));
}

// A file's bytes as the test reads them (empty when it cannot be read).
// The configuration requests with command `command` the devices on the bus received, as the
// bus kept them.
inline size_t CountCommand(const sim::VirtualHidBus& bus, uint8_t command) {
    size_t n = 0;
    for (const auto& e : bus.Transcript())
        if (e.direction == TraceDirection::ToDevice && e.usagePage == kConfigUsagePage &&
            e.bytes[3] == command)
            ++n;
    return n;
}

// The last record the mouse received with WriteParams 56 at address 0.
inline std::optional<std::vector<uint8_t>> LastRecordSent(const sim::VirtualHidBus& bus) {
    std::optional<std::vector<uint8_t>> last;
    for (const auto& e : bus.Transcript())
        if (e.direction == TraceDirection::ToDevice && e.usagePage == kConfigUsagePage &&
            e.bytes[3] == 0x06 && e.bytes[4] == 56 && e.bytes[5] == 0 && e.bytes[6] == 0)
            last = std::vector<uint8_t>(e.bytes.begin() + 8, e.bytes.begin() + 8 + 56);
    return last;
}

inline std::string ReadFileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Keeps a controller's thread busy until it goes (or is released): what is handed to the
// controller meanwhile waits, as it would behind a slow disk or device.
class HeldController {
  public:
    explicit HeldController(DeviceController& controller) {
        controller.RunTask([gate = released_.get_future().share()] { gate.wait(); });
    }
    ~HeldController() { Release(); }
    HeldController(const HeldController&) = delete;
    HeldController& operator=(const HeldController&) = delete;
    void Release() {
        if (held_) released_.set_value();
        held_ = false;
    }

  private:
    std::promise<void> released_;
    bool held_ = true;
};

// What `look` returns, with the window's thread free to touch files while it runs: the test's
// own look at the disk, which the window's count leaves out.
template <typename Look>
auto OnDisk(Look&& look) {
    const FileAccessAllowed test;
    return look();
}

class WindowTest : public ::testing::Test {
  protected:
    WindowTest() {
        bus.SetTiming({std::chrono::microseconds{0}, std::chrono::microseconds{0}});
        mouse = std::make_unique<sim::SimMouse>(bus);
    }
    ~WindowTest() override { CloseWindow(); }

    // The window goes; its thread never waited on a device, nor on the disk (the window leaves
    // its file work to the controllers' threads). A fixture whose devices or clock the window
    // uses calls it before they go.
    void CloseWindow() {
        if (window) {
            for (DeviceKind kind :
                 {DeviceKind::Keyboard, DeviceKind::Mouse, DeviceKind::Mousepad}) {
                EXPECT_EQ(window->Hub().Controller(kind).Session().RefusedRequests(), 0)
                    << DeviceKindPrefix(kind) << " request made on the window's thread";
            }
            EXPECT_EQ(ForbiddenFileAccesses() - fileCallsBefore, 0u)
                << "files read or written on the window's thread";
        }
        window.reset();
    }

    std::filesystem::path Data() const { return dataDir.path().toStdString(); }
    std::filesystem::path MainIni() const { return Data() / "main.ini"; }

    app::CMainWnd& MakeWindow(bool plugged = true) {
        if (plugged) mouse->Plug();
        app::CMainWnd::Options options;
        options.skinFolder = VQ_SKIN_DIR;
        options.dataFolder = Data();
        options.backend = &bus;
        options.timing = FastTiming();
        options.readLanguageHint = [this] { return hint; };
        options.writeLanguageHint = [this](const std::string& value) {
            hintWrites.push_back(value);
            return true;
        };
        options.programFolder = VQ_PROGRAM_DIR;
        options.presence.passInterval = std::chrono::milliseconds(20);
        options.listener.whileSearching = std::chrono::milliseconds(20);
        options.shutdownLimit = std::chrono::milliseconds(5000);
        options.controller = controllerTiming;
        options.foreground = &foreground;
        if (adjustOptions) adjustOptions(options);
        fileCallsBefore = ForbiddenFileAccesses();
        window = std::make_unique<app::CMainWnd>(options);
        // Every device request made on the window's thread is refused and counted.
        window->Hub().RefuseRequestsFrom(std::this_thread::get_id());
        EXPECT_TRUE(window->Build());
        return *window;
    }

    // Builds and starts the window, and waits until the presence thread has had its first pass
    // and the profile lists are filled.
    app::CMainWnd& StartWindow(bool plugged = true) {
        MakeWindow(plugged);
        window->WindowInit();
        if (plugged) {
            EXPECT_TRUE(QTest::qWaitFor([this] { return window->isVisible(); }, kWaitMs));
        }
        EXPECT_TRUE(
            QTest::qWaitFor([this] { return window->Pages()->profiles.Filled(); }, kWaitMs));
        return *window;
    }

    // StartWindow, then waits until the mouse's arrival read has filled its model and the
    // controllers have done what they were asked: where the mouse's page tests begin.
    app::CMainWnd& StartWithMouseRead() {
        app::CMainWnd& w = StartWindow();
        EXPECT_TRUE(QTest::qWaitFor([&] { return w.Hub().Mouse().Model().HasInfo(); }, kWaitMs));
        Settle(w);
        return w;
    }

    // Clicks a button of the window, then waits for what the click handed to the controllers
    // (their device and file work) and for their answers.
    void Click(const QString& name) {
        auto* b = window->Control<QAbstractButton>(name);
        ASSERT_NE(b, nullptr) << name.toStdString();
        b->click();
        Settle(*window);
    }

    // The user replaces a field's text by typing (an empty text: the old one deleted).
    QLineEdit* Type(const QString& name, const QString& text) {
        auto* edit = window->Control<QLineEdit>(name);
        EXPECT_NE(edit, nullptr) << name.toStdString();
        if (!edit) return nullptr;
        edit->setFocus();
        edit->selectAll();
        if (text.isEmpty())
            QTest::keyClick(edit, Qt::Key_Backspace);
        else
            QTest::keyClicks(edit, text);
        return edit;
    }

    // The command bytes sent to the mouse's configuration collection since the last clear.
    std::vector<uint8_t> ConfigCommands() const {
        std::vector<uint8_t> codes;
        for (const auto& e : bus.Transcript())
            if (e.direction == TraceDirection::ToDevice && e.usagePage == kConfigUsagePage)
                codes.push_back(e.bytes[3]);
        return codes;
    }

    QTemporaryDir dataDir;
    sim::VirtualHidBus bus;
    std::unique_ptr<sim::SimMouse> mouse;
    // The program in front, brought by the test.
    platform::ManualForegroundProgram foreground;
    std::optional<std::string> hint;
    std::vector<std::string> hintWrites;
    // The device's own delays (arrival → full read, change → flush, reset → read back),
    // shortened save delay.
    ControllerTiming controllerTiming{std::chrono::milliseconds(500), std::chrono::milliseconds(10),
                                      std::chrono::milliseconds(100), std::chrono::milliseconds(50),
                                      std::chrono::milliseconds(500)};
    // Changes the window's options before it is made (a test's own devices or clocks).
    std::function<void(app::CMainWnd::Options&)> adjustOptions;
    std::unique_ptr<app::CMainWnd> window;
    // The file calls made on marked threads before the window was made.
    uint64_t fileCallsBefore = 0;
};

}  // namespace vq::test
