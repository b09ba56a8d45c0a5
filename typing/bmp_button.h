// QkBmpButton: a button drawn from a picture over a part of its dialog's background, with a
// caption in the tutor's font under it. It is pressed while the left button is held on it and
// tells its parent of a click as WM_COMMAND (id, 1126 << 16 | low word of its handle).
#pragma once
#include <cstdint>
#include <string>

#include "platform/window/message.h"
#include "platform/window/window_types.h"

inline constexpr char kBmpButtonClass[] = "QkBmpButton";
constexpr uint32_t kMsgBmpButtonSetup = 1125; // lParam: a BmpButtonSetup, as at creation
constexpr uint32_t kNotifyBmpButtonClick = 1126;
constexpr uint32_t kMsgBmpButtonCaption = 1127; // lParam: a Johab text or null

// The creation block. The button takes the picture and the background part and deletes them.
struct BmpButtonSetup {
    plat::GdiObject picture;
    plat::GdiObject background; // the dialog's background under the button
    int32_t press_offset = 0;
    const char* caption = nullptr; // Johab, copied; null for none
};

bool bmp_button_register(); // false when the class cannot be registered
