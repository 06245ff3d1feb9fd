#include "app/controls/control_factory.h"

#include <QWidget>

namespace vq::app {

void ControlFactory::Register(const QString& className, Create create) {
    creators_.insert(className.toLower(), std::move(create));
}

bool ControlFactory::Knows(const QString& className) const {
    return creators_.contains(className.toLower());
}

QWidget* ControlFactory::Make(const QString& className, QWidget* parent) const {
    const auto it = creators_.constFind(className.toLower());
    if (it == creators_.constEnd() || !*it) return nullptr;
    return (*it)(parent);
}

QStringList ControlFactory::Names() const {
    return creators_.keys();
}

}  // namespace vq::app
