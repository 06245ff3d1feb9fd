#include "app/pages/page_base.h"

#include <QWidget>

#include "app/device_hub.h"
#include "core/macro/macro_file.h"

namespace vq::app {

NotifyRouter& PageBase::Router() const {
    return window_.Router();
}

void PageBase::ShowControls(std::initializer_list<const char*> names, bool shown) const {
    for (const char* name : names)
        if (QWidget* w = Control(name)) w->setVisible(shown);
}

void PageBase::ReadMacroNames(DeviceKind kind, std::function<void(std::vector<std::string>)> done) {
    hub_.RunFileWork(
        kind, &window_,
        [&store = hub_.Store(), kind] {
            std::vector<std::string> names;
            if (const auto folder = store.KindFolder(kind))
                names = MacroLibrary(kind, *folder).ReadNames();
            return names;
        },
        std::move(done));
}

void PageBase::SetTextColour(QWidget* label, QRgb argb) {
    if (!label) return;
    label->setStyleSheet(QStringLiteral("color: #%1;").arg(argb & 0xFFFFFF, 6, 16, QChar('0')));
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

}  // namespace vq::app
