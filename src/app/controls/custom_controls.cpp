#include "app/controls/chart_view.h"
#include "app/controls/circle_progress.h"
#include "app/controls/color_palette.h"
#include "app/controls/control_factory.h"
#include "app/controls/device_key_button.h"
#include "app/controls/led_preview.h"
#include "app/controls/wnd_ui.h"

namespace vq::app {

// Each custom control registers here under its class name and, where layouts use a shorter
// name, under that alias too ("DeviceKeyButton" for CDeviceKeyButtonUI, "CircleProgress" for
// CCircleProgressUI, "Wnd" for CWndUI). A class a layout names that is not registered is built as
// a plain widget and reported as a skin fault by the loader.
void RegisterCustomControls(ControlFactory& factory) {
    const auto keyButton = [](QWidget* parent) -> QWidget* {
        return new CDeviceKeyButtonUI(parent);
    };
    factory.Register(QStringLiteral("CDeviceKeyButtonUI"), keyButton);
    factory.Register(QStringLiteral("DeviceKeyButton"), keyButton);
    const auto circle = [](QWidget* parent) -> QWidget* { return new CCircleProgressUI(parent); };
    factory.Register(QStringLiteral("CCircleProgressUI"), circle);
    factory.Register(QStringLiteral("CircleProgress"), circle);
    factory.Register(QStringLiteral("CChartViewUI"),
                     [](QWidget* parent) -> QWidget* { return new CChartViewUI(parent); });
    const auto wnd = [](QWidget* parent) -> QWidget* { return new CWndUI(parent); };
    factory.Register(QStringLiteral("CWndUI"), wnd);
    factory.Register(QStringLiteral("Wnd"), wnd);
    const auto palette = [](QWidget* parent) -> QWidget* { return new ColorPalette(parent); };
    factory.Register(QStringLiteral("ColorPalette"), palette);
    factory.Register(QStringLiteral("CColorPaletteUI"), palette);
    factory.Register(QStringLiteral("CLedPreviewUI"),
                     [](QWidget* parent) -> QWidget* { return new CLedPreviewUI(parent); });
}

}  // namespace vq::app
