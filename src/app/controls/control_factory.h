#pragma once
// The custom controls that layouts may name by class: a registry from class name (compared
// without case) to a creation function.

#include <QHash>
#include <QString>
#include <functional>

class QWidget;

namespace vq::app {

class ControlFactory {
  public:
    using Create = std::function<QWidget*(QWidget* parent)>;

    // Registers (or replaces) a class name.
    void Register(const QString& className, Create create);
    bool Knows(const QString& className) const;
    // A new control of that class, or null when the name is not registered.
    QWidget* Make(const QString& className, QWidget* parent) const;
    QStringList Names() const;

  private:
    QHash<QString, Create> creators_;  // keyed by lower-case name
};

// Registers the program's custom controls (CDeviceKeyButtonUI, CCircleProgressUI, CChartViewUI,
// CWndUI, ColorPalette and their layout aliases) with a factory.
void RegisterCustomControls(ControlFactory& factory);

}  // namespace vq::app
