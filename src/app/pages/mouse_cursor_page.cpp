#include "app/pages/mouse_cursor_page.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QSignalBlocker>
#include <algorithm>

#include "app/device_hub.h"
#include "app/msg_wnd.h"
#include "core/macro/macro_edit.h"
#include "core/util/log.h"

namespace vq::app {

namespace {

QString SlotOption(int slot) {
    return QStringLiteral("ms_gun_op_%1").arg(slot);
}
QString BulletOption(int bullet) {
    return QStringLiteral("ms_bullet_op_%1").arg(bullet);
}

void SetField(QLineEdit* edit, const std::optional<int>& value) {
    if (!edit) return;
    const QSignalBlocker quiet(edit);
    edit->setText(value ? QString::number(*value) : QString());
}

void SetChecked(QAbstractButton* button, bool on) {
    if (!button) return;
    const QSignalBlocker quiet(button);
    button->setChecked(on);
}

}  // namespace

struct MouseCursorPage::ScriptFiles {
    std::unique_ptr<CursorScripts> scripts;
    bool tried = false;
    // Made on first use (on the controller's thread); null without the mouse's folder.
    CursorScripts* Get(const ProfileStore& store) {
        if (!scripts && !tried) {
            tried = true;
            if (const auto folder = store.KindFolder(DeviceKind::Mouse))
                scripts = std::make_unique<CursorScripts>(*folder, store.ProgramFolder());
        }
        return scripts.get();
    }
};

MouseCursorPage::~MouseCursorPage() = default;

void MouseCursorPage::RunOnScripts(int slot, ScriptOperation operation, Then then) {
    if (!files_) files_ = std::make_shared<ScriptFiles>();
    hub_.RunFileWork(
        DeviceKind::Mouse, &window_,
        [files = files_, &store = hub_.Store(), slot, operation] {
            SlotView view;
            view.slot = slot;
            CursorScripts* scripts = files->Get(store);
            if (!scripts) return view;
            view.scripts = true;
            if (operation) view.outcome = operation(*scripts);
            view.bullets = scripts->LoadBullets(slot);
            view.path = scripts->Path(slot);
            return view;
        },
        [this, then](SlotView view) { OnAnswer(std::move(view), then); });
}

void MouseCursorPage::OnAnswer(SlotView view, Then then) {
    if (then == Then::Tell || then == Then::TellThenShowAll || then == Then::TellThenFirstBullet)
        Tell(view.outcome);
    else if (!view.outcome.Ok())
        Logf(LogLevel::Warning, "recoil script: %s", view.outcome.detail.c_str());
    // An answer for a slot the user has left is not shown; the new slot's read follows.
    if (view.slot != cursor_.slot) return;
    view_ = std::move(view);
    if (then == Then::TellThenFirstBullet) {
        SelectBullet(0);
        return;
    }
    // The fields keep what the user typed while the save ran; the path follows the file.
    if (then != Then::KeepFields && then != Then::Tell) ShowBullet();
    ShowPath();
}

void MouseCursorPage::Register() {
    chooser_ = SystemFileChooser(&window_);
    QObject::connect(&window_.Ui(), &SkinUi::PageBuilt, &window_, [this](QWidget* page) {
        if (page->findChild<QWidget*>(QStringLiteral("ms_bullet_op_0"))) OnPageBuilt();
    });
    NotifyRouter& router = Router();
    for (int s = 0; s < kCursorSlots; ++s)
        router.On("selectchanged", SlotOption(s), [this, s](const Notification& n) {
            auto* button = qobject_cast<QAbstractButton*>(n.widget.data());
            if (button && button->isChecked()) SelectSlot(s);
        });
    for (int b = 0; b < kBulletsPerScript; ++b)
        router.On("selectchanged", BulletOption(b), [this, b](const Notification& n) {
            auto* button = qobject_cast<QAbstractButton*>(n.widget.data());
            if (button && button->isChecked()) SelectBullet(b);
        });
    router.On("click", "bullet_selected_next",
              [this](const Notification&) { SelectBullet(cursor_.bullet + 1); });
    router.On("click", "bullet_selected_prev",
              [this](const Notification&) { SelectBullet(cursor_.bullet - 1); });
    for (const char* field : {"ms_cursor_delay_eidt", "ms_cursor_x_eidt", "ms_cursor_y_eidt"})
        router.On("textchanged", field, [this](const Notification&) { SaveBullet(); });
    for (const char* check : {"ms_cursor_x_check", "ms_cursor_y_check"})
        router.On("selectchanged", check, [this](const Notification&) { SaveBullet(); });
    router.On("click", "ms_bulletdate_save_btn", [this](const Notification&) { Send(); });
    router.On("click", "ms_bulletdate_reset_btn", [this](const Notification&) { Reset(); });
    router.On("click", "ms_bulletdate_import_btn", [this](const Notification&) { Import(); });
    router.On("click", "ms_bulletdate_export_btn", [this](const Notification&) { Export(); });
}

void MouseCursorPage::OnPageBuilt() {
    if (auto* target = window_.BuiltControl<QLabel>("ms_cursor_target")) target_ = target->pixmap();
    SelectSlot(cursor_.slot);
}

void MouseCursorPage::SelectSlot(int slot) {
    if (!cursor_.SelectSlot(slot)) return;
    SetChecked(window_.BuiltControl<QAbstractButton>(SlotOption(slot)), true);
    SelectBullet(0);
    RunOnScripts(slot, {}, Then::ShowAll);
}

void MouseCursorPage::SelectBullet(int bullet) {
    if (!cursor_.SelectBullet(bullet)) return;
    SetChecked(window_.BuiltControl<QAbstractButton>(BulletOption(bullet)), true);
    if (auto* index = window_.BuiltControl<QLabel>("bullet_select_index"))
        index->setText(QString::number(bullet + 1));
    if (QWidget* editor = window_.BuiltControl("cursor_edit_layout")) editor->show();
    ShowBullet();
    ShowPath();
}

void MouseCursorPage::ShowBullet() {
    if (view_.slot != cursor_.slot || !view_.scripts) return;
    const Bullet bullet = cursor_.bullet < static_cast<int>(view_.bullets.size())
                              ? view_.bullets[static_cast<size_t>(cursor_.bullet)]
                              : Bullet{};
    auto value = [](const auto& field) {
        return field ? std::optional<int>(static_cast<int>(*field)) : std::nullopt;
    };
    SetField(window_.BuiltControl<QLineEdit>("ms_cursor_delay_eidt"), value(bullet.delayMs));
    SetField(window_.BuiltControl<QLineEdit>("ms_cursor_x_eidt"), value(bullet.dx));
    SetField(window_.BuiltControl<QLineEdit>("ms_cursor_y_eidt"), value(bullet.dy));
    SetChecked(window_.BuiltControl<QAbstractButton>("ms_cursor_x_check"),
               bullet.dx && bullet.left);
    SetChecked(window_.BuiltControl<QAbstractButton>("ms_cursor_y_check"), bullet.dy && bullet.up);
    ShowDirections();
}

void MouseCursorPage::ShowDirections() {
    if (auto* x = window_.BuiltControl<QAbstractButton>("ms_cursor_x_check"))
        window_.Ui().SetTextId(x, x->isChecked() ? QStringLiteral("mouse_move_to_left_text")
                                                 : QStringLiteral("mouse_move_to_right_text"));
    if (auto* y = window_.BuiltControl<QAbstractButton>("ms_cursor_y_check"))
        window_.Ui().SetTextId(y, y->isChecked() ? QStringLiteral("mouse_move_to_up_text")
                                                 : QStringLiteral("mouse_move_to_down_text"));
}

void MouseCursorPage::SaveBullet() {
    if (view_.slot != cursor_.slot || !view_.scripts) return;
    auto* delay = Control<QLineEdit>("ms_cursor_delay_eidt");
    auto* dx = Control<QLineEdit>("ms_cursor_x_eidt");
    auto* dy = Control<QLineEdit>("ms_cursor_y_eidt");
    auto* left = Control<QAbstractButton>("ms_cursor_x_check");
    auto* up = Control<QAbstractButton>("ms_cursor_y_check");
    if (!delay || !dx || !dy || !left || !up) return;
    BulletEdit edit;
    edit.delayMs = TypedNumber(delay->text());
    edit.dx = TypedNumber(dx->text());
    edit.dy = TypedNumber(dy->text());
    edit.left = left->isChecked();
    edit.up = up->isChecked();
    // The fields show the limits they hold (65535 ms, 255).
    auto limit = [](QLineEdit* field, long long stored) {
        if (field->text().isEmpty() || field->text() == QString::number(stored)) return;
        const QSignalBlocker quiet(field);
        field->setText(QString::number(stored));
    };
    limit(delay, LimitDelay(edit.delayMs));
    limit(dx, LimitDistance(edit.dx));
    limit(dy, LimitDistance(edit.dy));
    ShowDirections();
    const int slot = cursor_.slot, bullet = cursor_.bullet;
    RunOnScripts(
        slot,
        [slot, bullet, edit](CursorScripts& scripts) {
            return scripts.SaveBullet(slot, bullet, edit);
        },
        Then::KeepFields);
}

void MouseCursorPage::Reset() {
    if (view_.slot != cursor_.slot || !view_.scripts) return;
    const int slot = cursor_.slot;
    RunOnScripts(
        slot, [slot](CursorScripts& scripts) { return scripts.Reset(slot); },
        Then::TellThenFirstBullet);
}

void MouseCursorPage::Import() {
    if (view_.slot != cursor_.slot || !view_.scripts) return;
    const std::optional<std::filesystem::path> file = chooser_(FileDialog::OpenScript);
    if (!file) return;
    const int slot = cursor_.slot;
    RunOnScripts(
        slot, [slot, file = *file](CursorScripts& scripts) { return scripts.Import(slot, file); },
        Then::TellThenShowAll);
}

void MouseCursorPage::Export() {
    if (view_.slot != cursor_.slot || !view_.scripts) return;
    const std::optional<std::filesystem::path> file = chooser_(FileDialog::SaveScript);
    if (!file) return;
    const int slot = cursor_.slot;
    RunOnScripts(
        slot, [slot, file = *file](CursorScripts& scripts) { return scripts.Export(slot, file); },
        Then::Tell);
}

void MouseCursorPage::Send() {
    hub_.Mouse().SendCursorScripts();
}

void MouseCursorPage::Tell(const ScriptOutcome& outcome) {
    if (outcome.Ok()) return;
    Logf(LogLevel::Warning, "recoil script: %s", outcome.detail.c_str());
    if (!outcome.textId.empty())
        ShowMessage(&window_, {}, QString::fromStdString(outcome.textId), true);
    else if (!outcome.detail.empty())
        ShowMessage(&window_, {}, QString::fromStdString(outcome.detail), false);
}

// The script's path on the target: where the pointer is after each bullet, from the centre, the
// chosen bullet marked. The target is drawn here in the skin's colours (its picture carries a
// sample path of its own).
void MouseCursorPage::ShowPath() {
    auto* target = window_.BuiltControl<QLabel>("ms_cursor_target");
    if (!target || view_.slot != cursor_.slot || !view_.scripts) return;
    const QSize size = target_.isNull() ? QSize(120, 120) : target_.size();
    const qreal ratio = target->devicePixelRatioF();
    QPixmap picture(size * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(size.width() / 2.0, size.height() / 2.0);
    const qreal radius = std::min(size.width(), size.height()) / 2.0 - 2;
    const QColor ring(0x2c, 0x31, 0x3b), accent(0x19, 0xb4, 0xe8), marker(0xe8, 0x55, 0x5a);
    painter.setPen(QPen(ring, 1.6));
    painter.setBrush(QColor(0x15, 0x18, 0x1d));
    painter.drawEllipse(centre, radius, radius);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(ring, 1));
    for (qreal r : {radius * 0.74, radius * 0.49, radius * 0.23})
        painter.drawEllipse(centre, r, r);
    painter.drawLine(QPointF(centre.x(), centre.y() - radius),
                     QPointF(centre.x(), centre.y() + radius));
    painter.drawLine(QPointF(centre.x() - radius, centre.y()),
                     QPointF(centre.x() + radius, centre.y()));

    const std::vector<ScriptPoint>& points = view_.path;
    int extent = 1;
    for (const ScriptPoint& p : points)
        extent = std::max({extent, std::abs(p.x), std::abs(p.y)});
    const double scale = 0.85 * radius / extent;
    auto at = [&](const ScriptPoint& p) { return centre + QPointF(p.x * scale, p.y * scale); };
    QPainterPath path(centre);
    for (const ScriptPoint& p : points)
        path.lineTo(at(p));
    QColor line = accent;
    line.setAlphaF(0.5);
    painter.setPen(QPen(line, 1.2));
    painter.drawPath(path);
    painter.setPen(Qt::NoPen);
    for (size_t i = 0; i < points.size(); ++i) {
        QColor dot = accent;
        dot.setAlphaF(0.35 +
                      0.65 * static_cast<double>(i + 1) / static_cast<double>(points.size()));
        painter.setBrush(dot);
        painter.drawEllipse(at(points[i]), 2.2, 2.2);
    }
    // The chosen bullet, and the point the script starts from.
    if (cursor_.bullet < static_cast<int>(points.size())) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(marker, 1.6));
        painter.drawEllipse(at(points[static_cast<size_t>(cursor_.bullet)]), 4.0, 4.0);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(centre, 1.6, 1.6);
    painter.end();
    target->setPixmap(picture);
}

}  // namespace vq::app
