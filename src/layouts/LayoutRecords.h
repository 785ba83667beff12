#pragma once

#include <span>
#include <string_view>

namespace layouts {

enum class ControlKind {
    Label,
    Button,
    EditBox,
    ComboBox,
    GroupBox,
    ProgressBar,
    PictureBox,
    FileDialog,
    ListView,
    SuperButton
};

struct ComboItem {
    std::string_view text;
    int value;
};

struct ColumnRecord {
    std::string_view header;
    int width;
};

// One control, in creation order; left and top are relative to its container
// (the window's client area, or the group box named in container).
struct ControlRecord {
    std::string_view name;
    ControlKind kind;
    std::string_view container;
    int left, top, width, height;
    bool visible;
    bool tab_stop;
    std::string_view caption;
    std::span<const ComboItem> items{};
    std::span<const ColumnRecord> columns{};
    // What a screen reader announces, where the control has no caption of its own and
    // would otherwise borrow its group box's.
    std::string_view accessible_name{};
};

// What a menu item does, kept apart from its caption so that wiring never
// depends on how an item is spelt.
enum class Command {
    None, // a menu heading or a separator
    AddItem,
    BatchAdd,
    DeleteItem,
    ClearAll,
    Quit,
    BitRate128,
    BitRate112,
    BitRate96,
    BitRate64,
    BitRate32,
    BitRate16,
    Stereo,
    Mono,
    OutputFolder,
    StartConversion,
    Help,
    About,
};

// A number in the fixed key table: 1-26 Ctrl+A..Z, 27-38 F1..F12, 39-50 Ctrl+F1..,
// 51-62 Shift+F1.., 63-74 Ctrl+Shift+F1.., 75 Ins, 76 Del; None for no key.
enum class KeyNumber : int { None = 0 };
constexpr KeyNumber ctrl_key(char letter) {
    return static_cast<KeyNumber>(letter - 'A' + 1);
}
constexpr KeyNumber function_key(int n) {
    return static_cast<KeyNumber>(26 + n);
}

struct MenuRecord {
    int level; // 0 menu bar, 1 drop-down item, 2 submenu item
    std::string_view caption;
    KeyNumber key = KeyNumber::None;
    Command command = Command::None;
};

struct WindowRecord {
    std::string_view name;
    std::string_view caption;
    int outer_width, outer_height;
    int client_width, client_height;
    bool minimise_button, maximise_button;
    bool escape_closes;
    std::span<const ControlRecord> controls;
    std::span<const MenuRecord> menu{};
};

const WindowRecord& main_layout();
const WindowRecord& about_layout();

} // namespace layouts
