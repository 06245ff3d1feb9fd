#pragma once
// The mouse page as a view of the mouse model: ShowMouseSettings puts the whole model on the
// page; the page's handlers store the user's edits in the model and mark it for the flush.

#include <QColor>
#include <QString>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "core/mouse/mouse_model.h"

class QWidget;

namespace vq {
class DeviceSession;
}

namespace vq::app {

class CMainWnd;

class MousePage {
  public:
    MousePage(CMainWnd& window, MouseModel& model, DeviceSession& session);

    // Registers the page's handlers with the window's router.
    void Register();

    // Puts the model on the page. With a full refresh pending it also runs the light-mode
    // selection and stores the lift-off height and line adjustment again (which marks the record
    // for the flush).
    void ShowMouseSettings();
    // The labels of buttons 0-7 from key layer `layer`.
    void RefreshButtonLabels(int layer);
    // The effect of item m of the effect list: the page's controls for it and the record.
    void SelectLightMode(int m);
    // The colour preview and R, G, B edits, without storing.
    void ShowLightColor(QRgb argb);
    void SelectSlot(int n);

    // The macro names the button labels use (the mouse's macro library, in order).
    void SetMacroNames(std::function<std::vector<std::string>()> source) {
        macroNames_ = std::move(source);
    }

  private:
    template <typename T = QWidget>
    T* Control(const QString& name) const;
    void SetStageDpi(int stage, bool store);
    void SetLiftHeight(int height);
    void SetLineAdjust(bool on);
    void ShowRangeLabels(uint16_t sensorCode);
    void MarkActiveStage(uint8_t activeStage);

    CMainWnd& window_;
    MouseModel& model_;
    DeviceSession& session_;
    std::function<std::vector<std::string>()> macroNames_;
};

}  // namespace vq::app
