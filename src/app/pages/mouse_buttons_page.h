#pragma once
// The mouse's button page: the eight buttons with their labels (and tooltips) and hover
// pictures, the function panel that gives the chosen button another function, the single-key
// capture of the key function, the factory function, and the save that sends the key layer to
// the mouse. What a panel shows and what code it makes is the core's (button_panel.h); this
// class moves values between those and the widgets, and sends the result to the controller.

#include <string>
#include <vector>

#include "app/pages/page_base.h"
#include "core/mouse/button_panel.h"

namespace vq::platform {
class InputCapture;
}

namespace vq::app {

class MouseButtonsPage : public PageBase {
  public:
    using PageBase::PageBase;
    ~MouseButtonsPage();
    void Register();
    // The labels of buttons 0-7 from key layer `layer` of the mouse's model.
    void RefreshButtonLabels(int layer);
    // The mouse's macro names, read again (the labels of buttons that play macros use them, and
    // the macro list of the panel shows them).
    void ReloadMacroNames();
    void HideFunctionPanel();
    // The capture that takes one key for the key function (null: none). Not owned.
    void SetInputCapture(platform::InputCapture* capture) { capture_ = capture; }

    // The user's actions, as the handlers run them.
    void ShowButtonAssignment(int button);
    void SelectButtonFunctionKind(int item);
    void ApplyButtonPanel();
    void CaptureButtonKey(const InputEvent& event);
    void RestoreButtonDefault();
    // Ends a key capture that runs (the window was deactivated, another page was chosen).
    void EndKeyCapture() { StopCapture(); }

    int CurrentButton() const { return button_; }
    bool Capturing() const { return capturing_; }

  private:
    ButtonPanel ReadPanel() const;
    void ShowPanel(const ButtonPanel& panel);
    void ShowPane(int item);
    void ShowCountPane();
    void StartCapture();
    void StopCapture();
    void FillMacroList();
    void LimitField(PanelField field);

    std::vector<std::string> macroNames_;
    bool macroNamesRead_ = false;   // asked for
    bool macroNamesKnown_ = false;  // arrived
    platform::InputCapture* capture_ = nullptr;
    int button_ = -1;
    KeyAssignment current_{};
    // The key the key function holds and the text id its field shows.
    std::optional<KeyAssignment> key_;
    std::string keyTextId_;
    bool capturing_ = false;
};

}  // namespace vq::app
