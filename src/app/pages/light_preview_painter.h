#pragma once
// The keyboard's and the mousepad's light previews on their lighting pages. Their light threads
// publish each changed picture (only while the preview is marked visible) and ask for a paint;
// the painter marks the preview visible while its area can be seen (the page shown, the window
// shown and not minimised), keeps at most one paint queued on the window's thread and paints at
// most once per interval (15 times a second by default: smooth enough for a preview of light
// effects, and each picture costs the window's thread a paint of many spots or keys). A hidden page
// costs the light thread nothing but its frames for the device, and the window's thread nothing at
// all.

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <functional>

class QWidget;

namespace vq::app {

class CMainWnd;

class LightPreviewPainter : public QObject {
    Q_OBJECT
  public:
    // `setVisible` tells the light thread's preview whether it is seen; `paint` paints its
    // latest picture (window's thread); `hide` clears the picture when the area is no longer
    // seen (may be empty).
    LightPreviewPainter(CMainWnd& window, std::function<void(bool)> setVisible,
                        std::function<void()> paint, std::function<void()> hide = {},
                        std::chrono::milliseconds interval = std::chrono::milliseconds(66));
    ~LightPreviewPainter() override;

    // The area whose visibility decides (the lighting page once it is built).
    void Attach(QWidget* area);
    // From the light thread: a changed picture waits.
    void RequestPaint();
    // Looks again whether the area can be seen.
    void Update();
    bool Visible() const;
    int Paints() const { return paints_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void PaintNow();

    CMainWnd& window_;
    std::function<void(bool)> setVisible_;
    std::function<void()> paint_;
    std::function<void()> hide_;
    QPointer<QWidget> area_;
    QTimer pace_;
    std::atomic<bool> queued_{false};
    std::chrono::milliseconds interval_;
    std::chrono::steady_clock::time_point lastPaint_{};
    bool visible_ = false;
    int paints_ = 0;
};

}  // namespace vq::app
