#include "app/pages/mouse_light_animator.h"

#include <QEvent>

#include "app/controls/led_preview.h"
#include "app/main_window.h"
#include "core/control/mouse_controller.h"
#include "core/util/log.h"

namespace vq::app {

namespace {

// While the mouse is away the picture stands still; it looks again this often.
constexpr int kAbsentMs = 100;
// The picture is painted at most this often: faster effects advance several frames between
// two paints, so that they keep their pace without a paint every 8 ms.
constexpr int kPaintMs = 33;

}  // namespace

MouseLightAnimator::MouseLightAnimator(CMainWnd& window, MouseController& mouse)
    : window_(window), mouse_(mouse) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
    window_.installEventFilter(this);
}

MouseLightAnimator::~MouseLightAnimator() {
    // The pages go with the window, whose timers are gone by now: nothing of the window is
    // called here but the removal of the filter.
    timer_.stop();
    window_.removeEventFilter(this);
}

void MouseLightAnimator::Attach(QWidget* page) {
    if (!page || area_) return;
    area_ = page->findChild<QWidget*>(QStringLiteral("ms_deng_preview"));
    if (!area_) area_ = page;
    area_->installEventFilter(this);
    for (int i = 0; i < kPreviewLeds; ++i)
        leds_[static_cast<size_t>(i)] =
            page->findChild<CLedPreviewUI*>(QStringLiteral("ms_dkey_%1").arg(i));
    Update();
}

bool MouseLightAnimator::Visible() const {
    return area_ && area_->isVisible() && window_.isVisible() && !window_.isMinimized();
}

void MouseLightAnimator::Update() {
    const bool run = Visible();
    if (run && !timer_.isActive()) timer_.start(0);
    if (!run) timer_.stop();
    if (run != animating_) {
        animating_ = run;
        window_.SetAnimating(run);
    }
}

bool MouseLightAnimator::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::WindowStateChange:
            if (watched == area_ || watched == &window_)
                // After the change has taken effect on the widget tree.
                QMetaObject::invokeMethod(
                    this, [this] { Update(); }, Qt::QueuedConnection);
            break;
        default:
            break;
    }
    return false;
}

void MouseLightAnimator::Tick() {
    if (!Visible()) {
        Update();
        return;
    }
    // The mouse away, or lit by the light sync of all devices: the picture stands still.
    if (!mouse_.IsConnected() || mouse_.Session().LightSync()) {
        timer_.start(kAbsentMs);
        return;
    }
    const MouseLightSnapshot lighting = mouse_.Model().LightSnapshot();
    const int pass = static_cast<int>(MouseLightPreview::PassTime(lighting).count());
    const int steps = pass >= kPaintMs ? 1 : (kPaintMs + pass - 1) / pass;
    bool drawn = false;
    for (int i = 0; i < steps; ++i)
        drawn = preview_.Step(lighting, frame_);
    if (drawn) {
        frames_ += steps;
        Paint();
    } else if (lighting.lightMode != badMode_) {
        badMode_ = lighting.lightMode;
        Log(LogLevel::Debug, "鼠标灯光线程设定2");
    }
    timer_.start(steps * pass);
}

void MouseLightAnimator::Paint() {
    for (size_t i = 0; i < leds_.size(); ++i) {
        CLedPreviewUI* led = leds_[i];
        if (!led || !led->isVisible()) continue;
        const PreviewLed& l = frame_[i];
        led->SetChangerColor(static_cast<uint32_t>(l.red | (l.blue << 8) | (l.green << 16)));
        led->SetChangerAlpha(l.alpha);
    }
}

}  // namespace vq::app
