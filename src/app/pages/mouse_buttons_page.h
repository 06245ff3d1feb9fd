#pragma once
// The mouse's button page as far as it is built: the onboard slot buttons, the page options of
// the mouse panel, and the labels (with their tooltips) of the eight buttons for a key layer.

#include <string>
#include <vector>

#include "app/pages/page_base.h"

namespace vq::app {

class MouseButtonsPage : public PageBase {
  public:
    using PageBase::PageBase;
    void Register();
    // The labels of buttons 0-7 from key layer `layer` of the mouse's model.
    void RefreshButtonLabels(int layer);
    // The mouse's macro names, read again (the labels of buttons that play macros use them).
    void ReloadMacroNames();
    void HideFunctionPanel();

  private:
    std::vector<std::string> macroNames_;
    bool macroNamesRead_ = false;
};

}  // namespace vq::app
