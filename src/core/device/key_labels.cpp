#include "core/device/key_labels.h"

namespace vq {

namespace {

// Rules the mouse and the keyboard share; empty when the type is not one of them.
std::optional<KeyLabel> CommonLabel(const KeyAssignment& code,
                                    std::span<const std::string> macroNames) {
    auto fromList = [&](ChoiceList list, bool param1Only) {
        std::optional<size_t> row;
        if (param1Only) {
            const auto rows = Choices(list);
            for (size_t i = 0; i < rows.size() && !row; ++i)
                if (rows[i].param1 == code.param1) row = i;
        } else {
            row = FindChoiceByParams(list, code);
        }
        return row ? KeyLabel::Id(Choices(list)[*row].textId) : KeyLabel::Keep();
    };
    switch (code.type) {
        case key_type::kNone:
        case key_type::kKey: {
            KeyLabel label;
            if (auto row = FindKeyByParams(code)) label = KeyLabel::Id(KeyTable()[*row].textId);
            // A shortcut row names the combination better than the bare key does.
            if (auto row = FindChoiceByParams(ChoiceList::Shortcut, code))
                label = KeyLabel::Id(Choices(ChoiceList::Shortcut)[*row].textId);
            return label;
        }
        case key_type::kMouseButton:
            return fromList(ChoiceList::MouseButton, true);
        case key_type::kHorizontalScroll:
            return KeyLabel::Id((code.param2 & 0x80) ? "mouse_key_right_Swing"
                                                     : "mouse_key_left_Swing");
        case key_type::kVerticalScroll:
            return KeyLabel::Id((code.param2 & 0x80) ? "mouse_key_down_Swing"
                                                     : "mouse_key_up_Swing");
        // The first row with this param1: the DPI list also holds the shift row (0xA0, 2, 0),
        // which must not rename a (0x13, 2, 0) key.
        case key_type::kDpi:
            return fromList(ChoiceList::Dpi, true);
        case key_type::kFire:
            return KeyLabel::Id(kFireKeyLabel);
        case 0x21:
        case key_type::kConsumer:
            return fromList(ChoiceList::Media, false);
        case key_type::kSystem:
            return fromList(ChoiceList::System, false);
        case key_type::kMacro:
        case key_type::kMacroCounted:
            if (code.param1 < macroNames.size()) return KeyLabel::Macro(macroNames[code.param1]);
            return KeyLabel::Keep();
        case 0x15:
        case 0x50:
        case 0x60:
        case 0xB0:
        case 0xC0:
            return KeyLabel::Keep();
        default:
            return std::nullopt;
    }
}

}  // namespace

KeyLabel MouseButtonLabel(const KeyAssignment& code, std::span<const std::string> macroNames) {
    if (auto label = CommonLabel(code, macroNames)) return *label;
    switch (code.type) {
        case key_type::kCursorScript:
            // Only four scripts exist; any other index keeps the label rather than borrow one.
            if (code.param1 < std::size(kCursorScriptLabels))
                return KeyLabel::Id(kCursorScriptLabels[code.param1]);
            return KeyLabel::Keep();
        case key_type::kDpiShift:
            return KeyLabel::Id(code.param1 == 2 ? "mouse_key_DPI_shift" : "mouse_key_DPI_Disable");
        default:
            return KeyLabel::Id("close_text");
    }
}

KeyLabel KeyboardKeyLabel(const KeyAssignment& code, std::span<const std::string> macroNames) {
    if (auto label = CommonLabel(code, macroNames)) return *label;
    if (code.type == key_type::kDpiShift) return KeyLabel::Keep();  // the keyboard's Fn key
    return KeyLabel::Id("关闭");
}

}  // namespace vq
