#include "app/pages/profile_lists.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>

#include "app/main_window.h"
#include "app/msg_wnd.h"
#include "app/pages/mouse_page.h"
#include "core/mouse/mouse_device.h"
#include "core/util/log.h"

namespace vq::app {

namespace {

constexpr DeviceKind kKinds[] = {DeviceKind::Keyboard, DeviceKind::Mouse, DeviceKind::Mousepad};
constexpr ProfileFamily kFamilies[] = {ProfileFamily::Device, ProfileFamily::Light,
                                       ProfileFamily::Key};

const char* FamilyWord(ProfileFamily family) {
    switch (family) {
        case ProfileFamily::Device:
            return "device";
        case ProfileFamily::Light:
            return "deng";
        case ProfileFamily::Key:
            return "key";
    }
    return "";
}

// "ms_device_profile" + suffix.
QString ControlName(DeviceKind kind, ProfileFamily family, const char* suffix) {
    return QStringLiteral("%1_%2_profile%3")
        .arg(DeviceKindPrefix(kind), FamilyWord(family), suffix);
}

}  // namespace

ProfileLists::ProfileLists(CMainWnd& window, MousePage& mousePage)
    : window_(window), mousePage_(mousePage) {}

QString ProfileLists::ListName(DeviceKind kind, ProfileFamily family) {
    return ControlName(kind, family, "_combo");
}

QComboBox* ProfileLists::List(DeviceKind kind, ProfileFamily family) const {
    return window_.Control<QComboBox>(ListName(kind, family));
}

void ProfileLists::Register() {
    for (DeviceKind kind : kKinds)
        for (ProfileFamily family : kFamilies) {
            if (!HasFamily(kind, family)) continue;
            window_.Router().On("itemselect", ListName(kind, family),
                                [this, kind, family](const Notification& n) {
                                    SelectProfile(kind, family, n.index);
                                });
        }
}

void ProfileLists::ShowLink(DeviceKind kind, ProfileFamily family, int index) {
    const ProfileLink link = window_.Store().Link(kind, family, index);
    auto* check = window_.Control<QAbstractButton>(ControlName(kind, family, "_link_check"));
    auto* edit = window_.Control<QLineEdit>(ControlName(kind, family, "_link_edit"));
    QWidget* row = window_.Control(ControlName(kind, family, "_link_name_hor"));
    if (check) {
        const QSignalBlocker quiet(check);
        check->setChecked(link.linked);
    }
    if (!link.linked) return;
    const QString path = QString::fromStdString(link.programPath);
    const int cut = std::max(path.lastIndexOf('\\'), path.lastIndexOf('/'));
    if (edit) edit->setText(cut >= 0 ? path.mid(cut + 1) : path);
    if (row) row->show();
}

void ProfileLists::SelectProfile(DeviceKind kind, ProfileFamily family, int index) {
    if (!HasFamily(kind, family) || index < 0) return;
    // A device profile replaces the whole record: the mouse page shows it all again.
    if (kind == DeviceKind::Mouse && family == ProfileFamily::Device)
        window_.Mouse().RequestFullRefresh();
    QComboBox* list = List(kind, family);
    if (list && index < list->count()) {
        if (list->currentIndex() != index) {
            const QSignalBlocker quiet(list);
            list->setCurrentIndex(index);
        }
        if (auto* name = window_.Control<QLineEdit>(ControlName(kind, family, "_name_edit")))
            name->setText(list->itemText(index));
    }
    if (!window_.Store().SetSelection(kind, family, index))
        Logf(LogLevel::Warning, "%s profile selection %d not recorded", DeviceKindPrefix(kind),
             index);
    // A linked profile whose program path is malformed is still loaded: the user chose it.
    ShowLink(kind, family, index);
    const ProfileReadResult read = window_.Store().LoadProfile(kind, family, index, Model(kind));
    if (read == ProfileReadResult::Missing) Log(LogLevel::Debug, "配置文件丢失");
    if (read == ProfileReadResult::BadFormat) Log(LogLevel::Debug, "配置文件格式错误");
    Apply(kind, family);
}

ProfilePayloadModel& ProfileLists::Model(DeviceKind kind) {
    switch (kind) {
        case DeviceKind::Keyboard:
            return window_.Keyboard();
        case DeviceKind::Mousepad:
            return window_.Mousepad();
        case DeviceKind::Mouse:
            break;
    }
    return window_.Mouse();
}

void ProfileLists::ApplySystemValues() {
    // The system pointer speed and wheel lines go through the platform's pointer interface,
    // which this build does not have yet: say what would be applied.
    Logf(LogLevel::Info, "pointer speed %u and wheel lines %u not applied: no pointer access yet",
         window_.Mouse().PointerSpeed(), window_.Mouse().WheelLines());
}

void ProfileLists::Apply(DeviceKind kind, ProfileFamily family) {
    DeviceSession& session = window_.Session(kind);
    // The writes of a selection go on their own, without Begin/End; a device that is not
    // connected makes them do nothing.
    if (kind == DeviceKind::Mouse) {
        MouseModel& mouse = window_.Mouse();
        switch (family) {
            case ProfileFamily::Device:
                ApplySystemValues();
                mousePage_.ShowMouseSettings();
                WriteMouseRecord(session, mouse);
                window_.MarkDirty(DeviceKind::Mouse);
                mousePage_.RefreshButtonLabels(0);
                WriteMouseKeyLayer(session, mouse, 0);
                return;
            case ProfileFamily::Light:
                ApplySystemValues();
                mousePage_.ShowMouseSettings();
                window_.MarkDirty(DeviceKind::Mouse);
                return;
            case ProfileFamily::Key:
                if (QWidget* panel = window_.Control("ms_tab_function");
                    panel && panel->isVisible())
                    panel->hide();
                mousePage_.RefreshButtonLabels(0);
                WriteMouseKeyLayer(session, mouse, 0);
                return;
        }
    }
    if (kind == DeviceKind::Keyboard) {
        KeyboardModel& keyboard = window_.Keyboard();
        if (family == ProfileFamily::Device) keyboard.TakeStoredRecordZero();
        if (family != ProfileFamily::Key) window_.MarkDirty(DeviceKind::Keyboard);
        if (family != ProfileFamily::Light)
            if (auto layer = keyboard.KeyLayer(0)) session.WriteIndexedBlock(*layer, 0);
        window_.UpdatePage(DeviceKind::Keyboard);
        return;
    }
    // The mousepad has the light family only.
    window_.MarkDirty(DeviceKind::Mousepad);
    window_.UpdatePage(DeviceKind::Mousepad);
}

}  // namespace vq::app
