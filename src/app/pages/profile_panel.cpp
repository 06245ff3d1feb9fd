#include "app/pages/profile_panel.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemWatcher>
#include <QLayout>
#include <QLineEdit>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QTimer>
#include <algorithm>

#include "app/device_hub.h"
#include "app/main_window.h"
#include "app/msg_wnd.h"
#include "core/control/device_controller.h"
#include "core/profile/startup_fill.h"
#include "core/util/file_names.h"
#include "core/util/log.h"

namespace vq::app {

namespace {

constexpr DeviceKind kKinds[] = {DeviceKind::Keyboard, DeviceKind::Mouse, DeviceKind::Mousepad};
constexpr ProfileFamily kFamilies[] = {ProfileFamily::Device, ProfileFamily::Light,
                                       ProfileFamily::Key};

// The family's word in the skin's control names.
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

int ViewKey(DeviceKind kind, ProfileFamily family) {
    return static_cast<int>(kind) * 3 + static_cast<int>(family);
}

QString Q(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string U(const QString& text) {
    return text.toUtf8().toStdString();
}

}  // namespace

ProfilePanel::ProfilePanel(CMainWnd& window, DeviceHub& hub) : window_(window), hub_(hub) {
    chooseFile_ = [this](const FileRequest& request) { return DefaultChooser(request); };
}

ProfilePanel::~ProfilePanel() {
    // Their handlers reach this panel.
    delete relist_;
    delete folders_;
}

QString ProfilePanel::ControlName(DeviceKind kind, ProfileFamily family, const char* suffix) {
    return QStringLiteral("%1_%2_profile%3")
        .arg(DeviceKindPrefix(kind), FamilyWord(family), suffix);
}

QString ProfilePanel::ButtonName(DeviceKind kind, ProfileFamily family, const char* suffix) {
    return QStringLiteral("%1_pro_%2%3").arg(DeviceKindPrefix(kind), FamilyWord(family), suffix);
}

QString ProfilePanel::ListName(DeviceKind kind, ProfileFamily family) {
    return ControlName(kind, family, "_combo");
}

QComboBox* ProfilePanel::List(DeviceKind kind, ProfileFamily family) const {
    return window_.Control<QComboBox>(ListName(kind, family));
}

ProfilePanel::View& ProfilePanel::ViewOf(DeviceKind kind, ProfileFamily family) {
    return views_[ViewKey(kind, family)];
}

void ProfilePanel::Register() {
    NotifyRouter& router = window_.Router();
    for (DeviceKind kind : kKinds) {
        for (ProfileFamily family : kFamilies) {
            if (!HasFamily(kind, family)) continue;
            router.On("itemselect", ListName(kind, family),
                      [this, kind, family](const Notification& n) {
                          SelectProfile(kind, family, n.index);
                      });
            const std::pair<const char*, void (ProfilePanel::*)(DeviceKind, ProfileFamily)>
                buttons[] = {
                    {"_add_btn", &ProfilePanel::Add},       {"_sub_btn", &ProfilePanel::Delete},
                    {"_copy_btn", &ProfilePanel::Copy},     {"_import_btn", &ProfilePanel::Import},
                    {"_export_btn", &ProfilePanel::Export}, {"_reset_btn", &ProfilePanel::Reset}};
            for (const auto& [suffix, operation] : buttons)
                router.On("click", ButtonName(kind, family, suffix),
                          [this, kind, family, operation](const Notification&) {
                              (this->*operation)(kind, family);
                          });
            router.On("click", ControlName(kind, family, "_edit_save_btn"),
                      [this, kind, family](const Notification&) { Rename(kind, family); });
            // The rename panels that a button shows and hides (the device family's is always
            // shown).
            router.On("click", ButtonName(kind, family, "_edit_btn"),
                      [this, panel = ControlName(kind, family, "_edit")](const Notification&) {
                          Toggle(panel);
                      });
            router.On("selectchanged", ControlName(kind, family, "_link_check"),
                      [this, kind, family](const Notification& n) {
                          LinkChecked(kind, family, n.index == 1);
                      });
            router.On("click", ControlName(kind, family, "_link_btn"),
                      [this, kind, family](const Notification&) { ChooseLink(kind, family); });
            router.On("click",
                      QStringLiteral("%1_%2_cancle_link_btn")
                          .arg(DeviceKindPrefix(kind), FamilyWord(family)),
                      [this, kind, family](const Notification&) { Unlink(kind, family); });
        }
        router.On(
            "click", QStringLiteral("%1_profile_fun_spread_btn").arg(DeviceKindPrefix(kind)),
            [this, panel = QStringLiteral("%1_profile_fun_spead_tab").arg(DeviceKindPrefix(kind))](
                const Notification&) { Toggle(panel); });
    }
}

void ProfilePanel::Toggle(const QString& panel) {
    // By its own flag: the window may be hidden.
    if (QWidget* w = window_.Control(panel)) {
        w->setHidden(!w->isHidden());
        if (!w->isHidden()) w->raise();
    }
    for (DeviceKind kind : kKinds)
        FitPanel(kind);
}

void ProfilePanel::FitPanel(DeviceKind kind) {
    // The panel floats over the page at the skin's size; rows that appear (a program link, a
    // rename row) make it taller, up to the window's edge, and scroll beyond it rather than
    // squeeze the rows into each other.
    auto* panel = window_.BuiltControl<QWidget>(
        QStringLiteral("%1_profile_fun_spead_tab").arg(DeviceKindPrefix(kind)));
    if (!panel || !panel->layout() || panel->layout()->count() != 1) return;
    QWidget* content = panel->layout()->itemAt(0)->widget();
    auto* area = qobject_cast<QScrollArea*>(content);
    if (!area && content) {
        area = new QScrollArea(panel);
        area->setFrameShape(QFrame::NoFrame);
        area->setWidgetResizable(true);
        area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        area->setAutoFillBackground(false);
        area->viewport()->setAutoFillBackground(false);
        delete panel->layout()->replaceWidget(content, area);
        area->setWidget(content);
        area->show();
    }
    if (!area || !area->widget()) return;
    static const char* const kSkinHeight = "vqSkinHeight";
    if (!panel->property(kSkinHeight).isValid()) panel->setProperty(kSkinHeight, panel->height());
    int height =
        std::max(panel->property(kSkinHeight).toInt(), area->widget()->sizeHint().height());
    if (const QWidget* parent = panel->parentWidget())
        height = std::min(height, parent->height() - panel->y());
    if (height > 0 && height != panel->height()) panel->resize(panel->width(), height);
}

// ---- showing -----------------------------------------------------------------------------------

void ProfilePanel::Fill() {
    // The same fill as quilletctl's: an interrupted edit finished, the mouse's cursor scripts
    // and macro list, then the families of each kind. Each kind's runs on its controller's
    // thread, before anything the controller loads from the files; the lists fill when it ends.
    if (fillAsked_) return;
    fillAsked_ = true;
    WatchFolders();
    for (DeviceKind kind : kFillOrder) {
        ++fillsWaiting_;
        hub_.RunFileWork(
            kind, &window_,
            [&store = hub_.Store(), kind] {
                StartFill start{FillKindAtStart(store, kind), {}, store.KindFolder(kind)};
                for (const FamilyFill& fill : start.fill.families)
                    start.listings.push_back(ListFamily(store, kind, fill.family));
                return start;
            },
            [this](const StartFill& start) { ShowFill(start); });
    }
}

void ProfilePanel::ShowFill(const StartFill& start) {
    --fillsWaiting_;
    const KindFill& kind = start.fill;
    if (!kind.cursorScriptsSeeded)
        Logf(LogLevel::Error, "the cursor scripts could not all be copied from %s",
             Utf8FromPath(hub_.Store().ProgramFolder()).c_str());
    for (size_t i = 0; i < kind.families.size(); ++i) {
        const FamilyFill& fill = kind.families[i];
        View& view = ViewOf(fill.kind, fill.family);
        if (i < start.listings.size()) view.listing = start.listings[i];
        view.listing.names = fill.index.names;
        view.listing.links.resize(view.listing.names.size());
        view.listing.selected = fill.index.selected;
        view.current = fill.index.selected;
        view.known = true;
        ShowFamily(fill.kind, fill.family, true);
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
    if (!followWhyNot_.empty()) DisableLinks();
    // The index is replaced, never written in place: its folder tells of every change.
    if (start.folder && folders_) {
        const QString path = QString::fromStdString(Utf8FromPath(*start.folder));
        folderKinds_[path] = kind.kind;
        folders_->addPath(path);
    }
}

void ProfilePanel::WatchFolders() {
    if (folders_) return;
    folders_ = new QFileSystemWatcher(&window_);
    relist_ = new QTimer(&window_);
    relist_->setSingleShot(true);
    // A burst of changes (an edit writes its files, then the index) is looked at once.
    relist_->setInterval(100);
    QObject::connect(folders_, &QFileSystemWatcher::directoryChanged, relist_,
                     [this](const QString& path) {
                         const auto kind = folderKinds_.find(path);
                         if (kind == folderKinds_.end()) return;
                         if (std::find(changedKinds_.begin(), changedKinds_.end(), kind->second) ==
                             changedKinds_.end())
                             changedKinds_.push_back(kind->second);
                         relist_->start();
                     });
    QObject::connect(relist_, &QTimer::timeout, folders_, [this] {
        // The controllers read the index on their threads and announce what differs.
        for (DeviceKind kind : changedKinds_)
            hub_.Controller(kind).RefreshListings();
        changedKinds_.clear();
    });
}

void ProfilePanel::ShowFills() {
    for (auto& [key, view] : views_)
        if (view.known) ShowFamily(kKinds[0], kFamilies[0], true, key);
    if (!followWhyNot_.empty()) DisableLinks();
}

void ProfilePanel::ShowFamily(DeviceKind kind, ProfileFamily family, bool nameEdit, int key) {
    if (key >= 0) {
        kind = static_cast<DeviceKind>(key / 3);
        family = static_cast<ProfileFamily>(key % 3);
    }
    View& view = ViewOf(kind, family);
    // Lists on pages not built yet are shown when their page is built.
    auto* combo = window_.BuiltControl<QComboBox>(ListName(kind, family));
    if (!combo) return;
    const int current =
        view.current >= 0 && view.current < static_cast<int>(view.listing.names.size())
            ? view.current
            : view.listing.selected;
    {
        const QSignalBlocker quiet(combo);
        bool same = combo->count() == static_cast<int>(view.listing.names.size());
        for (int i = 0; same && i < combo->count(); ++i)
            same = combo->itemText(i) == Q(view.listing.names[static_cast<size_t>(i)]);
        if (!same) {
            combo->clear();
            for (const std::string& name : view.listing.names) {
                combo->addItem(Q(name));
                combo->setItemData(combo->count() - 1, Q(name), Qt::ToolTipRole);
            }
        }
        combo->setCurrentIndex(current);
    }
    if (nameEdit)
        if (auto* edit = window_.BuiltControl<QLineEdit>(ControlName(kind, family, "_name_edit")))
            edit->setText(current >= 0 ? combo->itemText(current) : QString());
    ShowLink(kind, family, current);
}

void ProfilePanel::ShowSelection(DeviceKind kind, ProfileFamily family, int index,
                                 const FamilyListing* listing) {
    if (!HasFamily(kind, family) || index < 0) return;
    View& view = ViewOf(kind, family);
    if (listing) {
        view.listing = *listing;
        view.known = true;
    }
    view.current = index;
    ShowFamily(kind, family, true);
}

void ProfilePanel::ShowLink(DeviceKind kind, ProfileFamily family, int index) {
    const View& view = ViewOf(kind, family);
    ProfileLink link;
    if (index >= 0 && index < static_cast<int>(view.listing.links.size()))
        link = view.listing.links[static_cast<size_t>(index)];
    auto* check = window_.BuiltControl<QAbstractButton>(ControlName(kind, family, "_link_check"));
    auto* edit = window_.BuiltControl<QLineEdit>(ControlName(kind, family, "_link_edit"));
    QWidget* row = window_.BuiltControl<QWidget>(ControlName(kind, family, "_link_name_hor"));
    // A path without a folder part names no program: the row stays hidden.
    const std::optional<std::string> program =
        link.linked ? ProgramFileName(link.programPath) : std::nullopt;
    if (check) {
        const QSignalBlocker quiet(check);
        check->setChecked(link.linked);
    }
    if (edit) edit->setText(program ? Q(*program) : QString());
    if (row) row->setVisible(program.has_value());
    FitPanel(kind);
}

void ProfilePanel::ClearLink(DeviceKind kind, ProfileFamily family) {
    if (auto* check = window_.Control<QAbstractButton>(ControlName(kind, family, "_link_check"))) {
        const QSignalBlocker quiet(check);
        check->setChecked(false);
    }
    if (auto* edit = window_.Control<QLineEdit>(ControlName(kind, family, "_link_edit")))
        edit->clear();
    if (QWidget* row = window_.Control(ControlName(kind, family, "_link_name_hor"))) row->hide();
    FitPanel(kind);
}

void ProfilePanel::ShowFollowState() {
    followWhyNot_ = hub_.FollowWhyNot();
    if (!followWhyNot_.empty()) DisableLinks();
}

void ProfilePanel::DisableLinks() {
    // Nothing could follow the program in front here: the links would never be used.
    static const QString kWhy = QStringLiteral("ui_profile_link_unavailable");
    for (DeviceKind kind : kKinds)
        for (ProfileFamily family : kFamilies) {
            if (!HasFamily(kind, family)) continue;
            for (const QString& name :
                 {ControlName(kind, family, "_link_check"), ControlName(kind, family, "_link_btn"),
                  QStringLiteral("%1_%2_cancle_link_btn")
                      .arg(DeviceKindPrefix(kind), FamilyWord(family))}) {
                QWidget* control = window_.BuiltControl<QWidget>(name);
                if (!control) continue;
                control->setEnabled(false);
                control->setProperty("toolTipId", kWhy);
                control->setToolTip(window_.Ui().TextOrId(kWhy));
            }
        }
}

void ProfilePanel::OnEvent(const ControllerEvent& event) {
    switch (event.type) {
        case ControllerEventType::ProfileSelected:
            ShowSelection(event.kind, event.family, event.index, event.listing.get());
            return;
        case ControllerEventType::ProfileEdited: {
            // A listing that changed with another family's edit answers no operation.
            const bool answer = !(event.result == 1 && event.index < 0);
            if (answer && pending_ > 0) --pending_;
            View& view = ViewOf(event.kind, event.family);
            if (event.listing) {
                view.listing = *event.listing;
                view.known = true;
                // The list keeps the profile it showed, wherever it is now.
                const QString shown = Current(event.kind, event.family);
                view.current = -1;
                for (size_t i = 0; i < view.listing.names.size(); ++i)
                    if (Q(view.listing.names[i]) == shown) view.current = static_cast<int>(i);
                if (event.result == 1 && event.operation == ProfileOperation::Rename)
                    view.current = event.index;
            }
            // A refused rename keeps the name the user typed.
            ShowFamily(event.kind, event.family,
                       event.result == 1 || event.operation != ProfileOperation::Rename);
            if (event.result != 1) {
                Logf(LogLevel::Info, "%s %s profile %s refused: %s", DeviceKindPrefix(event.kind),
                     FamilyName(event.family), ProfileOperationName(event.operation),
                     event.what.c_str());
                if (!event.textId.empty()) ShowMessage(&window_, {}, Q(event.textId), true);
            }
            return;
        }
        default:
            return;
    }
}

// ---- operations --------------------------------------------------------------------------------

QString ProfilePanel::Current(DeviceKind kind, ProfileFamily family) const {
    const QComboBox* list = window_.BuiltControl<QComboBox>(ListName(kind, family));
    return list && list->currentIndex() >= 0 ? list->currentText() : QString();
}

void ProfilePanel::Send(DeviceKind kind, ProfileRequest request) {
    ++pending_;
    hub_.Controller(kind).EditProfile(std::move(request));
}

void ProfilePanel::SelectProfile(DeviceKind kind, ProfileFamily family, int index) {
    if (!HasFamily(kind, family) || index < 0) return;
    ShowSelection(kind, family, index);
    // A linked profile whose program path is malformed is still loaded: the user chose it.
    hub_.Controller(kind).SelectProfile(family, index);
}

void ProfilePanel::Add(DeviceKind kind, ProfileFamily family) {
    Send(kind, {ProfileOperation::Add, family, {}, {}, {}});
}

void ProfilePanel::Delete(DeviceKind kind, ProfileFamily family) {
    const QString name = Current(kind, family);
    if (name.isEmpty()) return;
    if (QComboBox* list = List(kind, family); list && list->count() <= 1) {
        ShowMessage(&window_, {}, "message_text_11", true);
        return;
    }
    if (ShowMessage(&window_, {}, "message_text_12", true) != 1) return;
    Send(kind, {ProfileOperation::Delete, family, U(name), {}, {}});
}

void ProfilePanel::Copy(DeviceKind kind, ProfileFamily family) {
    const QString name = Current(kind, family);
    if (!name.isEmpty()) Send(kind, {ProfileOperation::Copy, family, U(name), {}, {}});
}

void ProfilePanel::Rename(DeviceKind kind, ProfileFamily family) {
    const QString name = Current(kind, family);
    auto* edit = window_.Control<QLineEdit>(ControlName(kind, family, "_name_edit"));
    if (name.isEmpty() || !edit) return;
    Send(kind, {ProfileOperation::Rename, family, U(name), U(edit->text()), {}});
}

void ProfilePanel::Import(DeviceKind kind, ProfileFamily family) {
    if (Current(kind, family).isEmpty()) return;
    const QString file = chooseFile_({FileRequest::Import, kind, family, {}});
    if (file.isEmpty()) return;
    Send(kind, {ProfileOperation::Import, family, {}, {}, PathFromUtf8(U(file))});
}

void ProfilePanel::Export(DeviceKind kind, ProfileFamily family) {
    const QString name = Current(kind, family);
    if (name.isEmpty()) return;
    const QString file = chooseFile_(
        {FileRequest::Export, kind, family,
         name + QString::fromLatin1(
                    FamilySchema(kind, family).extension.data(),
                    static_cast<qsizetype>(FamilySchema(kind, family).extension.size()))});
    if (file.isEmpty()) return;
    Send(kind, {ProfileOperation::Export, family, U(name), {}, PathFromUtf8(U(file))});
}

void ProfilePanel::Reset(DeviceKind kind, ProfileFamily family) {
    Send(kind, {ProfileOperation::Reset, family, {}, {}, {}});
}

void ProfilePanel::LinkChecked(DeviceKind kind, ProfileFamily family, bool checked) {
    const QString name = Current(kind, family);
    if (name.isEmpty()) {
        ClearLink(kind, family);
        return;
    }
    if (checked) {
        const QString program = chooseFile_({FileRequest::Program, kind, family, {}});
        if (!program.isEmpty()) {
            Send(kind, {ProfileOperation::Link, family, U(name), U(program), {}});
            return;
        }
    }
    // Cleared, or no program chosen: the profile is not linked.
    ClearLink(kind, family);
    Send(kind, {ProfileOperation::Unlink, family, U(name), {}, {}});
}

void ProfilePanel::ChooseLink(DeviceKind kind, ProfileFamily family) {
    const QString name = Current(kind, family);
    if (name.isEmpty()) return;
    const QString program = chooseFile_({FileRequest::Program, kind, family, {}});
    if (!program.isEmpty()) Send(kind, {ProfileOperation::Link, family, U(name), U(program), {}});
}

void ProfilePanel::Unlink(DeviceKind kind, ProfileFamily family) {
    const QString name = Current(kind, family);
    if (name.isEmpty()) return;
    ClearLink(kind, family);
    Send(kind, {ProfileOperation::Unlink, family, U(name), {}, {}});
}

QString ProfilePanel::DefaultChooser(const FileRequest& request) {
    static const char* const kFilterId[] = {"ui_profile_file_device", "ui_profile_file_light",
                                            "ui_profile_file_key"};
    const std::string_view extension = FamilySchema(request.kind, request.family).extension;
    const QString suffix =
        QString::fromLatin1(extension.data() + 1, static_cast<qsizetype>(extension.size() - 1));
    QFileDialog dialog(&window_);
    dialog.setOption(QFileDialog::ReadOnly, false);
    switch (request.mode) {
        case FileRequest::Import:
        case FileRequest::Export:
            dialog.setNameFilter(
                QStringLiteral("%1 (*.%2)")
                    .arg(window_.Ui().TextOrId(kFilterId[static_cast<int>(request.family)]),
                         suffix));
            dialog.setDefaultSuffix(suffix);
            break;
        case FileRequest::Program:
#if defined(_WIN32)
            dialog.setNameFilter(
                QStringLiteral("%1 (*.exe)").arg(window_.Ui().TextOrId("ui_profile_file_program")));
            dialog.setDefaultSuffix(QStringLiteral("exe"));
#endif
            break;
    }
    if (request.mode == FileRequest::Export) {
        // The system's save dialog asks before it replaces a file.
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.selectFile(request.suggested);
        dialog.setWindowTitle(window_.Ui().TextOrId("ui_profile_export_title"));
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setWindowTitle(window_.Ui().TextOrId(request.mode == FileRequest::Program
                                                        ? "ui_profile_link_title"
                                                        : "ui_profile_import_title"));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    // Program paths are stored as the system writes them ("C:\\Games\\x.exe" on Windows).
    return QDir::toNativeSeparators(dialog.selectedFiles().front());
}

}  // namespace vq::app
