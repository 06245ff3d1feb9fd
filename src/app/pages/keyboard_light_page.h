#pragma once
// The keyboard's lighting page ("kb_deng_layout" below the on-screen keyboard): the effect of
// either keyboard variant with the controls it uses, brightness, speed, direction, the single
// colour or the rainbow colours, the custom layouts painted key by key, the light sync, and the
// preview of the light thread's frames on the key buttons. Edits go to the keyboard's
// controller; Show puts the model on the page without storing anything.

#include <QPointer>
#include <QRgb>
#include <array>
#include <memory>

#include "app/controls/key_surface.h"
#include "app/pages/light_colour_fields.h"
#include "app/pages/light_preview_painter.h"
#include "app/pages/page_base.h"
#include "core/keyboard/keyboard_layout.h"
#include "core/keyboard/light_page_layouts.h"

namespace vq::app {

class CDeviceKeyButtonUI;

class KeyboardLightPage : public PageBase {
  public:
    KeyboardLightPage(CMainWnd& window, DeviceHub& hub);
    ~KeyboardLightPage();
    void Register();
    // The whole page from the keyboard's model.
    void Show();

    // The user's actions, as the handlers run them.
    void ChooseMode(int mode);
    // Shows a colour in the fields and the colour display (the custom colour's while the
    // custom effect is chosen) and, when `store`, takes it into the model.
    void SetColour(QRgb argb, bool store);
    // A click on a key button while the lighting page is shown.
    void PaintKey(int button);

    LightPreviewPainter& Painter() { return *painter_; }
    // The widget that draws the on-screen keys once the preview has looked them up (or null).
    CKeySurfaceUI* KeySurface() const { return surface_; }

  private:
    void ApplyLayout(const LightPageLayout& row, KeyboardVariant variant);
    void ShowCustomTools(bool custom);
    void TakeTypedColour(QRgb argb);
    bool CustomShown() const;
    void PaintPreview();
    void HidePreview();
    CDeviceKeyButtonUI* Key(int button);

    LightColourFields colours_;
    std::unique_ptr<LightPreviewPainter> painter_;
    std::array<QPointer<CDeviceKeyButtonUI>, kKeyboardButtons> keys_{};
    QPointer<CKeySurfaceUI> surface_;
};

}  // namespace vq::app
