#pragma once
// The mouse's button page: the eight buttons with their labels (and tooltips) and hover
// pictures, the function panel that gives the chosen button another function, the single-key
// capture of the key function, the factory function, and the save that sends the key layer to
// the mouse. What a panel shows and what code it makes is the core's (button_panel.h); this
// class moves values between those and the widgets, and sends the result to the controller.

#include <string>
#include <vector>

#include "app/pages/function_panel_view.h"
#include "app/pages/page_base.h"
#include "core/mouse/button_panel.h"

namespace vq::app {

class MouseButtonsPage : public PageBase {
  public:
    MouseButtonsPage(CMainWnd& window, DeviceHub& hub);
    ~MouseButtonsPage();
    void Register();
    // The labels of buttons 0-7 from key layer `layer` of the mouse's model.
    void RefreshButtonLabels(int layer);
    // The mouse's macro names, read again (the labels of buttons that play macros use them, and
    // the macro list of the panel shows them).
    void ReloadMacroNames();
    void HideFunctionPanel();
    // The capture that takes one key for the key function (null: none). Not owned.
    void SetInputCapture(platform::InputCapture* capture) { panel_.SetInputCapture(capture); }

    // The user's actions, as the handlers run them.
    void ShowButtonAssignment(int button);
    void SelectButtonFunctionKind(int item);
    void ApplyButtonPanel();
    void CaptureButtonKey(const InputEvent& event);
    void RestoreButtonDefault();
    // Ends a key capture that runs (the window was deactivated, another page was chosen).
    void EndKeyCapture() { panel_.StopCapture(); }

    int CurrentButton() const { return button_; }
    bool Capturing() const { return panel_.Capturing(); }

  private:
    void FillMacroList();

    FunctionPanelView panel_;
    std::vector<std::string> macroNames_;
    bool macroNamesRead_ = false;   // asked for
    bool macroNamesKnown_ = false;  // arrived
    int button_ = -1;
    KeyAssignment current_{};
};

}  // namespace vq::app
