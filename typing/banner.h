// The help banner on the menu screen: a bitmap static (child 1101) that lights while the mouse
// is over it and, when clicked, posts WM_COMMAND 1101 with notification code 100 to the main
// window, which starts the companion help program.
#pragma once
#include <cstdint>

#include "platform/window/message.h"
#include "platform/window/window_types.h"

constexpr uint16_t kBannerId = 1101;
constexpr uint16_t kNotifyBannerClick = 100;
constexpr uint32_t kBannerTimer = 1;
constexpr uint32_t kBannerTickMs = 100;
constexpr int32_t kBannerX = 402;
constexpr int32_t kBannerY = 74;

// Creates the banner, hidden, with its normal picture; null when it cannot be made.
plat::WindowHandle banner_create(plat::WindowHandle main);
plat::WindowHandle banner_window();
void banner_show(bool shown);
int banner_state(); // 0 normal, 1 under the mouse, 2 pressed
