#pragma once
// The function panel of the mouse's button page and of the keyboard's key page, as widgets: the
// function list "<p>_key_fct_combo" with its panes "<p>_tab_function_<item>", the lists
// "<p>_key_fct_combo_<n>" and number fields "<p>_key_fct_edit_<n>" of each function, the pane of
// the macro's count, and the key field with its single-key capture (<p> is "ms" or "kb"). What
// the panel shows for a code and which code it makes is the core's (button_panel.h); this class
// moves values between those and the widgets, and tells its page when the user changed one.

#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/mouse/button_panel.h"

namespace vq::platform {
class InputCapture;
}

namespace vq::app {

class CMainWnd;
class NotifyRouter;

class FunctionPanelView {
  public:
    // `prefix`: "ms" or "kb". The function list's items are the panel's functions through
    // `itemFunction` and back through `functionItem` (-1: none); `items` is how many it has.
    FunctionPanelView(CMainWnd& window, const char* prefix, int items,
                      std::function<int(int)> itemFunction, std::function<int(int)> functionItem);
    ~FunctionPanelView();
    FunctionPanelView(const FunctionPanelView&) = delete;
    FunctionPanelView& operator=(const FunctionPanelView&) = delete;

    // Routes the user's changes of the lists and fields; `changed` runs after each one (and
    // after a key was captured).
    void Register(NotifyRouter& router, std::function<void()> changed);
    void SetInputCapture(platform::InputCapture* capture) { capture_ = capture; }

    ButtonPanel Read() const;
    void Show(const ButtonPanel& panel);
    // The user chose function list item `item`: its pane, the capture for the key function.
    void SelectItem(int item);
    // The macro list, keeping its choice where it still exists.
    void FillMacroList(const std::vector<std::string>& names);
    // A key the capture took (a key press while it runs): shown in the key field, then `changed`.
    void TakeKey(const InputEvent& event);

    void StartCapture();
    void StopCapture();
    bool Capturing() const { return capturing_; }

  private:
    QString Name(const char* stem) const;
    QString ListName(int number) const;
    QString FieldName(int number) const;
    void ShowPane(int item);
    void ShowCountPane();
    void LimitField(PanelField field);

    CMainWnd& window_;
    QString prefix_;
    int items_;
    std::function<int(int)> itemFunction_;
    std::function<int(int)> functionItem_;
    std::function<void()> changed_;
    platform::InputCapture* capture_ = nullptr;
    bool capturing_ = false;
    // The key the key function holds and the text id its field shows.
    std::optional<KeyAssignment> key_;
    std::string keyTextId_;
};

}  // namespace vq::app
