#pragma once
// A page's LED controls ("ms_dkey_0", "ms_dkey_1", ...), looked up by name once the page is
// built and then kept: a preview sets them many times a second, and a lookup by name walks the
// whole window. Once found they are drawn by one surface over them (CLedSurfaceUI).

#include <QPointer>
#include <QString>
#include <array>
#include <cstddef>
#include <vector>

#include "app/controls/led_preview.h"
#include "app/controls/led_surface.h"
#include "app/main_window.h"

namespace vq::app {

template <size_t N>
class LedControls {
  public:
    LedControls(CMainWnd& window, QString prefix) : window_(window), prefix_(std::move(prefix)) {}

    // LED `i`, or null while its page is not built.
    CLedPreviewUI* At(size_t i) {
        if (i >= N) return nullptr;
        if (!leds_[0]) {
            for (size_t n = 0; n < N; ++n)
                leds_[n] = window_.BuiltControl<CLedPreviewUI>(prefix_ + QString::number(n));
            if (leds_[0]) surface_ = CLedSurfaceUI::Attach({leds_.begin(), leds_.end()});
        }
        return leds_[i];
    }

  private:
    CMainWnd& window_;
    QString prefix_;
    std::array<QPointer<CLedPreviewUI>, N> leds_{};
    QPointer<CLedSurfaceUI> surface_;
};

}  // namespace vq::app
