#pragma once
// The system's suspend and resume, where the platform reports them: the login manager's
// PrepareForSleep signal on Linux, WM_POWERBROADCAST on Windows.

#include <QObject>

namespace vq::app {

class PowerMonitor : public QObject {
    Q_OBJECT
  public:
    explicit PowerMonitor(QObject* parent = nullptr);
    ~PowerMonitor() override;
    // Starts listening; false (and a log line) when this system does not report them.
    bool Start();

  signals:
    void Suspending();
    void Resumed();

  private slots:
    void OnPrepareForSleep(bool sleeping);

  private:
    struct NativeFilter;
    NativeFilter* filter_ = nullptr;
};

}  // namespace vq::app
