#include "sim/sim_peripheral.h"

#include <algorithm>

#include "core/device/command_report.h"
#include "core/keyboard/keyboard_defaults.h"

namespace vq::sim {

namespace {

constexpr uint16_t kConfigUsagePageSim = 0xFF1C;
constexpr uint16_t kConfigUsageSim = 0x0092;
constexpr uint16_t kEventUsagePageSim = 0x000C;
constexpr uint16_t kEventUsageSim = 0x0001;

}  // namespace

class SimPeripheral::ConfigEndpoint : public VirtualEndpoint {
  public:
    explicit ConfigEndpoint(SimPeripheral* device) : device_(device) {}
    void OnOutputReport(std::span<const uint8_t> report) override {
        device_->HandleRequest(report);
    }
    std::optional<uint16_t> FirstInputUsage(std::span<const uint8_t>) const override {
        return std::nullopt;
    }

  private:
    SimPeripheral* device_;
};

class SimPeripheral::EventEndpoint : public VirtualEndpoint {
  public:
    void OnOutputReport(std::span<const uint8_t>) override {}
    std::optional<uint16_t> FirstInputUsage(std::span<const uint8_t> report) const override {
        if (report.size() < 3 || report[0] != kEventReportId) return std::nullopt;
        return static_cast<uint16_t>(report[1] | (report[2] << 8));
    }
};

SimPeripheral::SimPeripheral(VirtualHidBus& bus, SimPeripheralConfig config)
    : bus_(bus),
      config_(std::move(config)),
      configEndpoint_(std::make_unique<ConfigEndpoint>(this)),
      eventEndpoint_(config_.eventCollection ? std::make_unique<EventEndpoint>() : nullptr) {
    std::lock_guard lock(mutex_);
    ResetLocked();
}

SimPeripheral::~SimPeripheral() {
    Unplug();
}

std::string SimPeripheral::ConfigPath() const {
    return config_.pathPrefix + "&mi_00&col01#cfg";
}

std::string SimPeripheral::EventPath() const {
    return eventEndpoint_ ? config_.pathPrefix + "&mi_01&col01#evt" : std::string();
}

void SimPeripheral::ResetLocked() {
    current_ = 0;
    for (size_t i = 0; i < kRecords; ++i) {
        std::copy(config_.defaultRecord.begin(), config_.defaultRecord.end(),
                  params_.begin() + static_cast<std::ptrdiff_t>(i * kRecordSize));
        params_[i * kRecordSize] = static_cast<uint8_t>(i);
    }
    info_.fill(0);
    info_[0] = 0x01;
    info_[5] = config_.keyCount;
    info_[6] = config_.macroCapacityUnits;
    // Layers lie 126 bytes apart and overlap when a key table is longer; each starts as the
    // factory table, layer 0 (the one the program uses) whole.
    keys_.fill(0);
    for (size_t layer = kRecords; layer-- > 0;)
        std::copy(config_.factoryBlock.begin(), config_.factoryBlock.end(),
                  keys_.begin() + static_cast<std::ptrdiff_t>(layer * 126));
    macros_.assign(static_cast<size_t>(config_.macroCapacityUnits) * 128, 0);
}

void SimPeripheral::FactoryReset() {
    std::lock_guard lock(mutex_);
    ResetLocked();
    ++resets_;
}

void SimPeripheral::Plug() {
    {
        std::lock_guard lock(mutex_);
        if (plugged_) return;
        plugged_ = true;
    }
    bus_.Attach({ConfigPath(),
                 {0x0C45, config_.productId, 0x0100},
                 {kConfigUsageSim, kConfigUsagePageSim, 64, 64, 0}},
                configEndpoint_.get());
    if (eventEndpoint_)
        bus_.Attach({EventPath(),
                     {0x0C45, config_.productId, 0x0100},
                     {kEventUsageSim, kEventUsagePageSim, 3, 0, 0}},
                    eventEndpoint_.get());
}

void SimPeripheral::Unplug() {
    {
        std::lock_guard lock(mutex_);
        if (!plugged_) return;
        plugged_ = false;
    }
    bus_.Detach(ConfigPath());
    if (eventEndpoint_) bus_.Detach(EventPath());
}

bool SimPeripheral::Plugged() const {
    std::lock_guard lock(mutex_);
    return plugged_;
}

uint8_t SimPeripheral::ReadParamLocked(size_t address) const {
    if (address == 0) return current_;
    if (address < kRecordSize) return params_[current_ * kRecordSize + address];
    return params_[address];
}

void SimPeripheral::WriteParamLocked(size_t address, uint8_t value) {
    if (address == 0) return;  // a record's index byte is its own
    if (address < kRecordSize)
        params_[current_ * kRecordSize + address] = value;
    else if (address % kRecordSize != 0)
        params_[address] = value;
}

void SimPeripheral::TakeLightChunkLocked(size_t address, std::span<const uint8_t> chunk) {
    if (address == 0 || frames_.empty()) {
        if (frames_.size() == kKeptFrames) frames_.pop_front();
        frames_.emplace_back();
        ++frameCount_;
    }
    std::vector<uint8_t>& frame = frames_.back();
    if (frame.size() < address + chunk.size()) frame.resize(address + chunk.size());
    std::copy(chunk.begin(), chunk.end(), frame.begin() + static_cast<std::ptrdiff_t>(address));
}

void SimPeripheral::HandleRequest(std::span<const uint8_t> report) {
    using R = CommandReport;
    std::array<uint8_t, kReportSize> answer{};
    {
        std::lock_guard lock(mutex_);
        ++requests_;
        if (report.size() < kReportSize || report[R::kId] != kCommandReportId) return;
        if (dropNext_ > 0) {
            --dropNext_;
            return;
        }
        std::copy_n(report.begin(), 7, answer.begin());
        uint8_t status = 0x00;
        const uint16_t sum =
            ComputeChecksum(std::span<const uint8_t, kReportSize>(report.data(), kReportSize));
        const auto sent =
            static_cast<uint16_t>(report[R::kChecksumLow] | (report[R::kChecksumHigh] << 8));
        const uint8_t n = report[R::kLength];
        const size_t address = report[R::kAddressLow] | (report[R::kAddressHigh] << 8);
        const uint8_t* data = report.data() + R::kData;
        uint8_t* out = answer.data() + R::kData;
        auto fits = [&](size_t size) { return n <= kReportDataSize && address + n <= size; };
        if (sum != sent) {
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
                    if (!fits(params_.size())) {
                        status = kStatusRefusedFF;
                        break;
                    }
                    for (size_t i = 0; i < n; ++i)
                        out[i] = ReadParamLocked(address + i);
                    break;
                case Command::WriteParams:
                    if (!fits(params_.size())) {
                        status = kStatusRefusedFF;
                    } else if (address == 0 && n == 1) {
                        if (data[0] < kRecords)
                            current_ = data[0];
                        else
                            status = kStatusRefusedFE;
                    } else {
                        for (size_t i = 0; i < n; ++i)
                            WriteParamLocked(address + i, data[i]);
                    }
                    break;
                case Command::ReadBlock:
                    if (!fits(config_.factoryBlock.size())) {
                        status = kStatusRefusedFF;
                        break;
                    }
                    std::copy_n(config_.factoryBlock.begin() + static_cast<std::ptrdiff_t>(address),
                                n, out);
                    break;
                case Command::ReadIndexedBlock:
                    if (!fits(keys_.size())) {
                        status = kStatusRefusedFF;
                        break;
                    }
                    std::copy_n(keys_.begin() + static_cast<std::ptrdiff_t>(address), n, out);
                    break;
                case Command::WriteIndexedBlock:
                    if (!fits(keys_.size())) {
                        status = kStatusRefusedFF;
                        break;
                    }
                    std::copy_n(data, n, keys_.begin() + static_cast<std::ptrdiff_t>(address));
                    break;
                case Command::FactoryReset:
                    ResetLocked();
                    ++resets_;
                    break;
                case Command::WriteLightFrame:
                    if (n > kReportDataSize) {
                        status = kStatusRefusedFF;
                        break;
                    }
                    TakeLightChunkLocked(address, {data, n});
                    break;
                case Command::WriteMacroData:
                    if (!fits(macros_.size())) {
                        status = kStatusRefusedFE;  // does not fit the memory
                        break;
                    }
                    std::copy_n(data, n, macros_.begin() + static_cast<std::ptrdiff_t>(address));
                    break;
                default:  // scripts are the mouse's
                    status = kStatusRefusedFF;
                    break;
            }
        }
        if (failAt_ > 0 && --failAt_ == 0) status = failStatus_;
        answer[R::kStatus] = status;
    }
    bus_.SendInput(ConfigPath(), answer);
}

void SimPeripheral::SendNotification(uint16_t usage) {
    if (!eventEndpoint_) return;  // nothing to send it on
    const uint8_t report[3] = {kEventReportId, static_cast<uint8_t>(usage & 0xFF),
                               static_cast<uint8_t>(usage >> 8)};
    bus_.SendInput(EventPath(), report);
}

void SimPeripheral::DropNextRequests(int n) {
    std::lock_guard lock(mutex_);
    dropNext_ = n;
}

void SimPeripheral::FailRequest(int nth, uint8_t status) {
    std::lock_guard lock(mutex_);
    failAt_ = nth;
    failStatus_ = status;
}

void SimPeripheral::SetParamByte(size_t address, uint8_t value) {
    std::lock_guard lock(mutex_);
    if (address < params_.size()) WriteParamLocked(address, value);
}

std::array<uint8_t, SimPeripheral::kRecords * SimPeripheral::kRecordSize>
SimPeripheral::ParamMemory() const {
    std::lock_guard lock(mutex_);
    return params_;
}

std::array<uint8_t, SimPeripheral::kRecordSize> SimPeripheral::CurrentRecord() const {
    std::lock_guard lock(mutex_);
    std::array<uint8_t, kRecordSize> r{};
    for (size_t i = 0; i < kRecordSize; ++i)
        r[i] = ReadParamLocked(i);
    return r;
}

uint8_t SimPeripheral::CurrentIndex() const {
    std::lock_guard lock(mutex_);
    return current_;
}

std::array<uint8_t, SimPeripheral::kInfoSize> SimPeripheral::Info() const {
    std::lock_guard lock(mutex_);
    return info_;
}

std::array<uint8_t, SimPeripheral::kBlockSize> SimPeripheral::FactoryBlock() const {
    return config_.factoryBlock;
}

std::array<uint8_t, SimPeripheral::kKeyMemorySize> SimPeripheral::KeyMemory() const {
    std::lock_guard lock(mutex_);
    return keys_;
}

std::vector<uint8_t> SimPeripheral::MacroMemory() const {
    std::lock_guard lock(mutex_);
    return macros_;
}

std::vector<std::vector<uint8_t>> SimPeripheral::LightFrames() const {
    std::lock_guard lock(mutex_);
    return {frames_.begin(), frames_.end()};
}

uint64_t SimPeripheral::LightFrameCount() const {
    std::lock_guard lock(mutex_);
    return frameCount_;
}

int SimPeripheral::FactoryResets() const {
    std::lock_guard lock(mutex_);
    return resets_;
}

int SimPeripheral::ChecksumErrors() const {
    std::lock_guard lock(mutex_);
    return checksumErrors_;
}

int SimPeripheral::RequestCount() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

// ---- the keyboard and the mousepad ---------------------------------------------------------

namespace {

SimPeripheralConfig KeyboardConfig(const SimKeyboardConfig& k) {
    SimPeripheralConfig c;
    c.productId = 0x6556;
    c.pathPrefix = "sim:hid#vid_0c45&pid_6556";
    c.eventCollection = true;
    c.keyCount = static_cast<uint8_t>(k.keyCount >= 0 ? k.keyCount : DefaultKeyboardKeyCount());
    c.macroCapacityUnits = k.macroCapacityUnits;
    KeyboardModel model;
    ApplyKeyboardDefaults(
        model, k.singleColour ? KeyboardVariant::SingleColour : KeyboardVariant::FullColour);
    const LightRecord record = model.Record();
    std::copy(record.bytes.begin(), record.bytes.end(), c.defaultRecord.begin());
    c.factoryBlock = DefaultKeyboardKeyLayer();
    return c;
}

SimPeripheralConfig MousepadConfig() {
    SimPeripheralConfig c;
    c.productId = 0x5004;
    c.pathPrefix = "sim:hid#vid_0c45&pid_5004";
    MousepadModel model;
    ApplyMousepadDefaults(model);
    const LightRecord record = model.Record();
    std::copy(record.bytes.begin(), record.bytes.end(), c.defaultRecord.begin());
    return c;
}

}  // namespace

SimKeyboard::SimKeyboard(VirtualHidBus& bus, SimKeyboardConfig config)
    : SimPeripheral(bus, KeyboardConfig(config)) {}

void SimKeyboard::PressLightKey() {
    const uint8_t mode = CurrentRecord()[1];
    SetParamByte(1, static_cast<uint8_t>((mode + 1) % 17));
    SendNotification(0x0401);
}

void SimKeyboard::ChangeKeysOnDevice() {
    SendNotification(0x0402);
}

SimMousepad::SimMousepad(VirtualHidBus& bus) : SimPeripheral(bus, MousepadConfig()) {}

}  // namespace vq::sim
