#pragma once
// What every page class of the window shares: the window (its controls by name, its router, its
// skin) and the device hub (the controllers the page posts its edits to).

#include <QRgb>
#include <QString>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/device/device_kind.h"

class QWidget;

namespace vq::app {

class CMainWnd;
class DeviceHub;
class NotifyRouter;

// The number a user typed: its leading digits, as large as they go (an empty field is 0; past
// 1,000,000,000 the digits stop counting).
long long TypedNumber(const QString& text);

class PageBase {
  public:
    PageBase(CMainWnd& window, DeviceHub& hub) : window_(window), hub_(hub) {}

  protected:
    template <typename T = QWidget>
    T* Control(const QString& name) const;
    NotifyRouter& Router() const;
    void ShowControls(std::initializer_list<const char*> names, bool shown) const;
    static void SetTextColour(QWidget* label, QRgb argb);
    // Reads the kind's macro names (in index order) on its controller's thread and hands them to
    // `done` on the window's thread.
    void ReadMacroNames(DeviceKind kind, std::function<void(std::vector<std::string>)> done);

    CMainWnd& window_;
    DeviceHub& hub_;
};

}  // namespace vq::app

#include "app/main_window.h"

namespace vq::app {

template <typename T>
T* PageBase::Control(const QString& name) const {
    return window_.Control<T>(name);
}

}  // namespace vq::app
