#pragma once
// One copy of the program per user. The first copy claims the instance name and keeps it until it
// exits (a copy that crashes leaves nothing behind); a later copy finds the name taken, asks the
// first copy to show itself and ends.
//
// Windows: a named mutex and a registered window message broadcast to the running copy.
// Linux: a stream socket in the abstract namespace whose name carries the user id; binding it is
// the claim, and the kernel releases it with the process.

#include <functional>
#include <memory>
#include <string>

namespace vq::platform {

inline constexpr const char* kInstanceName = "VARDOKDRVER1";
inline constexpr const char* kShowMessageName = "KESTRAVO_004";

class SingleInstance {
  public:
    enum class Role { First, Second };
    using ShowHandler = std::function<void(unsigned messageId)>;

    virtual ~SingleInstance() = default;

    // Claims the instance name. Second: another copy holds it and has been asked to show itself.
    // When the name cannot be claimed for any other reason the copy runs as the first.
    virtual Role Claim() = 0;

    // The id of the show message (the registered message on Windows).
    virtual unsigned ShowMessageId() const = 0;

    // First copy: called on the thread that dispatches the requests, once per show request.
    virtual void SetShowHandler(ShowHandler handler) = 0;

    // First copy: a descriptor that becomes readable when a request is pending, for the caller's
    // event loop; -1 where requests arrive as window messages on the UI thread by themselves.
    virtual int RequestDescriptor() const = 0;
    // Handles every pending request; returns how many show requests were handled.
    virtual int DispatchRequests() = 0;
};

// `name` and `message` replace the standard names (tests use their own, so that they never meet
// a running program).
std::unique_ptr<SingleInstance> CreateSingleInstance(const std::string& name = kInstanceName,
                                                     const std::string& message = kShowMessageName);

}  // namespace vq::platform
