#pragma once
// The animation of the lighting page's mouse picture: frames of the core's preview painted on
// the LEDs "ms_dkey_0" ... "ms_dkey_18" (the light sync's frames show on all 20), paced by the
// effect's speed (painted at most about 30 times a second; a faster effect advances several
// frames between paints). It runs on the window's
// thread from one timer, and only while the picture can be seen (the lighting page shown, the
// window shown and not minimised): another page, a hidden window or a page never built costs
// nothing, not even a timer. A frame reads one snapshot of the lighting fields and paints into
// widgets looked up once; it allocates nothing.

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <array>

#include "core/mouse/mouse_light_preview.h"

namespace vq {
class MouseController;
}

namespace vq::app {

class CMainWnd;
class CLedPreviewUI;

class MouseLightAnimator : public QObject {
    Q_OBJECT
  public:
    MouseLightAnimator(CMainWnd& window, MouseController& mouse);
    ~MouseLightAnimator() override;

    // The lighting page has been built: its picture is watched from now on.
    void Attach(QWidget* page);
    // The effect starts again (a new effect, direction or alternative list).
    void Reset() { preview_.Reset(); }
    // Looks again whether the picture can be seen, starting or stopping the frames.
    void Update();

    bool Running() const { return timer_.isActive(); }
    // Frames computed so far (painted or not).
    int Frames() const { return frames_; }
    const PreviewFrame& Frame() const { return frame_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool Visible() const;
    void Tick();
    void Paint();

    CMainWnd& window_;
    MouseController& mouse_;
    QTimer timer_;
    QPointer<QWidget> area_;
    std::array<QPointer<CLedPreviewUI>, kPreviewLeds> leds_{};
    MouseLightPreview preview_;
    PreviewFrame frame_{};
    bool animating_ = false;
    int frames_ = 0;
    int badMode_ = -1;  // the effect that was logged as unknown
};

}  // namespace vq::app
