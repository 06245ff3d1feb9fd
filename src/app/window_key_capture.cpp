#include "app/window_key_capture.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include "core/util/log.h"

namespace vq::app {

namespace {

// X11 key symbols of the modifiers, which tell left from right.
constexpr quint32 kSymShiftR = 0xFFE2, kSymControlR = 0xFFE4, kSymAltR = 0xFFEA,
                  kSymSuperR = 0xFFEC, kSymLevel3Shift = 0xFE03;

constexpr uint16_t kVkCapsLock = 0x14, kVkNumLock = 0x90, kVkScrollLock = 0x91;

struct KeyPair {
    int qt;
    uint16_t vk;
};

// Keys whose virtual key does not depend on the keypad or the side.
constexpr KeyPair kPlainKeys[] = {
    {Qt::Key_Escape, 0x1B},
    {Qt::Key_Tab, 0x09},
    {Qt::Key_Backtab, 0x09},
    {Qt::Key_Backspace, 0x08},
    {Qt::Key_Return, 0x0D},
    {Qt::Key_Space, 0x20},
    {Qt::Key_CapsLock, 0x14},
    {Qt::Key_NumLock, 0x90},
    {Qt::Key_ScrollLock, 0x91},
    {Qt::Key_Pause, 0x13},
    {Qt::Key_Print, 0x2C},
    {Qt::Key_SysReq, 0x2C},
    {Qt::Key_Menu, 0x5D},
    {Qt::Key_Minus, 0xBD},
    {Qt::Key_Underscore, 0xBD},
    {Qt::Key_Equal, 0xBB},
    {Qt::Key_Plus, 0xBB},
    {Qt::Key_BracketLeft, 0xDB},
    {Qt::Key_BraceLeft, 0xDB},
    {Qt::Key_BracketRight, 0xDD},
    {Qt::Key_BraceRight, 0xDD},
    {Qt::Key_Backslash, 0xDC},
    {Qt::Key_Bar, 0xDC},
    {Qt::Key_Semicolon, 0xBA},
    {Qt::Key_Colon, 0xBA},
    {Qt::Key_Apostrophe, 0xDE},
    {Qt::Key_QuoteDbl, 0xDE},
    {Qt::Key_QuoteLeft, 0xC0},
    {Qt::Key_AsciiTilde, 0xC0},
    {Qt::Key_Comma, 0xBC},
    {Qt::Key_Less, 0xBC},
    {Qt::Key_Period, 0xBE},
    {Qt::Key_Greater, 0xBE},
    {Qt::Key_Slash, 0xBF},
    {Qt::Key_Question, 0xBF},
    {Qt::Key_Exclam, '1'},
    {Qt::Key_At, '2'},
    {Qt::Key_NumberSign, '3'},
    {Qt::Key_Dollar, '4'},
    {Qt::Key_Percent, '5'},
    {Qt::Key_AsciiCircum, '6'},
    {Qt::Key_Ampersand, '7'},
    {Qt::Key_Asterisk, '8'},
    {Qt::Key_ParenLeft, '9'},
    {Qt::Key_ParenRight, '0'},
    {Qt::Key_Insert, 0x2D},
    {Qt::Key_Delete, 0x2E},
    {Qt::Key_Home, 0x24},
    {Qt::Key_End, 0x23},
    {Qt::Key_PageUp, 0x21},
    {Qt::Key_PageDown, 0x22},
    {Qt::Key_Left, 0x25},
    {Qt::Key_Up, 0x26},
    {Qt::Key_Right, 0x27},
    {Qt::Key_Down, 0x28},
    {Qt::Key_Clear, 0x0C},
    // Media and browser keys.
    {Qt::Key_VolumeUp, 0xAF},
    {Qt::Key_VolumeDown, 0xAE},
    {Qt::Key_VolumeMute, 0xAD},
    {Qt::Key_MediaPlay, 0xB3},
    {Qt::Key_MediaTogglePlayPause, 0xB3},
    {Qt::Key_MediaPause, 0xB3},
    {Qt::Key_MediaStop, 0xB2},
    {Qt::Key_MediaPrevious, 0xB1},
    {Qt::Key_MediaNext, 0xB0},
    {Qt::Key_LaunchMail, 0xB4},
    {Qt::Key_HomePage, 0xAC},
    {Qt::Key_Search, 0xAA},
    {Qt::Key_Favorites, 0xAB},
    {Qt::Key_Back, 0xA6},
    {Qt::Key_Forward, 0xA7},
    {Qt::Key_Refresh, 0xA8},
    {Qt::Key_LaunchMedia, 0xB5},
    {Qt::Key_Calculator, 0xB7},
    {Qt::Key_Launch0, 0xB6},
    {Qt::Key_Explorer, 0xB6},
    {Qt::Key_Sleep, 0x5F},
};

// Keypad keys (with the keypad flag and Num Lock on).
constexpr KeyPair kKeypadKeys[] = {
    {Qt::Key_Asterisk, 0x6A}, {Qt::Key_Plus, 0x6B},  {Qt::Key_Minus, 0x6D}, {Qt::Key_Period, 0x6E},
    {Qt::Key_Comma, 0x6E},    {Qt::Key_Slash, 0x6F}, {Qt::Key_Enter, 0x0D},
};

bool IsLockKey(uint16_t vk) {
    return vk == kVkCapsLock || vk == kVkNumLock || vk == kVkScrollLock;
}

}  // namespace

WindowKeyCapture::WindowKeyCapture(QWidget* window) : window_(window) {
    clock_.start();
}

WindowKeyCapture::~WindowKeyCapture() {
    Stop();
}

uint16_t WindowKeyCapture::VirtualKeyOf(int key, bool keypad, quint32 symbol) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return static_cast<uint16_t>('A' + (key - Qt::Key_A));
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return static_cast<uint16_t>((keypad ? 0x60 : '0') + (key - Qt::Key_0));
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return static_cast<uint16_t>(0x70 + (key - Qt::Key_F1));
    switch (key) {
        case Qt::Key_Shift:
            return symbol == kSymShiftR ? 0xA1 : 0xA0;
        case Qt::Key_Control:
            return symbol == kSymControlR ? 0xA3 : 0xA2;
        case Qt::Key_Alt:
            return symbol == kSymAltR ? 0xA5 : 0xA4;
        case Qt::Key_AltGr:
            return 0xA5;
        case Qt::Key_Meta:
        case Qt::Key_Super_L:
            return symbol == kSymSuperR ? 0x5C : 0x5B;
        case Qt::Key_Super_R:
            return 0x5C;
        case Qt::Key_Enter:
            return 0x0D;  // the keypad Enter: Enter with the extended flag
        default:
            break;
    }
    if (symbol == kSymLevel3Shift) return 0xA5;
    if (keypad)
        for (const KeyPair& k : kKeypadKeys)
            if (k.qt == key) return k.vk;
    for (const KeyPair& k : kPlainKeys)
        if (k.qt == key) return k.vk;
    return 0;
}

uint16_t WindowKeyCapture::VirtualKeyOf(const QKeyEvent& event) {
    return VirtualKeyOf(event.key(), event.modifiers().testFlag(Qt::KeypadModifier),
                        event.nativeVirtualKey());
}

bool WindowKeyCapture::Start(const platform::CaptureRequest& request, Sink sink) {
    Stop();
    if (!window_ || !sink) return false;
    request_ = request;
    sink_ = std::move(sink);
    active_ = true;
    qApp->installEventFilter(this);
    return true;
}

void WindowKeyCapture::Stop() {
    if (!active_) return;
    active_ = false;
    sink_ = nullptr;
    if (qApp) qApp->removeEventFilter(this);
}

uint32_t WindowKeyCapture::NowMs() const {
    return static_cast<uint32_t>(clock_.elapsed());
}

bool WindowKeyCapture::OwnWindowActive(QObject* watched) const {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || !window_) return false;
    return widget->window() == window_->window() && window_->isActiveWindow();
}

bool WindowKeyCapture::eventFilter(QObject* watched, QEvent* event) {
    if (!active_) return false;
    const QEvent::Type type = event->type();
    const bool key = type == QEvent::KeyPress || type == QEvent::KeyRelease;
    const bool button = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease;
    if (!(key && request_.keyboard) && !(button && request_.mouse)) return false;
    if (!OwnWindowActive(watched)) return false;

    // The same event goes on to the parent widgets when nobody takes it: one delivery.
    const auto* input = static_cast<QInputEvent*>(event);
    const bool seen = event == lastEvent_ && input->timestamp() == lastStamp_ &&
                      static_cast<int>(type) == lastType_;
    lastEvent_ = event;
    lastStamp_ = input->timestamp();
    lastType_ = static_cast<int>(type);

    InputEvent e;
    e.timeMs = NowMs();
    if (key) {
        const auto* k = static_cast<QKeyEvent*>(event);
        const uint16_t vk = VirtualKeyOf(*k);
        if (vk != 0 && !seen) {
            e.kind = type == QEvent::KeyPress ? InputEventKind::KeyDown : InputEventKind::KeyUp;
            e.virtualKey = vk;
            e.scanCode = static_cast<uint16_t>(k->nativeScanCode());
            e.extended = k->key() == Qt::Key_Enter;
            // The sink may stop the capture; it stays alive for this call.
            Sink sink = sink_;
            sink(e);
        }
        return !IsLockKey(vk);
    }
    if (seen) return false;
    const auto* m = static_cast<QMouseEvent*>(event);
    switch (m->button()) {
        case Qt::LeftButton:
            e.button = PointerButton::Left;
            break;
        case Qt::RightButton:
            e.button = PointerButton::Right;
            break;
        case Qt::MiddleButton:
            e.button = PointerButton::Middle;
            break;
        case Qt::BackButton:
            e.button = PointerButton::Back;
            break;
        case Qt::ForwardButton:
            e.button = PointerButton::Forward;
            break;
        default:
            return false;
    }
    e.kind =
        type == QEvent::MouseButtonPress ? InputEventKind::ButtonDown : InputEventKind::ButtonUp;
    Sink sink = sink_;
    sink(e);
    return false;  // the mouse keeps working
}

}  // namespace vq::app
