// The presentation's palette: one current logical palette built from the piece's colours (or a
// built-in table), merged with the system's static colours on palette screens, selected into
// every DC that draws the stage, and named by a 32-bit id so that pictures already mapped to it
// skip colour translation. Also the stage background and the transparent key colour.
//
// Colour tables are LOGPALETTE bytes: u16 version 0x300, u16 count, count x {red, green, blue,
// flags}. Screens here are true colour (palette size 0): the merge never runs on them and the
// system palette calls change nothing, but the merge is kept whole for a palette screen.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/gdi/gdi_object.h"
#include "platform/window/window_types.h"
#include "platform/window/message.h"
#include "runtime/base/mem.h"

constexpr uint16_t kLogPaletteVersion = 0x300;
constexpr size_t kLogPaletteHeader = 4;
// The built-in palettes: custom resource type 264, the LOGPALETTE 20 bytes in.
constexpr uint16_t kPalResourceType = 264;
constexpr uint16_t kPalResourceDeep = 256;   // screens of more than 7 bits
constexpr uint16_t kPalResourceShallow = 16; // the others
constexpr size_t kPalResourceSkip = 20;
// The piece's palette (LOGPALETTE bytes) and its colours.
constexpr uint16_t kPropPiecePalette = 36;
constexpr uint16_t kPropBackgroundColor = 26;
constexpr uint16_t kPropKeyColor = 31;
constexpr uint32_t kAttrNoStaticColors = 0x2010520;  // root icon: the piece wants all colours
constexpr uint32_t kAttrSystemBackground = 0x20A0410; // root icon: the window colour as background
constexpr uint32_t kPalDefaultKeyColor = 0xFF00FF;
constexpr size_t kPalSavedHeader = 6; // u16 0, u32 mode, then the LOGPALETTE

// What the screen tells about colours, read once at start-up.
struct PalSystemInfo {
    int palette_size = 0; // 0 on true-colour screens
    std::vector<plat::PaletteEntry> static_colors; // first half, then last half (20 at most)
    int saved_color_count = 0;
    std::vector<uint32_t> saved_colors;
};

// The id of LOGPALETTE bytes: h = (h rotated right by 8) XOR byte over 4 + 4 x count bytes;
// 0 when the bytes are fewer than the count says.
uint32_t pal_id(std::span<const uint8_t> log_palette);
// The entries of LOGPALETTE bytes; false when the count claims more than the bytes hold.
bool pal_parse(std::span<const uint8_t> log_palette, std::vector<plat::PaletteEntry>& out);
std::vector<uint8_t> pal_log_bytes(const std::vector<plat::PaletteEntry>& entries);
// Merges a table with the reserved colours of a palette of palette_size entries: mode 1
// reserves the static colours, mode 0 only black and white. Duplicates and reserved colours
// go, the entries nearest a reserved colour go until the rest fit, and the reserved colours
// take the first and last places; the entries between get PC_NOCOLLAPSE.
void pal_merge_system_colors(std::vector<plat::PaletteEntry>& table, int palette_size, int mode,
    const std::vector<plat::PaletteEntry>& static_colors);

// Start-up: the screen's palette size and static colours; 0 without a screen DC.
int pal_init_system();
const PalSystemInfo& pal_system_info();
// Tests: what a palette screen would report.
void pal_set_system_info(const PalSystemInfo& info);
// Shutdown: deletes the current palette.
void pal_free_current();
void pal_reset();

plat::GdiObject pal_current();
uint32_t pal_current_id();
bool pal_current_is_piece();
int pal_current_mode();
void pal_set_background(bool on);
int pal_background_count();
// Selects the current palette (as a background palette while the count is positive) and
// realises it: the entries mapped; 0 without a DC or a palette.
uint32_t pal_select_realize(plat::DcHandle dc);

// The piece's palette made current, with its static-colour mode.
bool pal_use_piece_palette();
// A new palette object of the cached piece palette (built first); its id, 0 on failure.
uint32_t pal_create_piece_palette(plat::GdiObject& out);
void pal_forget_piece_palette();
// A palette from the table (empty span: the piece's or the built-in one) with the system
// colours merged: its id, or 0 when nothing could be made (out, when given, the new object).
uint32_t pal_from_colors(std::span<const uint8_t> table, int mode, plat::GdiObject* out);
bool pal_apply(std::span<const uint8_t> table, int mode);
void pal_set_current(plat::GdiObject palette, uint32_t id, bool piece_own, int mode);
// The saved block: u16 0, u32 mode, u16 0x300, u16 n (0 for the piece's own), n entries.
std::vector<uint8_t> pal_save_entries();
// Applies a saved block; the piece's palette when that fails or the block is not one.
bool pal_restore_entries(std::span<const uint8_t> block);
enum : uint32_t {
    kPalFlagNoStatic = 0x1,  // mode 0
    kPalFlagStatic = 0x4,    // mode 1
    kPalFlagPieceMode = 0x8, // the piece's mode
};
enum class PalUse { merged, as_is };
bool pal_set_palette(plat::GdiObject palette, uint32_t flags, PalUse use);

void pal_on_activate();
void pal_on_deactivate();
void pal_on_palette_changed(plat::WindowHandle changed_by);
void pal_refocus_stage();
// White without a piece; the window colour when the piece asks; else its property 26.
uint32_t pal_background_color();
// The piece's property 31; magenta without a piece or the property.
uint32_t pal_key_color();

// The plug-ins' palette notice, which the plug-in host fills; empty: nobody is told.
struct PalHooks {
    void (*plugins_palette_changed)() = nullptr;
};
void pal_set_hooks(const PalHooks& hooks);
