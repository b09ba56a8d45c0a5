// QKTBmpMenu: a selector that shows one item of a picture strip and, when clicked, drops a
// ListPopupBrowse popup with every item stacked to choose from. A choice selects the item and
// tells the parent as WM_COMMAND (id, 1 << 16 | low word of the selector's handle).
#pragma once
#include <cstdint>

#include "platform/window/message.h"

inline constexpr char kBmpMenuClass[] = "QKTBmpMenu";
inline constexpr char kListPopupClass[] = "ListPopupBrowse";
constexpr uint32_t kMsgBmpMenuReload = 1025; // lParam: a new BmpMenuSetup
constexpr uint32_t kMsgBmpMenuGetSelection = 1031;
constexpr uint32_t kMsgBmpMenuSelect = 1038; // wParam: the item
constexpr uint32_t kCmdBmpMenuChosen = 100; // from the popup: lParam 1 << 16 | item

// The creation block (lpCreateParams).
struct BmpMenuSetup {
    char picture[16] = {}; // name in the archive
    int32_t orientation = 0; // 0 items side by side in the picture, 1 stacked
    int32_t count = 1; // items, at least 1
};

bool bmp_menu_register(); // both classes; false when one cannot be registered
