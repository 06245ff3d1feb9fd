#include "sim/sim_mouse.h"

#include <algorithm>

#include "core/device/command_report.h"

namespace vq::sim {

namespace {

constexpr uint16_t kConfigUsagePageSim = 0xFF1C;
constexpr uint16_t kConfigUsageSim = 0x0092;
constexpr uint16_t kEventUsagePageSim = 0x000C;
constexpr uint16_t kEventUsageSim = 0x0001;

void PutU16(uint8_t* at, uint16_t v) {
    at[0] = static_cast<uint8_t>(v & 0xFF);
    at[1] = static_cast<uint8_t>(v >> 8);
}

}  // namespace

class SimMouse::ConfigEndpoint : public VirtualEndpoint {
  public:
    explicit ConfigEndpoint(SimMouse* mouse) : mouse_(mouse) {}
    void OnOutputReport(std::span<const uint8_t> report) override { mouse_->HandleRequest(report); }
    std::optional<uint16_t> FirstInputUsage(std::span<const uint8_t>) const override {
        return std::nullopt;
    }

  private:
    SimMouse* mouse_;
};

class SimMouse::EventEndpoint : public VirtualEndpoint {
  public:
    void OnOutputReport(std::span<const uint8_t>) override {}
    std::optional<uint16_t> FirstInputUsage(std::span<const uint8_t> report) const override {
        if (report.size() < 3 || report[0] != kEventReportId) return std::nullopt;
        return static_cast<uint16_t>(report[1] | (report[2] << 8));
    }
};

SimMouse::SimMouse(VirtualHidBus& bus, SimMouseConfig config)
    : bus_(bus),
      config_(std::move(config)),
      configEndpoint_(std::make_unique<ConfigEndpoint>(this)),
      eventEndpoint_(std::make_unique<EventEndpoint>()) {
    std::lock_guard lock(mutex_);
    ResetLocked();
}

SimMouse::~SimMouse() {
    Unplug();
}

std::string SimMouse::ConfigPath() const {
    return config_.pathPrefix + "&mi_00&col01#cfg";
}
std::string SimMouse::EventPath() const {
    return config_.pathPrefix + "&mi_01&col01#evt";
}

void SimMouse::ResetLocked() {
    currentSlot_ = 0;
    for (uint8_t s = 0; s < kSlots; ++s) {
        auto record = DefaultMouseRecord(s);
        std::copy(record.begin(), record.end(), params_.begin() + s * kRecordSize);
    }
    factory_ = DefaultMouseKeyLayer();
    keys_.fill(0);
    for (size_t s = 0; s < kSlots; ++s)
        std::copy_n(factory_.begin(), 126, keys_.begin() + static_cast<std::ptrdiff_t>(s * 126));
    info_.fill(0);
    info_[0] = 0x01;  // record version
    info_[5] = config_.keyCount;
    info_[6] = config_.macroCapacityUnits;
    PutU16(&info_[9], config_.sensorCode);
    macros_.assign(static_cast<size_t>(config_.macroCapacityUnits) * 128, 0);
    scripts_.assign(kScriptMemorySize, 0);
    lightFrames_.clear();
}

void SimMouse::FactoryReset() {
    std::lock_guard lock(mutex_);
    ResetLocked();
}

void SimMouse::Plug() {
    {
        std::lock_guard lock(mutex_);
        if (plugged_) return;
        plugged_ = true;
    }
    const VirtualInterfaceInfo cfg{ConfigPath(),
                                   {0x0C45, config_.productId, 0x0100},
                                   {kConfigUsageSim, kConfigUsagePageSim, 64, 64, 0}};
    const VirtualInterfaceInfo evt{EventPath(),
                                   {0x0C45, config_.productId, 0x0100},
                                   {kEventUsageSim, kEventUsagePageSim, 3, 0, 0}};
    if (config_.eventCollectionFirst) {
        bus_.Attach(evt, eventEndpoint_.get());
        bus_.Attach(cfg, configEndpoint_.get());
    } else {
        bus_.Attach(cfg, configEndpoint_.get());
        bus_.Attach(evt, eventEndpoint_.get());
    }
}

void SimMouse::Unplug() {
    {
        std::lock_guard lock(mutex_);
        if (!plugged_) return;
        plugged_ = false;
    }
    bus_.Detach(ConfigPath());
    bus_.Detach(EventPath());
}

bool SimMouse::Plugged() const {
    std::lock_guard lock(mutex_);
    return plugged_;
}

uint8_t SimMouse::ReadParamLocked(size_t address) const {
    if (address == 0) return currentSlot_;
    if (address < kRecordSize) return params_[currentSlot_ * kRecordSize + address];
    return params_[address];
}

void SimMouse::WriteParamLocked(size_t address, uint8_t value) {
    if (address == 0) return;  // a record's slot byte is its own; switching is a 1-byte write
    if (address < kRecordSize)
        params_[currentSlot_ * kRecordSize + address] = value;
    else if ((address % kRecordSize) != 0)
        params_[address] = value;
}

void SimMouse::HandleRequest(std::span<const uint8_t> report) {
    using R = CommandReport;
    std::array<uint8_t, kReportSize> answer{};
    std::chrono::microseconds delay{0};
    {
        std::lock_guard lock(mutex_);
        ++requests_;
        if (report.size() < kReportSize || report[R::kId] != kCommandReportId) return;
        if (dropNext_ > 0) {
            --dropNext_;
            return;
        }
    }
    RequestFault fault;
    {
        std::lock_guard lock(faultsMutex_);
        if (faults_) fault = faults_(report);
    }
    if (fault.unplug) {
        Unplug();
        return;
    }
    if (fault.drop) return;
    {
        std::lock_guard lock(mutex_);
        delay = std::chrono::milliseconds(answerDelayMs_) + fault.delay;
        if (delayNext_ > 0) {
            --delayNext_;
            delay += std::chrono::milliseconds(delayNextMs_);
        }
        if (config_.echoesRequests)
            std::copy_n(report.begin(), 7, answer.begin());
        else
            answer[R::kId] = report[R::kId];
        uint8_t status = 0x00;
        const uint16_t sum =
            ComputeChecksum(std::span<const uint8_t, kReportSize>(report.data(), kReportSize));
        const uint16_t sent =
            static_cast<uint16_t>(report[R::kChecksumLow] | (report[R::kChecksumHigh] << 8));
        const uint8_t n = report[R::kLength];
        const size_t address = report[R::kAddressLow] | (report[R::kAddressHigh] << 8);
        const uint8_t* data = report.data() + R::kData;
        uint8_t* out = answer.data() + R::kData;
        if (fault.status) {
            status = *fault.status;  // refused: nothing is done
        } else if (sum != sent) {
            ++checksumErrors_;
            status = kStatusRefusedFF;
        } else {
            switch (static_cast<Command>(report[R::kCommand])) {
                case Command::Begin:
                case Command::End:
                    break;
                case Command::ReadInfo:
                    std::copy(info_.begin(), info_.end(), out);
                    break;
                case Command::ReadParams:
                    if (n > kReportDataSize || address + n > params_.size()) {
                        status = kStatusRefusedFF;
                        break;
                    }
                    for (size_t i = 0; i < n; ++i)
                        out[i] = ReadParamLocked(address + i);
                    break;
                case Command::WriteParams:
                    if (n > kReportDataSize || address + n > params_.size()) {
                        status = kStatusRefusedFF;
                        break;
                    }
                    if (address == 0 && n == 1) {
                        if (data[0] < kSlots)
                            currentSlot_ = data[0];
                        else
                            status = kStatusRefusedFE;
                        break;
                    }
                    for (size_t i = 0; i < n; ++i)
                        WriteParamLocked(address + i, data[i]);
                    break;
                case Command::ReadBlock:
                    if (n > kReportDataSize || address + n > factory_.size()) {
                        status = kStatusRefusedFF;
                        break;
                    }
                    std::copy_n(factory_.begin() + static_cast<std::ptrdiff_t>(address), n, out);
                    break;
                case Command::ReadIndexedBlock:
                    if (n > kReportDataSize || address + n > keys_.size()) {
                        status = kStatusRefusedFF;
                        break;
                    }
                    std::copy_n(keys_.begin() + static_cast<std::ptrdiff_t>(address), n, out);
                    break;
                case Command::WriteIndexedBlock:
                    if (n > kReportDataSize || address + n > keys_.size()) {
                        status = kStatusRefusedFF;
                        break;
                    }
                    std::copy_n(data, n, keys_.begin() + static_cast<std::ptrdiff_t>(address));
                    break;
                case Command::FactoryReset:
                    ResetLocked();
                    break;
                case Command::WriteLightFrame:
                    if (n > kReportDataSize) {
                        status = kStatusRefusedFF;
                        break;
                    }
                    if (address == 0 || lightFrames_.empty()) {
                        // Only the newest frames are kept: the light sync sends one per pass.
                        if (lightFrames_.size() >= kKeptLightFrames)
                            lightFrames_.erase(lightFrames_.begin());
                        lightFrames_.emplace_back();
                    }
                    if (lightFrames_.back().size() < address + n)
                        lightFrames_.back().resize(address + n);
                    std::copy_n(data, n,
                                lightFrames_.back().begin() + static_cast<std::ptrdiff_t>(address));
                    break;
                case Command::WriteMacroData:
                case Command::WriteScriptData: {
                    auto& memory =
                        report[R::kCommand] == static_cast<uint8_t>(Command::WriteMacroData)
                            ? macros_
                            : scripts_;
                    if (n > kReportDataSize || address + n > memory.size()) {
                        status = kStatusRefusedFE;  // does not fit the memory
                        break;
                    }
                    std::copy_n(data, n, memory.begin() + static_cast<std::ptrdiff_t>(address));
                    break;
                }
                default:
                    status = kStatusRefusedFF;
                    break;
            }
        }
        if (failAt_ > 0 && --failAt_ == 0) status = failStatus_;
        answer[R::kStatus] = status;
    }
    bus_.SendInput(ConfigPath(), answer, delay);
}

void SimMouse::PressDpiButton() {
    {
        std::lock_guard lock(mutex_);
        uint8_t& stage = params_[currentSlot_ * kRecordSize + 23];
        stage = static_cast<uint8_t>((stage + 1) % 7);
    }
    SendNotification(0x0401);
}

void SimMouse::SendNotification(uint16_t usage) {
    const uint8_t report[3] = {kEventReportId, static_cast<uint8_t>(usage & 0xFF),
                               static_cast<uint8_t>(usage >> 8)};
    bus_.SendInput(EventPath(), report);
}

void SimMouse::DropNextRequests(int n) {
    std::lock_guard lock(mutex_);
    dropNext_ = n;
}

void SimMouse::FailRequest(int nth, uint8_t status) {
    std::lock_guard lock(mutex_);
    failAt_ = nth;
    failStatus_ = status;
}

void SimMouse::SetAnswerDelayMs(int ms) {
    std::lock_guard lock(mutex_);
    answerDelayMs_ = ms;
}

void SimMouse::DelayNextAnswers(int n, int ms) {
    std::lock_guard lock(mutex_);
    delayNext_ = n;
    delayNextMs_ = ms;
}

void SimMouse::SetRequestFaults(RequestFaults decide) {
    std::lock_guard lock(faultsMutex_);
    faults_ = std::move(decide);
}

std::vector<uint8_t> SimMouse::ParamBytes(size_t address, size_t n) const {
    std::lock_guard lock(mutex_);
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < n && address + i < params_.size(); ++i)
        bytes.push_back(ReadParamLocked(address + i));
    return bytes;
}

int SimMouse::RequestCount() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

int SimMouse::ChecksumErrors() const {
    std::lock_guard lock(mutex_);
    return checksumErrors_;
}

std::array<uint8_t, SimMouse::kSlots * SimMouse::kRecordSize> SimMouse::ParamMemory() const {
    std::lock_guard lock(mutex_);
    return params_;
}

std::array<uint8_t, SimMouse::kRecordSize> SimMouse::CurrentRecord() const {
    std::lock_guard lock(mutex_);
    std::array<uint8_t, kRecordSize> r{};
    for (size_t i = 0; i < kRecordSize; ++i)
        r[i] = ReadParamLocked(i);
    return r;
}

uint8_t SimMouse::CurrentSlot() const {
    std::lock_guard lock(mutex_);
    return currentSlot_;
}

std::array<uint8_t, SimMouse::kKeyMemorySize> SimMouse::KeyMemory() const {
    std::lock_guard lock(mutex_);
    return keys_;
}

std::array<uint8_t, SimMouse::kBlockSize> SimMouse::FactoryBlock() const {
    std::lock_guard lock(mutex_);
    return factory_;
}

std::array<uint8_t, SimMouse::kInfoSize> SimMouse::Info() const {
    std::lock_guard lock(mutex_);
    return info_;
}

std::vector<uint8_t> SimMouse::MacroMemory() const {
    std::lock_guard lock(mutex_);
    return macros_;
}

std::vector<uint8_t> SimMouse::ScriptMemory() const {
    std::lock_guard lock(mutex_);
    return scripts_;
}

std::vector<std::vector<uint8_t>> SimMouse::LightFrames() const {
    std::lock_guard lock(mutex_);
    return lightFrames_;
}

void SimMouse::SetParamByte(size_t address, uint8_t value) {
    std::lock_guard lock(mutex_);
    if (address < params_.size()) WriteParamLocked(address, value);
}

}  // namespace vq::sim
