#include "app/pages/page_base.h"

#include <QWidget>

namespace vq::app {

NotifyRouter& PageBase::Router() const {
    return window_.Router();
}

void PageBase::ShowControls(std::initializer_list<const char*> names, bool shown) const {
    for (const char* name : names)
        if (QWidget* w = Control(name)) w->setVisible(shown);
}

void PageBase::SetTextColour(QWidget* label, QRgb argb) {
    if (!label) return;
    label->setStyleSheet(QStringLiteral("color: #%1;").arg(argb & 0xFFFFFF, 6, 16, QChar('0')));
}

}  // namespace vq::app
