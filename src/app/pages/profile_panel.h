#pragma once
// The profile panels of the three device kinds: per family a list, its name edit and rename
// button, the add, delete, copy, import, export and reset buttons, and the program link (check
// box, chooser, name row, unlink button). The lists are filled from the profile store at start.
// Every operation is handed to the kind's controller, which runs it on its own thread (the window
// never waits on the disk) and answers with the family's new listing or with the message that
// says why nothing was done.

#include <QString>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "core/device/device_kind.h"
#include "core/profile/profile_payload.h"
#include "core/profile/profile_request.h"
#include "core/profile/profile_store.h"
#include "core/profile/startup_fill.h"

class QComboBox;
class QFileSystemWatcher;
class QTimer;

namespace vq {
struct ControllerEvent;
}

namespace vq::app {

class CMainWnd;
class DeviceHub;

class ProfilePanel {
  public:
    ProfilePanel(CMainWnd& window, DeviceHub& hub);
    ~ProfilePanel();
    ProfilePanel(const ProfilePanel&) = delete;
    ProfilePanel& operator=(const ProfilePanel&) = delete;

    // Registers the controls' handlers with the window's router.
    void Register();
    // The user chose item `index` of the family's list.
    void SelectProfile(DeviceKind kind, ProfileFamily family, int index);
    // The list, the name edit and the link show item `index` (of `listing`, when given).
    void ShowSelection(DeviceKind kind, ProfileFamily family, int index,
                       const FamilyListing* listing = nullptr);
    // The controllers' ProfileSelected and ProfileEdited events.
    void OnEvent(const ControllerEvent& event);

    static QString ListName(DeviceKind kind, ProfileFamily family);
    // "ms_device_profile" + suffix, as the skin names a family's controls.
    static QString ControlName(DeviceKind kind, ProfileFamily family, const char* suffix);
    // "ms_pro_device" + suffix: the family's operation buttons.
    static QString ButtonName(DeviceKind kind, ProfileFamily family, const char* suffix);

    // The start-up fill of every family's list (keyboard, mouse, mousepad) as quilletctl makes
    // it: the index's names, or on the first run the first profile made from the shipped default.
    // The controllers do it on their threads; the lists fill when each kind's answer arrives.
    // Then the kind folders are watched: a change made by another program (quilletctl) is shown.
    void Fill();
    // Every kind's start-up fill has arrived.
    bool Filled() const { return fillAsked_ && fillsWaiting_ == 0; }
    // Shows the lists again (the lists of a page built later).
    void ShowFills();
    // After the device hub started: where the program in front cannot be known, the link
    // controls are disabled and say why.
    void ShowFollowState();

    // ---- the operations as the controls start them (the selected item of the family's list)
    void Add(DeviceKind kind, ProfileFamily family);
    void Delete(DeviceKind kind, ProfileFamily family);
    void Copy(DeviceKind kind, ProfileFamily family);
    void Rename(DeviceKind kind, ProfileFamily family);
    void Import(DeviceKind kind, ProfileFamily family);
    void Export(DeviceKind kind, ProfileFamily family);
    void Reset(DeviceKind kind, ProfileFamily family);
    // The link check box was checked (a program is chosen and linked) or cleared (unlinked).
    void LinkChecked(DeviceKind kind, ProfileFamily family, bool checked);
    // The link button: a program is chosen and linked.
    void ChooseLink(DeviceKind kind, ProfileFamily family);
    void Unlink(DeviceKind kind, ProfileFamily family);

    // The file dialogs. Empty: cancelled. Tests put their own chooser in.
    struct FileRequest {
        enum Mode { Import, Export, Program } mode = Import;
        DeviceKind kind = DeviceKind::Mouse;
        ProfileFamily family = ProfileFamily::Device;
        QString suggested;  // export: the profile's file name
    };
    using FileChooser = std::function<QString(const FileRequest&)>;
    void SetFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }
    // The operations sent and not yet answered (for tests).
    int Pending() const { return pending_; }

  private:
    struct View {
        FamilyListing listing;
        int current = -1;  // the item shown (the stored selection, or a profile in force)
        bool known = false;
    };
    View& ViewOf(DeviceKind kind, ProfileFamily family);
    // Shows a family's view on its controls, when its page is built (`key`, when not negative,
    // names the family instead of `kind` and `family`); `nameEdit`: the name edit too.
    void ShowFamily(DeviceKind kind, ProfileFamily family, bool nameEdit, int key = -1);
    QComboBox* List(DeviceKind kind, ProfileFamily family) const;
    // The name of the list's current item; empty when none is selected.
    QString Current(DeviceKind kind, ProfileFamily family) const;
    void ShowLink(DeviceKind kind, ProfileFamily family, int index);
    void ClearLink(DeviceKind kind, ProfileFamily family);
    void Send(DeviceKind kind, ProfileRequest request);
    void Toggle(const QString& panel);
    // The kind's floating panel as tall as its rows need.
    void FitPanel(DeviceKind kind);
    void DisableLinks();
    QString DefaultChooser(const FileRequest& request);

    CMainWnd& window_;
    DeviceHub& hub_;
    std::map<int, View> views_;  // by kind * 3 + family
    FileChooser chooseFile_;
    std::string followWhyNot_;
    // The kind folders, and the kinds whose folder changed since the last look.
    QFileSystemWatcher* folders_ = nullptr;
    QTimer* relist_ = nullptr;
    std::map<QString, DeviceKind> folderKinds_;
    std::vector<DeviceKind> changedKinds_;
    void WatchFolders();
    // A kind's start-up fill as its controller's thread made it: with each family's listing and
    // the kind folder to watch.
    struct StartFill {
        KindFill fill;
        std::vector<FamilyListing> listings;  // one per family of the fill
        std::optional<std::filesystem::path> folder;
    };
    void ShowFill(const StartFill& start);
    bool fillAsked_ = false;
    int fillsWaiting_ = 0;
    int pending_ = 0;
};

}  // namespace vq::app
