// The capture of keys inside the program's window: Qt's keys as the Windows virtual keys of the
// key table, keys held back from the window's controls while a capture runs, and nothing taken
// once it has stopped or while another window is active.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>
#include <vector>

#include "app/window_key_capture.h"
#include "core/mouse/button_panel.h"

namespace vq::test {
namespace {

using app::WindowKeyCapture;

TEST(WindowKeyCapture, QtKeysBecomeTheVirtualKeysOfTheKeyTable) {
    EXPECT_EQ(WindowKeyCapture::VirtualKeyOf(Qt::Key_A, false, 0), 'A');
    EXPECT_EQ(WindowKeyCapture::VirtualKeyOf(Qt::Key_Z, false, 0), 'Z');
    EXPECT_EQ(WindowKeyCapture::VirtualKeyOf(Qt::Key_0, false, 0), '0');
    EXPECT_EQ(WindowKeyCapture::VirtualKeyOf(Qt::Key_0, true, 0), 0x60);
    EXPECT_EQ(WindowKeyCapture::VirtualKeyOf(Qt::Key_9, true, 0), 0x69);
    EXPECT_EQ(WindowKeyCapture::VirtualKeyOf(Qt::Key_F1, false, 0), 0x70);
    EXPECT_EQ(WindowKeyCapture::VirtualKeyOf(Qt::Key_F12, false, 0), 0x7B);
    EXPECT_EQ(WindowKeyCapture::VirtualKeyOf(Qt::Key_Minus, false, 0), 0xBD);
    EXPECT_EQ(WindowKeyCapture::VirtualKeyOf(Qt::Key_Minus, true, 0), 0x6D);
    EXPECT_EQ(WindowKeyCapture::VirtualKeyOf(Qt::Key_Asterisk, true, 0), 0x6A);
    EXPECT_EQ(WindowKeyCapture::VirtualKeyOf(Qt::Key_Enter, true, 0), 0x0D);
    EXPECT_EQ(WindowKeyCapture::VirtualKeyOf(Qt::Key_Return, false, 0), 0x0D);
    // The sides of the modifiers come from the key symbol.
    EXPECT_EQ(WindowKeyCapture::VirtualKeyOf(Qt::Key_Shift, false, 0xFFE1), 0xA0);
    EXPECT_EQ(WindowKeyCapture::VirtualKeyOf(Qt::Key_Shift, false, 0xFFE2), 0xA1);
    EXPECT_EQ(WindowKeyCapture::VirtualKeyOf(Qt::Key_Control, false, 0xFFE4), 0xA3);
    EXPECT_EQ(WindowKeyCapture::VirtualKeyOf(Qt::Key_Alt, false, 0), 0xA4);
    EXPECT_EQ(WindowKeyCapture::VirtualKeyOf(Qt::Key_Meta, false, 0xFFEC), 0x5C);
    EXPECT_EQ(WindowKeyCapture::VirtualKeyOf(Qt::Key_VolumeUp, false, 0), 0xAF);
    EXPECT_EQ(WindowKeyCapture::VirtualKeyOf(Qt::Key_unknown, false, 0), 0);
    // Every keyboard row of the key table is reachable from some key.
    const int qtKeys[] = {
        Qt::Key_Escape,     Qt::Key_Backspace,   Qt::Key_Tab,          Qt::Key_Space,
        Qt::Key_Equal,      Qt::Key_BracketLeft, Qt::Key_BracketRight, Qt::Key_Backslash,
        Qt::Key_Semicolon,  Qt::Key_Apostrophe,  Qt::Key_QuoteLeft,    Qt::Key_Comma,
        Qt::Key_Period,     Qt::Key_Slash,       Qt::Key_CapsLock,     Qt::Key_Print,
        Qt::Key_ScrollLock, Qt::Key_Pause,       Qt::Key_Insert,       Qt::Key_Home,
        Qt::Key_PageUp,     Qt::Key_Delete,      Qt::Key_End,          Qt::Key_PageDown,
        Qt::Key_Right,      Qt::Key_Left,        Qt::Key_Down,         Qt::Key_Up,
        Qt::Key_NumLock,    Qt::Key_Menu};
    for (int key : qtKeys) {
        InputEvent e;
        e.virtualKey = WindowKeyCapture::VirtualKeyOf(key, false, 0);
        EXPECT_TRUE(SingleKeyFor(e)) << std::hex << key;
    }
}

class CaptureWindow : public ::testing::Test {
  protected:
    CaptureWindow() {
        auto* layout = new QVBoxLayout(&window);
        edit = new QLineEdit(&window);
        layout->addWidget(edit);
        window.show();
        window.activateWindow();
        edit->setFocus();
    }
    std::vector<InputEvent> seen;
    QWidget window;
    QLineEdit* edit = nullptr;
};

TEST_F(CaptureWindow, KeysAreTakenOnceAndHeldBackFromTheControlsUntilTheCaptureStops) {
    if (!QTest::qWaitForWindowActive(&window)) GTEST_SKIP() << "no active window here";
    WindowKeyCapture capture(&window);
    platform::CaptureRequest request;
    request.mode = platform::CaptureMode::SingleKey;
    ASSERT_TRUE(capture.Start(request, [&](const InputEvent& e) { seen.push_back(e); }));
    EXPECT_TRUE(capture.Active());
    QTest::keyClick(edit, Qt::Key_F5);
    QTest::keyClick(edit, Qt::Key_A);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].kind, InputEventKind::KeyDown);
    EXPECT_EQ(seen[0].virtualKey, 0x74);
    EXPECT_EQ(seen[1].kind, InputEventKind::KeyUp);
    EXPECT_EQ(seen[2].virtualKey, 'A');
    EXPECT_TRUE(edit->text().isEmpty());  // the A never reached the field
    QTest::keyClick(edit, Qt::Key_Enter, Qt::KeypadModifier);
    ASSERT_EQ(seen.size(), 6u);
    EXPECT_TRUE(seen[4].extended);
    EXPECT_EQ(TableVirtualKey(seen[4]), 0x101);
    // The sink may end the capture from inside a delivery.
    capture.Stop();
    EXPECT_FALSE(capture.Active());
    QTest::keyClick(edit, Qt::Key_B);
    EXPECT_EQ(seen.size(), 6u);
    EXPECT_EQ(edit->text(), "b");
    // A capture that stops itself on its first key takes that key only.
    ASSERT_TRUE(capture.Start(request, [&](const InputEvent& e) {
        seen.push_back(e);
        capture.Stop();
    }));
    QTest::keyClick(edit, Qt::Key_C);
    EXPECT_EQ(seen.size(), 7u);
}

}  // namespace
}  // namespace vq::test
