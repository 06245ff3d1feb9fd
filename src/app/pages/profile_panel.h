#pragma once
// The profile lists of the three device kinds: filled from the profile store at start; choosing
// an item asks the kind's controller to select the profile; the controller's answer shows the
// selection and the profile's program link.

#include <QString>

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

  private:
    QComboBox* List(DeviceKind kind, ProfileFamily family) const;
    void ShowLink(DeviceKind kind, ProfileFamily family, int index);

    CMainWnd& window_;
    DeviceHub& hub_;
};

}  // namespace vq::app
