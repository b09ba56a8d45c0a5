// The frame of every dialog of the tutor: an empty popup (dialog 3000) that takes the size of
// its background picture, centred on its owner, paints the picture and lights the hot areas
// live on it.
#pragma once
#include <cstdint>
#include <span>
#include <string_view>

#include "platform/controls/dialog.h"

constexpr int kBitmapDialogTemplate = 3000;

// Runs a modal dialog on the frame; its result, -1 when it could not be made.
intptr_t bitmap_dialog_run(plat::WindowHandle owner, plat::DialogProc proc, plat::LParam param);
// Loads the background and fits the dialog to it; the caller deletes the picture.
plat::GdiObject bitmap_dialog_background(plat::WindowHandle dialog, std::string_view picture);
// Paint, erase and mouse messages of the frame; true when the message was one of them.
bool bitmap_dialog_default(plat::WindowHandle dialog, uint32_t message, plat::WParam wparam,
    plat::LParam lparam, plat::GdiObject background, std::span<const uint16_t> areas);
