#include "platform/foreground_program.h"

#include <memory>
#include <mutex>

#include "core/util/log.h"

namespace vq::platform {

#if defined(VQ_HAVE_X11)
std::unique_ptr<ForegroundProgram> CreateX11ForegroundProgram();
#endif
#if defined(_WIN32)
std::unique_ptr<ForegroundProgram> CreateWin32ForegroundProgram();
#endif

namespace {

// Says once why the program in front cannot be followed, then follows nothing.
class NoForegroundProgram : public ForegroundProgram {
  public:
    explicit NoForegroundProgram(const char* why) : why_(why) {}
    bool Start(Changed, std::string* whyNot) override {
        if (whyNot) *whyNot = why_;
        return false;
    }
    void Stop() override {}

  private:
    const char* why_;
};

// Logs the first failure to start, once per process.
class LoggingForegroundProgram : public ForegroundProgram {
  public:
    explicit LoggingForegroundProgram(std::unique_ptr<ForegroundProgram> inner)
        : inner_(std::move(inner)) {}
    bool Start(Changed changed, std::string* whyNot) override {
        std::string why;
        if (inner_->Start(std::move(changed), &why)) return true;
        static std::once_flag once;
        std::call_once(once, [&] {
            Logf(LogLevel::Warning,
                 "the program in front cannot be known (%s): profiles linked to programs are "
                 "not applied",
                 why.c_str());
        });
        if (whyNot) *whyNot = why;
        return false;
    }
    void Stop() override { inner_->Stop(); }

  private:
    std::unique_ptr<ForegroundProgram> inner_;
};

}  // namespace

std::unique_ptr<ForegroundProgram> CreateSystemForegroundProgram() {
#if defined(VQ_HAVE_X11)
    return std::make_unique<LoggingForegroundProgram>(CreateX11ForegroundProgram());
#elif defined(_WIN32)
    return std::make_unique<LoggingForegroundProgram>(CreateWin32ForegroundProgram());
#else
    return std::make_unique<LoggingForegroundProgram>(
        std::make_unique<NoForegroundProgram>("this build has no X11 support"));
#endif
}

}  // namespace vq::platform
