#pragma once
// The binary image of a macro library (or of the mouse's cursor scripts) as the device keeps it
// in its macro (script) memory, and its transfer.
//
//   offset       size   field (little-endian)
//   0            2      magic 0x55AA
//   2            2      total image length in bytes
//   4            2      macro count n
//   6            10     reserved, zero
//   16           2n     offset of each macro's block from the start of the image
//   16 + 2n      ...    the blocks in library order, without gaps:
//                         action count a (2), reserved zero (2), a × 4 bytes of actions
//                         (delay low, delay high, type, code)

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/macro/macro_file.h"

namespace vq {

class DeviceSession;

inline constexpr uint16_t kMacroImageMagic = 0x55AA;
inline constexpr size_t kMacroImageHeaderSize = 16;
inline constexpr size_t kMacroCapacityUnit = 128;  // information byte 6 counts these

// The length of the image of macros with these action counts: 16 + 6n + 4 × all actions.
size_t MacroImageSize(std::span<const size_t> actionCounts);
// The image; nothing when a length, count or offset would not fit its 16 bits.
std::optional<std::vector<uint8_t>> BuildMacroImage(
    std::span<const std::vector<MacroAction>> macros);

// The macros of a library in library order (a macro without a file is an empty macro).
std::vector<std::vector<MacroAction>> ReadLibraryMacros(const MacroLibrary& library);

// The number of actions to remove so that an image of `total` bytes fits `capacity`, as the
// message "message_text_16" tells it: (total - capacity) / 4 + 1; 0 when it fits.
int ActionsToRemove(size_t total, size_t capacity);

// ---- sending an image

enum class ImageMemory { Macro, Script };  // WriteMacroData or WriteScriptData

enum class TransferStatus {
    Sent,           // every report was accepted
    NothingToSend,  // an empty library: the device's memory keeps what it has
    NotConnected,   // nothing was sent
    TooLarge,       // the image does not fit the device's memory: nothing was sent
    Failed,         // the device refused a report, did not answer, or the link was lost
};
const char* TransferStatusName(TransferStatus status);

// What a transfer did and what the user is told.
struct TransferResult {
    TransferStatus status = TransferStatus::Sent;
    int command = 1;     // the failed command's result (DeviceSession's codes)
    size_t bytes = 0;    // the image's length
    std::string textId;  // the message box to show; empty: none
    int textArg = 0;     // fills its %d
    std::string detail;  // English, for the log and the command line

    // The transfer did not stand in the way: the key layer may follow.
    bool Ok() const {
        return status == TransferStatus::Sent || status == TransferStatus::NothingToSend ||
               status == TransferStatus::NotConnected;
    }
};

// Progress in reports: `done` of `total` reports of the whole operation.
using TransferProgress = std::function<void(int done, int total)>;

// The reports an image of `bytes` takes (56 data bytes per report).
int ImageReports(size_t bytes);

// Begin, the image in 56-byte chunks (WriteMacroData or WriteScriptData), End. End is sent
// after a failed write too, to close the exchange. A refusal (-102, -103) or a lost link gives
// "message_text_10", no answer "message_text_19".
// `reportSent`, when given, runs after Begin, after each chunk the device took and after End.
TransferResult SendImage(DeviceSession& session, ImageMemory memory, std::span<const uint8_t> image,
                         const std::function<void()>& reportSent = {});

}  // namespace vq
