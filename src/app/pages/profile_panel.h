#pragma once
// The profile lists of the three device kinds: filled from the profile store at start; choosing
// an item asks the kind's controller to select the profile; the controller's answer shows the
// selection and the profile's program link.

#include <QString>
#include <vector>

#include "core/device/device_kind.h"
#include "core/profile/profile_payload.h"
#include "core/profile/profile_store.h"

class QComboBox;

namespace vq::app {

class CMainWnd;
class DeviceHub;

class ProfilePanel {
  public:
    ProfilePanel(CMainWnd& window, DeviceHub& hub) : window_(window), hub_(hub) {}

    // Registers the lists' handlers with the window's router.
    void Register();
    // The user chose item `index` of the family's list.
    void SelectProfile(DeviceKind kind, ProfileFamily family, int index);
    // The controller selected item `index`: the list, the name edit and the link show it.
    void ShowSelection(DeviceKind kind, ProfileFamily family, int index);

    static QString ListName(DeviceKind kind, ProfileFamily family);

    // The start-up fill of every family's list (keyboard, mouse, mousepad): the index's names,
    // or on the first run the first profile made from the shipped default.
    void Fill();
    // Shows the fills again (the lists of a page built later).
    void ShowFills();

  private:
    void ShowFamily(const FamilyFill& fill);
    QComboBox* List(DeviceKind kind, ProfileFamily family) const;
    void ShowLink(DeviceKind kind, ProfileFamily family, int index);

    CMainWnd& window_;
    DeviceHub& hub_;
    std::vector<FamilyFill> fills_;
};

}  // namespace vq::app
