#pragma once
// The system's suspend and resume as its window messages tell them. On Windows the window loop
// receives WM_POWERBROADCAST (PBT_APMSUSPEND, PBT_APMRESUMEAUTOMATIC); Linux announces them on
// the login manager's bus instead, and no window message says anything about them there.

namespace vq::platform {

enum class PowerChange { None, Suspending, Resumed };

// What one message of the window loop (on Windows a MSG) says; None for every other message.
PowerChange PowerChangeOfMessage(const void* message);

}  // namespace vq::platform
