#include "app/pages/mouse_buttons_page.h"

#include <QAbstractButton>
#include <QLabel>
#include <QStackedWidget>
#include <array>

#include "app/device_hub.h"
#include "core/device/key_labels.h"
#include "core/macro/macro_file.h"

namespace vq::app {

namespace {

constexpr std::array<const char*, 5> kPageOptions = {
    "ms_deng_Op_tab", "ms_macro_Op_tab", "ms_key_Op_tab", "ms_rich_Op_tab", "ms_cursor_Op_tab"};

}  // namespace

void MouseButtonsPage::Register() {
    // The labels go on the buttons when their page is built: a model that changes while the
    // page was never shown builds nothing (its pictures alone take megabytes).
    QObject::connect(&window_.Ui(), &SkinUi::PageBuilt, &window_, [this](QWidget* page) {
        if (page->findChild<QWidget*>(QStringLiteral("ms_key_0")))
            RefreshButtonLabels(hub_.Mouse().Model().ActiveLayer());
    });
    NotifyRouter& router = Router();
    for (int n = 0; n < kMouseSlots; ++n)
        router.On("click", QStringLiteral("ms_profile_%1").arg(n), [this, n](const Notification&) {
            HideFunctionPanel();
            hub_.Mouse().SelectSlot(n);
        });
    // The key page shows its function panel first; any option taking the focus hides the
    // profile function panel.
    router.On("selectchanged", "ms_key_Op_tab", [this](const Notification& n) {
        auto* button = qobject_cast<QAbstractButton*>(n.widget.data());
        auto* pages = Control<QStackedWidget>("ms_tab_switch");
        if (!button || !button->isChecked() || !pages) return;
        if (QWidget* panel = Control("ms_tab_function")) panel->show();
        pages->setCurrentIndex(2);
    });
    for (const char* option : kPageOptions)
        router.On("setfocus", option, [this](const Notification&) {
            if (QWidget* panel = Control("ms_profile_fun_spead_tab")) panel->hide();
        });
}

void MouseButtonsPage::HideFunctionPanel() {
    if (QWidget* panel = Control("ms_tab_function")) panel->hide();
}

void MouseButtonsPage::ReloadMacroNames() {
    macroNamesRead_ = true;
    macroNames_.clear();
    if (auto folder = hub_.Store().KindFolder(DeviceKind::Mouse))
        macroNames_ = MacroLibrary(DeviceKind::Mouse, *folder).ReadNames();
}

void MouseButtonsPage::RefreshButtonLabels(int layer) {
    if (!window_.findChild<QWidget*>(QStringLiteral("ms_key_0"))) return;  // not built yet
    if (!macroNamesRead_) ReloadMacroNames();
    const MouseModel& model = hub_.Mouse().Model();
    for (int n = 0; n < kMouseButtons; ++n) {
        const KeyLabel label = MouseButtonLabel(model.ButtonAssignment(layer, n), macroNames_);
        QWidget* button = Control(QStringLiteral("ms_key_%1").arg(n));
        if (!button) continue;
        switch (label.kind) {
            case KeyLabel::Kind::Unchanged:
                break;
            case KeyLabel::Kind::TextId: {
                const QString id = QString::fromStdString(label.text);
                window_.Ui().SetTextId(button, id);
                button->setToolTip(window_.Ui().TextOrId(id));
                break;
            }
            case KeyLabel::Kind::MacroName: {
                const QString name = QString::fromStdString(label.text);
                button->setProperty("textId", QVariant());
                if (auto* b = qobject_cast<QAbstractButton*>(button))
                    b->setText(name);
                else if (auto* l = qobject_cast<QLabel*>(button))
                    l->setText(name);
                button->setToolTip(name);
                break;
            }
        }
    }
}

}  // namespace vq::app
