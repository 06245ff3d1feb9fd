#include "core/mouse/button_panel.h"

#include "core/macro/macro_file.h"  // kCursorScripts

#include <algorithm>
#include <cctype>
#include <limits>

namespace vq {

namespace {

constexpr KeyAssignment kLeftClick{key_type::kMouseButton, 0x01, 0x00};
// The records the guard looks at: the eight buttons and the one after them.
constexpr int kGuardRecords = 9;

struct FieldLimit {
    long min, max;
    const char* empty;  // what an empty text becomes; null: it stays empty
};

constexpr std::array<FieldLimit, kPanelFields> kFieldLimits = {{
    {0, 255, "1"},      // 11 fire, first number
    {0, 255, nullptr},  // 12 fire, second number
    {0, 127, nullptr},  // 15 horizontal amount
    {0, 127, nullptr},  // 16 vertical amount
    {0, 15, nullptr},   // 17 horizontal, high number
    {0, 15, nullptr},   // 18 vertical, high number
    {0, 15, nullptr},   // 19 vertical, low number
    {0, 15, nullptr},   // 20 horizontal, low number
    {1, 255, "1"},      // 25 macro count
}};

uint8_t Low8(long n) {
    return static_cast<uint8_t>(static_cast<unsigned long>(n) & 0xFF);
}

uint8_t FieldByte(const ButtonPanel& panel, PanelField field) {
    const std::optional<std::string>& text = panel.Field(field);
    return Low8(text ? ParseEditNumber(*text) : 0);
}

// The row of a choice list that the panel's list selects.
std::optional<KeyAssignment> ListRow(const ButtonPanel& panel, PanelList list, ChoiceList rows) {
    const std::optional<int>& selection = panel.List(list);
    const auto choices = Choices(rows);
    if (!selection || *selection < 0 || static_cast<size_t>(*selection) >= choices.size())
        return std::nullopt;
    return choices[static_cast<size_t>(*selection)].Code();
}

std::optional<KeyAssignment> BuildScroll(const ButtonPanel& panel, PanelList list, ChoiceList rows,
                                         PanelField amount, PanelField high, PanelField low) {
    std::optional<KeyAssignment> code = ListRow(panel, list, rows);
    if (!code) return std::nullopt;
    uint8_t param2 = FieldByte(panel, amount);
    if (*panel.List(list) != 0) param2 = static_cast<uint8_t>(param2 - 0x80);
    code->param2 = param2;
    code->param1 = static_cast<uint8_t>((FieldByte(panel, high) << 4) | FieldByte(panel, low));
    return code;
}

void ShowScroll(ButtonPanel& panel, const KeyAssignment& code, PanelList list, PanelField amount,
                PanelField high, PanelField low) {
    panel.Field(high) = std::to_string(code.param1 >> 4);
    panel.Field(low) = std::to_string(code.param1 & 0x0F);
    const bool second = (code.param2 & 0x80) != 0;
    panel.Field(amount) = std::to_string(code.param2 & 0x7F);
    panel.List(list) = second ? 1 : 0;
}

int RowOrNone(std::optional<size_t> row) {
    return row ? static_cast<int>(*row) : -1;
}

}  // namespace

long ParseEditNumber(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    constexpr long kCap = 1'000'000'000;
    long value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
        value = std::min(kCap, value * 10 + (text[i] - '0'));
    return negative ? -value : value;
}

bool IsOnlyLeftClick(std::span<const uint8_t> layer, int button) {
    if (button < 0 || button >= kGuardRecords) return false;
    if (KeyAssignment::At(layer, static_cast<size_t>(button)) != kLeftClick) return false;
    for (int n = 0; n < kGuardRecords; ++n)
        if (n != button && KeyAssignment::At(layer, static_cast<size_t>(n)) == kLeftClick)
            return false;
    return true;
}

ButtonShow ShowButtonCode(const KeyAssignment& code, const KeyAssignment& factory, int macroCount) {
    ButtonShow show;
    ButtonPanel& p = show.panel;
    // The key field shows a key only for a key: a key captured for another button never stays
    // behind to be stored by this one.
    p.keyText = std::string();
    p.key.reset();
    auto function = [&p](ButtonFunction f) { p.function = static_cast<int>(f); };
    if (code == factory) {
        function(ButtonFunction::Default);
        return show;
    }
    switch (code.type) {
        case key_type::kNone:
            function(ButtonFunction::Default);
            break;
        case key_type::kMouseButton:
            p.List(PanelList::MouseButton) =
                RowOrNone(FindChoiceByParams(ChoiceList::MouseButton, code));
            function(ButtonFunction::MouseButton);
            break;
        case key_type::kHorizontalScroll:
            ShowScroll(p, code, PanelList::HorizontalScroll, PanelField::HorizontalAmount,
                       PanelField::HorizontalHigh, PanelField::HorizontalLow);
            function(ButtonFunction::HorizontalScroll);
            break;
        case key_type::kVerticalScroll:
            ShowScroll(p, code, PanelList::VerticalScroll, PanelField::VerticalAmount,
                       PanelField::VerticalHigh, PanelField::VerticalLow);
            function(ButtonFunction::VerticalScroll);
            break;
        case key_type::kDpi:
            p.List(PanelList::Dpi) = RowOrNone(FindChoiceByParams(ChoiceList::Dpi, code));
            function(ButtonFunction::Dpi);
            break;
        case key_type::kFire:
            p.Field(PanelField::FireFirst) = std::to_string(code.param1);
            p.Field(PanelField::FireSecond) = std::to_string(code.param2);
            function(ButtonFunction::Fire);
            break;
        case key_type::kKey:
            if (code.param1 != 0 && code.param2 != 0) {
                // A modifier with a key: a shortcut, selected when the list has it.
                if (auto row = FindChoiceByParams(ChoiceList::Shortcut, code))
                    p.List(PanelList::Shortcut) = static_cast<int>(*row);
                function(ButtonFunction::Shortcut);
            } else {
                if (auto row = FindKeyByParams(code))
                    p.keyText = std::string(KeyTable()[*row].textId);
                p.key = code;
                function(ButtonFunction::Key);
                show.captureKey = true;
            }
            break;
        case key_type::kConsumer:
            p.List(PanelList::Media) = RowOrNone(FindChoiceByParams(ChoiceList::Media, code));
            function(ButtonFunction::Media);
            break;
        case key_type::kSystem:
            p.List(PanelList::System) = RowOrNone(FindChoiceByParams(ChoiceList::System, code));
            function(ButtonFunction::System);
            break;
        case key_type::kMacro:
        case key_type::kMacroCounted: {
            const bool known = code.param1 < macroCount;
            p.List(PanelList::Macro) = known ? code.param1 : -1;
            if (code.type == key_type::kMacroCounted) {
                p.Field(PanelField::MacroCount) = std::to_string(code.param2);
                p.List(PanelList::PlayMode) = kCountedPlayMode;
            } else if (known) {
                p.List(PanelList::PlayMode) = code.param2 < kCountedPlayMode ? code.param2 : -1;
            }
            function(ButtonFunction::Macro);
            break;
        }
        case key_type::kCursorScript:
            p.List(PanelList::Script) = code.param1 < kCursorScripts ? code.param1 : -1;
            function(ButtonFunction::CursorScript);
            break;
        case key_type::kDpiShift:
            // Only "DPI off" is an item of its own; the shift of the DPI list stored here shows
            // no item.
            p.function = code.param1 == 0 && code.param2 == 0
                             ? static_cast<int>(ButtonFunction::DpiOff)
                             : -1;
            break;
        default:
            // The device's own codes: the panel offers no item for them.
            p.function = -1;
            break;
    }
    return show;
}

std::optional<KeyAssignment> BuildButtonCode(const ButtonPanel& panel,
                                             const KeyAssignment& factory) {
    if (!panel.function) return std::nullopt;
    switch (static_cast<ButtonFunction>(*panel.function)) {
        case ButtonFunction::Default:
            return factory;
        case ButtonFunction::MouseButton:
            return ListRow(panel, PanelList::MouseButton, ChoiceList::MouseButton);
        case ButtonFunction::HorizontalScroll:
            return BuildScroll(panel, PanelList::HorizontalScroll, ChoiceList::HorizontalScroll,
                               PanelField::HorizontalAmount, PanelField::HorizontalHigh,
                               PanelField::HorizontalLow);
        case ButtonFunction::VerticalScroll:
            return BuildScroll(panel, PanelList::VerticalScroll, ChoiceList::VerticalScroll,
                               PanelField::VerticalAmount, PanelField::VerticalHigh,
                               PanelField::VerticalLow);
        case ButtonFunction::Dpi:
            return ListRow(panel, PanelList::Dpi, ChoiceList::Dpi);
        case ButtonFunction::Fire:
            return KeyAssignment{key_type::kFire, FieldByte(panel, PanelField::FireFirst),
                                 FieldByte(panel, PanelField::FireSecond)};
        case ButtonFunction::Key:
            if (!panel.keyText || panel.keyText->empty() || !panel.key ||
                panel.key->type != key_type::kKey)
                return std::nullopt;
            return panel.key;
        case ButtonFunction::Media:
            return ListRow(panel, PanelList::Media, ChoiceList::Media);
        case ButtonFunction::System:
            return ListRow(panel, PanelList::System, ChoiceList::System);
        case ButtonFunction::Macro: {
            const std::optional<int>& macro = panel.List(PanelList::Macro);
            if (!macro || *macro < 0 || *macro > 0xFF) return std::nullopt;
            const int mode = panel.List(PanelList::PlayMode).value_or(0);
            if (mode == kCountedPlayMode)
                return KeyAssignment{key_type::kMacroCounted, static_cast<uint8_t>(*macro),
                                     FieldByte(panel, PanelField::MacroCount)};
            return KeyAssignment{key_type::kMacro, static_cast<uint8_t>(*macro),
                                 static_cast<uint8_t>(std::clamp(mode, 0, kCountedPlayMode - 1))};
        }
        case ButtonFunction::CursorScript: {
            const std::optional<int>& script = panel.List(PanelList::Script);
            if (!script || *script < 0 || *script >= kCursorScripts) return std::nullopt;
            return KeyAssignment{key_type::kCursorScript, static_cast<uint8_t>(*script), 0};
        }
        case ButtonFunction::Shortcut:
            return ListRow(panel, PanelList::Shortcut, ChoiceList::Shortcut);
        case ButtonFunction::DpiOff:
            return KeyAssignment{key_type::kDpiShift, 0, 0};
    }
    return std::nullopt;
}

std::optional<std::string> LimitPanelField(PanelField field, std::string_view text) {
    const FieldLimit& limit = kFieldLimits[static_cast<size_t>(field)];
    if (text.empty()) return limit.empty ? std::optional<std::string>(limit.empty) : std::nullopt;
    const long value = ParseEditNumber(text);
    const bool plain = std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c));
    });
    if (plain && value >= limit.min && value <= limit.max) return std::nullopt;
    return std::to_string(std::clamp(value, limit.min, limit.max));
}

std::optional<KeyDefinition> SingleKeyFor(const InputEvent& event) {
    const std::optional<size_t> row = FindKeyByVirtualKey(TableVirtualKey(event));
    if (!row || KeyTable()[*row].type != key_type::kKey) return std::nullopt;
    return KeyTable()[*row];
}

}  // namespace vq
