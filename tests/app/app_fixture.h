#pragma once
// A main window on the real skin, a temporary data folder and a simulated mouse on a bus whose
// wire costs nothing; the installer's language hint and its writes are the test's.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/msg_wnd.h"
#include "core/util/ini_file.h"
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

class WindowTest : public ::testing::Test {
  protected:
    WindowTest() {
        bus.SetTiming({std::chrono::microseconds{0}, std::chrono::microseconds{0}});
        mouse = std::make_unique<sim::SimMouse>(bus);
    }
    ~WindowTest() override { window.reset(); }

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
        window = std::make_unique<app::CMainWnd>(options);
        EXPECT_TRUE(window->Build());
        return *window;
    }

    // Builds and starts the window, and waits until the presence thread has had its first pass.
    app::CMainWnd& StartWindow(bool plugged = true) {
        MakeWindow(plugged);
        window->WindowInit();
        if (plugged) {
            EXPECT_TRUE(QTest::qWaitFor([this] { return window->isVisible(); }, kWaitMs));
        }
        return *window;
    }

    QTemporaryDir dataDir;
    sim::VirtualHidBus bus;
    std::unique_ptr<sim::SimMouse> mouse;
    std::optional<std::string> hint;
    std::vector<std::string> hintWrites;
    std::unique_ptr<app::CMainWnd> window;
};

}  // namespace vq::test
