#include "app/power_monitor.h"

#include <QCoreApplication>

#include "core/util/log.h"
#include "platform/power_events.h"

#ifdef _WIN32
#include <QAbstractNativeEventFilter>
#else
#include <QDBusConnection>
#endif

namespace vq::app {

#ifdef _WIN32
struct PowerMonitor::NativeFilter : QAbstractNativeEventFilter {
    explicit NativeFilter(PowerMonitor* owner) : owner_(owner) {}
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "windows_generic_MSG") return false;
        switch (platform::PowerChangeOfMessage(message)) {
            case platform::PowerChange::Suspending:
                emit owner_->Suspending();
                break;
            case platform::PowerChange::Resumed:
                emit owner_->Resumed();
                break;
            case platform::PowerChange::None:
                break;
        }
        return false;
    }
    PowerMonitor* owner_;
};
#else
struct PowerMonitor::NativeFilter {};
#endif

PowerMonitor::PowerMonitor(QObject* parent) : QObject(parent) {}

PowerMonitor::~PowerMonitor() {
#ifdef _WIN32
    if (filter_) QCoreApplication::instance()->removeNativeEventFilter(filter_);
#endif
    delete filter_;
}

bool PowerMonitor::Start() {
#ifdef _WIN32
    if (!filter_) {
        filter_ = new NativeFilter(this);
        QCoreApplication::instance()->installNativeEventFilter(filter_);
    }
    return true;
#else
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        Log(LogLevel::Info, "power: no system bus; suspend and resume are not reported here");
        return false;
    }
    const bool ok = bus.connect("org.freedesktop.login1", "/org/freedesktop/login1",
                                "org.freedesktop.login1.Manager", "PrepareForSleep", this,
                                SLOT(OnPrepareForSleep(bool)));
    if (!ok)
        Log(LogLevel::Info, "power: the login manager does not report suspend and resume here");
    return ok;
#endif
}

void PowerMonitor::OnPrepareForSleep(bool sleeping) {
    if (sleeping)
        emit Suspending();
    else
        emit Resumed();
}

}  // namespace vq::app
