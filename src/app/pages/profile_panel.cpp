#include "app/pages/profile_panel.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>

#include "app/device_hub.h"
#include "app/main_window.h"
#include "app/msg_wnd.h"
#include "core/profile/startup_fill.h"
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

QString ProfilePanel::ListName(DeviceKind kind, ProfileFamily family) {
    return ControlName(kind, family, "_combo");
}

QComboBox* ProfilePanel::List(DeviceKind kind, ProfileFamily family) const {
    return window_.Control<QComboBox>(ListName(kind, family));
}

void ProfilePanel::Register() {
    for (DeviceKind kind : kKinds)
        for (ProfileFamily family : kFamilies) {
            if (!HasFamily(kind, family)) continue;
            window_.Router().On("itemselect", ListName(kind, family),
                                [this, kind, family](const Notification& n) {
                                    SelectProfile(kind, family, n.index);
                                });
        }
}

void ProfilePanel::ShowLink(DeviceKind kind, ProfileFamily family, int index) {
    const ProfileLink link = hub_.Store().Link(kind, family, index);
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

void ProfilePanel::SelectProfile(DeviceKind kind, ProfileFamily family, int index) {
    if (!HasFamily(kind, family) || index < 0) return;
    ShowSelection(kind, family, index);
    // A linked profile whose program path is malformed is still loaded: the user chose it.
    hub_.Controller(kind).SelectProfile(family, index);
}

void ProfilePanel::ShowSelection(DeviceKind kind, ProfileFamily family, int index) {
    if (!HasFamily(kind, family) || index < 0) return;
    QComboBox* list = List(kind, family);
    if (list && index < list->count()) {
        if (list->currentIndex() != index) {
            const QSignalBlocker quiet(list);
            list->setCurrentIndex(index);
        }
        if (auto* name = window_.Control<QLineEdit>(ControlName(kind, family, "_name_edit")))
            name->setText(list->itemText(index));
    }
    ShowLink(kind, family, index);
}

void ProfilePanel::Fill() {
    // The same fill as quilletctl's: an interrupted edit finished, the mouse's cursor scripts
    // and macro list, then the families of each kind.
    for (const KindFill& kind : FillAllAtStart(hub_.Store())) {
        if (!kind.cursorScriptsSeeded)
            Logf(LogLevel::Error, "the cursor scripts could not all be copied from %s",
                 hub_.Store().ProgramFolder().string().c_str());
        for (const FamilyFill& fill : kind.families) {
            fills_.push_back(fill);
            ShowFamily(fill);
            switch (fill.result) {
                case FamilyFillResult::DefaultMissing:
                    ShowMessage(&window_, {}, "message_text_8", true);
                    break;
                case FamilyFillResult::DefaultBadFormat:
                    ShowMessage(&window_, {}, "message_text_9", true);
                    break;
                case FamilyFillResult::WriteFailed:
                case FamilyFillResult::IndexUnreadable:
                    Logf(LogLevel::Error, "the %s %s profiles: %s %s", DeviceKindPrefix(fill.kind),
                         FamilyName(fill.family), fill.file.string().c_str(),
                         DescribeFileProblem(fill.problem));
                    break;
                default:
                    break;
            }
        }
    }
}

void ProfilePanel::ShowFamily(const FamilyFill& fill) {
    static const char* const kFamilyControl[] = {"device", "deng", "key"};
    const QString base =
        QStringLiteral("%1_%2_profile_")
            .arg(DeviceKindPrefix(fill.kind), kFamilyControl[static_cast<int>(fill.family)]);
    QStringList names;
    for (const std::string& name : fill.index.names)
        names << QString::fromStdString(name);
    // The stored selection is shown; choosing it (and loading the profile) is the user's or the
    // mouse's arrival.
    const int selected = fill.index.selected;
    // Lists on pages not built yet are filled when their page is built.
    if (auto* combo = window_.BuiltControl<QComboBox>(base + "combo")) {
        const QSignalBlocker quiet(combo);
        combo->clear();
        combo->addItems(names);
        combo->setCurrentIndex(selected);
    } else if (auto* list = window_.BuiltControl<QListWidget>(base + "combo")) {
        const QSignalBlocker quiet(list);
        list->clear();
        list->addItems(names);
        list->setCurrentRow(selected);
    }
    if (auto* edit = window_.BuiltControl<QLineEdit>(base + "name_edit"))
        edit->setText(selected >= 0 && selected < names.size() ? names[selected] : QString());
}

void ProfilePanel::ShowFills() {
    for (const FamilyFill& fill : fills_)
        ShowFamily(fill);
}

}  // namespace vq::app
