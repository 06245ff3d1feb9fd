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

long long TypedNumber(const QString& text) {
    long long value = 0;
    for (QChar c : text) {
        if (!c.isDigit()) break;
        value = value * 10 + c.digitValue();
        if (value > 1'000'000'000) return value;
    }
    return value;
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

MouseCursorPage::~MouseCursorPage() = default;

CursorScripts* MouseCursorPage::Scripts() {
    if (!scripts_ && !scriptsTried_) {
        scriptsTried_ = true;
        if (const auto folder = hub_.Store().KindFolder(DeviceKind::Mouse))
            scripts_ = std::make_unique<CursorScripts>(*folder, hub_.Store().ProgramFolder());
    }
    return scripts_.get();
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
    ShowPath();
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
    CursorScripts* scripts = Scripts();
    if (!scripts) return;
    const Bullet bullet = scripts->LoadBullet(cursor_.slot, cursor_.bullet);
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
    CursorScripts* scripts = Scripts();
    if (!scripts) return;
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
    const ScriptOutcome outcome = scripts->SaveBullet(cursor_.slot, cursor_.bullet, edit);
    if (!outcome.Ok()) Logf(LogLevel::Warning, "recoil script: %s", outcome.detail.c_str());
    ShowPath();
}

void MouseCursorPage::Reset() {
    CursorScripts* scripts = Scripts();
    if (!scripts) return;
    Tell(scripts->Reset(cursor_.slot));
    SelectBullet(0);
    ShowBullet();
    ShowPath();
}

void MouseCursorPage::Import() {
    CursorScripts* scripts = Scripts();
    if (!scripts) return;
    const std::optional<std::filesystem::path> file = chooser_(FileDialog::OpenScript);
    if (!file) return;
    Tell(scripts->Import(cursor_.slot, *file));
    ShowBullet();
    ShowPath();
}

void MouseCursorPage::Export() {
    CursorScripts* scripts = Scripts();
    if (!scripts) return;
    const std::optional<std::filesystem::path> file = chooser_(FileDialog::SaveScript);
    if (!file) return;
    Tell(scripts->Export(cursor_.slot, *file));
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
    CursorScripts* scripts = Scripts();
    if (!target || !scripts) return;
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

    const std::vector<ScriptPoint> points = scripts->Path(cursor_.slot);
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
