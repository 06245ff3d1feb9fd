#include "app/pages/device_pages.h"

#include "app/controls/led_preview.h"
#include "app/device_hub.h"
#include "app/main_window.h"
#include "app/system_pointer_target.h"
#include "app/window_key_capture.h"
#include "platform/input_capture.h"

namespace vq::app {

DevicePages::DevicePages(CMainWnd& window, DeviceHub& h)
    : hub(h),
      capture(platform::CreateDesktopInputCapture()),
      pointerTarget(MakeSystemPointerTarget()),
      sensor(window, h),
      light(window, h),
      buttons(window, h),
      pointer(window, h),
      keyboardLight(window, h),
      keyboardKeys(window, h),
      mousepadLight(window, h),
      profiles(window, h),
      mouseMacros(window, h, DeviceKind::Mouse),
      keyboardMacros(window, h, DeviceKind::Keyboard),
      cursor(window, h) {
    light::LightShared& shared = h.Light();
    mouseLeds = std::make_unique<LedControls<20>>(window, QStringLiteral("ms_dkey_"));
    mouseSync = std::make_unique<LightPreviewPainter>(
        window, [&shared](bool on) { shared.mouseSyncPreview.SetVisible(on); },
        [this] {
            if (!hub.Mouse().Session().LightSync()) return;
            // Every LED of the frame the sync sends (20; the own effects' preview drives 19).
            const auto picture = hub.Light().mouseSyncPreview.Picture();
            for (size_t i = 0; i < picture.size(); ++i)
                if (CLedPreviewUI* led = mouseLeds->At(i)) {
                    led->SetChangerColor(light::PreviewColourValue(picture[i]));
                    led->SetChangerAlpha(picture[i].level);
                }
        });
    shared.mouseSyncPreview.SetListener([this] { mouseSync->RequestPaint(); });
    QObject::connect(&window.Ui(), &SkinUi::PageBuilt, &window, [this](QWidget* page) {
        if (QWidget* area = page->findChild<QWidget*>(QStringLiteral("ms_deng_preview")))
            mouseSync->Attach(area);
    });
    if (QWidget* area = window.BuiltControl("ms_deng_preview")) mouseSync->Attach(area);
    // Where the desktop's input cannot be captured, keys are taken in the window.
    if (!capture) capture = std::make_unique<WindowKeyCapture>(&window);
    buttons.SetInputCapture(capture.get());
    keyboardKeys.SetInputCapture(capture.get());
    // One capture at a time: the key pages' single key or a macro page's recording.
    for (MacroPage* macros : {&mouseMacros, &keyboardMacros}) {
        macros->SetInputCapture(capture.get());
        macros->OnCaptureWanted([this] {
            buttons.EndKeyCapture();
            keyboardKeys.EndKeyCapture();
            mouseMacros.EndRecording();
            keyboardMacros.EndRecording();
        });
    }
    // The key pages' macro choices and the labels of keys that play macros follow the library.
    mouseMacros.OnLibraryChanged([this] {
        buttons.ReloadMacroNames();
        buttons.RefreshButtonLabels(hub.Mouse().Model().ActiveLayer());
    });
    keyboardMacros.OnLibraryChanged([this] { keyboardKeys.ReloadMacroNames(); });
    // A capture ends when the window is no longer the active one.
    window.OnDeactivate([this] {
        buttons.EndKeyCapture();
        keyboardKeys.EndKeyCapture();
        mouseMacros.EndRecording();
        keyboardMacros.EndRecording();
    });
    // Before the first command: the controller reads and applies the system's values.
    if (!hub.Mouse().SystemPointer()) hub.Mouse().SetSystemPointer(pointerTarget.get());
    sensor.Register();
    light.Register();
    buttons.Register();
    pointer.Register();
    keyboardLight.Register();
    keyboardKeys.Register(&keyboardLight);
    mousepadLight.Register();
    // The mouse's same-mode button hands its lighting to the light sync of all devices.
    window.Router().On("click", "ms_deng_same_mode",
                       [this](const Notification&) { hub.StartLightSync(2); });
    profiles.Register();
    mouseMacros.Register();
    keyboardMacros.Register();
    cursor.Register();
}

DevicePages::~DevicePages() {
    buttons.SetInputCapture(nullptr);
    keyboardKeys.SetInputCapture(nullptr);
    mouseMacros.EndRecording();
    keyboardMacros.EndRecording();
    mouseMacros.SetInputCapture(nullptr);
    keyboardMacros.SetInputCapture(nullptr);
    if (hub.Mouse().SystemPointer() == pointerTarget.get()) hub.Mouse().SetSystemPointer(nullptr);
}

void DevicePages::ShowMouseSettings(bool relayout) {
    const MouseModel& model = hub.Mouse().Model();
    const MouseRecord record = model.Record();
    light.Show(record, relayout);
    sensor.Show(record, model.Info().SensorCode());
    buttons.RefreshButtonLabels(model.ActiveLayer());
}

void DevicePages::ShowKeyboardSettings() {
    keyboardLight.Show();
    keyboardKeys.ShowKeys();
}

void DevicePages::ShowMousepadSettings() {
    mousepadLight.Show();
}

void DevicePages::OnEvent(const ControllerEvent& event) {
    switch (event.type) {
        case ControllerEventType::ModelChanged:
            if (event.kind == DeviceKind::Keyboard) {
                if (event.update == ModelUpdate::ButtonAssigned)
                    keyboardKeys.RefreshKeyLabels();
                else
                    ShowKeyboardSettings();
                return;
            }
            if (event.kind == DeviceKind::Mousepad) {
                ShowMousepadSettings();
                return;
            }
            if (event.update == ModelUpdate::ButtonAssigned) {
                buttons.RefreshButtonLabels(hub.Mouse().Model().ActiveLayer());
                return;
            }
            if (event.update == ModelUpdate::SlotSelected) buttons.HideFunctionPanel();
            ShowMouseSettings(event.fullRefresh);
            if (event.update == ModelUpdate::ProfileLoaded && event.family != ProfileFamily::Key)
                pointer.ShowProfileValues(event.family == ProfileFamily::Light
                                              ? PointerPath::LightProfile
                                              : PointerPath::DeviceProfile);
            return;
        case ControllerEventType::ProfileEdited:
            profiles.OnEvent(event);
            return;
        case ControllerEventType::ProfileSelected:
            profiles.OnEvent(event);
            if (event.kind == DeviceKind::Mouse && event.family == ProfileFamily::Key)
                buttons.HideFunctionPanel();
            if (event.kind == DeviceKind::Keyboard && event.family == ProfileFamily::Key)
                keyboardKeys.HideFunctionPanel();
            return;
        default:
            return;
    }
}

}  // namespace vq::app
