#pragma once
// The selection of an item of the window's seven profile lists (which the window fills from the
// profile store at start): it records the selection, shows the profile's link, loads the profile
// into the device's model and applies it.

#include <QString>
#include <functional>

#include "core/device/device_session.h"
#include "core/profile/profile_payload.h"
#include "core/profile/profile_store.h"

class QComboBox;

namespace vq::app {

class CMainWnd;

class MousePage;

class ProfileLists {
  public:
    ProfileLists(CMainWnd& window, MousePage& mousePage);

    // Registers the lists' handlers with the window's router.
    void Register();

    // Records, shows and applies the selection of item `index` of the family's list.
    void SelectProfile(DeviceKind kind, ProfileFamily family, int index);

    static QString ListName(DeviceKind kind, ProfileFamily family);

  private:
    QComboBox* List(DeviceKind kind, ProfileFamily family) const;
    void ShowLink(DeviceKind kind, ProfileFamily family, int index);
    ProfilePayloadModel& Model(DeviceKind kind);
    // What a selection does after the load, whatever the load returned.
    void Apply(DeviceKind kind, ProfileFamily family);
    void ApplySystemValues();

    CMainWnd& window_;
    MousePage& mousePage_;
};

}  // namespace vq::app
