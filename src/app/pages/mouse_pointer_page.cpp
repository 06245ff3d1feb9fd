#include "app/pages/mouse_pointer_page.h"

#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>

#include "app/device_hub.h"
#include "core/mouse/button_panel.h"  // ParseEditNumber

namespace vq::app {

void MousePointerPage::Register() {
    NotifyRouter& router = Router();
    router.On("valuechanged", "ms_point_speed_slider", [this](const Notification& n) {
        auto* slider = qobject_cast<QSlider*>(n.widget.data());
        if (slider) hub_.Mouse().SetPointerSpeed(PointerSpeedFromSlider(slider->value()));
    });
    router.On("textchanged", "ms_gunlun_speed_edit", [](const Notification& n) {
        auto* edit = qobject_cast<QLineEdit*>(n.widget.data());
        if (!edit) return;
        if (const std::optional<std::string> corrected =
                LimitWheelText(edit->text().toStdString())) {
            const QSignalBlocker quiet(edit);
            edit->setText(QString::fromStdString(*corrected));
            edit->setCursorPosition(static_cast<int>(edit->text().size()));
        }
    });
    router.On("killfocus", "ms_gunlun_speed_edit", [this](const Notification& n) {
        auto* edit = qobject_cast<QLineEdit*>(n.widget.data());
        if (!edit) return;
        // An edit left empty takes nothing: it shows the lines in use again.
        if (edit->text().trimmed().isEmpty()) {
            ShowWheel(hub_.Mouse().Model().WheelLines());
            return;
        }
        hub_.Mouse().SetWheelLines(static_cast<int>(ParseEditNumber(edit->text().toStdString())));
    });
    router.On("click", "ms_gunlun_speed_up_btn", [this](const Notification&) { StepWheel(true); });
    router.On("click", "ms_gunlun_speed_down_btn",
              [this](const Notification&) { StepWheel(false); });
    router.On("click", "ms_one_profile_default", [this](const Notification&) { FactoryReset(); });
    // The controls say at once whether this system takes the values.
    QObject::connect(&window_.Ui(), &SkinUi::PageBuilt, &window_, [this](QWidget* page) {
        if (page->findChild<QWidget*>(QStringLiteral("ms_point_speed_slider"))) {
            ShowAvailability();
            ShowProfileValues(shown_);
        }
    });
    if (window_.BuiltControl("ms_point_speed_slider")) ShowAvailability();
}

void MousePointerPage::StepWheel(bool up) {
    auto* edit = Control<QLineEdit>("ms_gunlun_speed_edit");
    if (!edit) return;
    const std::string text = edit->text().toStdString();
    const int lines = up ? WheelLinesUp(text) : WheelLinesDown(text);
    ShowWheel(lines);
    hub_.Mouse().SetWheelLines(lines);
}

void MousePointerPage::ShowProfileValues(PointerPath path) {
    shown_ = path;
    const MouseModel& model = hub_.Mouse().Model();
    ShowSlider(PointerSliderFor(path, model.PointerSpeed()));
    ShowWheel(model.WheelLines());
}

void MousePointerPage::FactoryReset() {
    ShowSlider(kResetPointerSlider);
    ShowWheel(kResetWheelLines);
    hub_.Mouse().FactoryReset();
}

void MousePointerPage::ShowSlider(int position) {
    if (auto* slider = window_.BuiltControl<QSlider>("ms_point_speed_slider")) {
        const QSignalBlocker quiet(slider);
        slider->setValue(position);
    }
}

void MousePointerPage::ShowWheel(int lines) {
    if (auto* edit = window_.BuiltControl<QLineEdit>("ms_gunlun_speed_edit")) {
        const QSignalBlocker quiet(edit);
        edit->setText(QString::number(lines));
    }
}

void MousePointerPage::ShowAvailability() {
    SystemPointerTarget* target = hub_.Mouse().SystemPointer();
    const bool speed = target && target->CanSetSpeed();
    const bool wheel = target && target->CanSetWheelLines();
    const QString why =
        target ? window_.Ui().TextOrId(QString::fromStdString(target->Limitation())) : QString();
    auto apply = [&](const char* name, bool on) {
        QWidget* w = window_.BuiltControl(name);
        if (!w) return;
        w->setEnabled(on);
        if (!on) {
            // The skin's own tooltip comes back when the value can be set again.
            if (!w->property("skinToolTip").isValid()) w->setProperty("skinToolTip", w->toolTip());
            w->setToolTip(why);
        } else if (w->property("skinToolTip").isValid()) {
            w->setToolTip(w->property("skinToolTip").toString());
        }
    };
    apply("ms_point_speed_slider", speed);
    for (const char* name :
         {"ms_gunlun_speed_edit", "ms_gunlun_speed_up_btn", "ms_gunlun_speed_down_btn"})
        apply(name, wheel);
}

}  // namespace vq::app
