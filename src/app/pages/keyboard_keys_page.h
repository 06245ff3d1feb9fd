#pragma once
// The keyboard's key page: the 126 key buttons matched to the keyboard's keys by their factory
// functions, each key's tooltip and changed marker, the function panel (the mouse's panel with
// the keyboard's item order), the single-key capture, the factory function and the save that
// sends the keyboard's macros and then its key block. A click on a key button goes to the
// function panel while the key option is chosen and to the lighting page while the lighting
// option is.

#include <string>
#include <vector>

#include "app/pages/function_panel_view.h"
#include "app/pages/page_base.h"
#include "core/device/key_labels.h"
#include "core/keyboard/keyboard_layout.h"
#include "core/mouse/button_panel.h"

namespace vq::app {

class KeyboardLightPage;

// The items of "kb_key_fct_combo" as the panel's functions, and back (-1: none).
int KeyboardItemFunction(int item);
int FunctionKeyboardItem(int function);

class KeyboardKeysPage : public PageBase {
  public:
    KeyboardKeysPage(CMainWnd& window, DeviceHub& hub);
    ~KeyboardKeysPage();
    void Register(KeyboardLightPage* light);
    void SetInputCapture(platform::InputCapture* capture) { panel_.SetInputCapture(capture); }

    // After a read or a profile: the keys' matches, then their labels.
    void ShowKeys();
    void RefreshKeyLabels();
    void ReloadMacroNames();
    void HideFunctionPanel();

    // The user's actions, as the handlers run them.
    void ClickKey(int button);
    void ShowKeyAssignment(int button);
    void SelectFunctionKind(int item);
    void ApplyPanel();
    void CaptureKey(const InputEvent& event);
    void RestoreKeyDefault();
    void EndKeyCapture() { panel_.StopCapture(); }

    int CurrentKey() const { return key_; }
    bool Capturing() const { return panel_.Capturing(); }
    const ButtonKeyMap& Map() const { return map_; }

  private:
    void SetKeyLabel(int key, const KeyLabel& label);
    void FillMacroList();

    FunctionPanelView panel_;
    KeyboardLightPage* light_ = nullptr;
    ButtonKeyMap map_ = EmptyButtonKeyMap();
    std::vector<std::string> macroNames_;
    bool macroNamesRead_ = false;   // asked for
    bool macroNamesKnown_ = false;  // arrived
    int key_ = -1;
};

}  // namespace vq::app
