#include "runtime/display/palette.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_set>

#include "platform/gdi/dc.h"
#include "platform/gdi/palette.h"
#include "platform/kernel/resource.h"
#include "platform/window/focus.h"
#include "platform/window/metrics.h"
#include "platform/window/window.h"
#include "runtime/display/refresh.h"
#include "runtime/nodes/node_attr.h"
#include "runtime/nodes/node_group.h"
#include "runtime/pieces/piece_current.h"
#include "runtime/pieces/piece_hooks.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
// Which of the colours to save become white when the static colours are given up.
constexpr uint32_t kNoStaticWhiteBits = 0x10DA3B;

struct PaletteState {
    plat::GdiObject current;
    uint32_t id = 0;
    bool piece_own = false;
    int mode = 1;
    bool switched = false;
    bool active = true;
    int background_count = 0;
    std::vector<uint8_t> piece_cache; // merged LOGPALETTE of the piece; empty: not built
    uint32_t piece_cache_id = 0;
    PalSystemInfo system;
    bool in_system_change = false;
    PalHooks hooks;
};

PaletteState s_pal;

uint16_t read_u16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

void put_u16(std::vector<uint8_t>& out, uint16_t value)
{
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}

int colour_distance(const plat::PaletteEntry& a, const plat::PaletteEntry& b)
{
    return std::abs(a.red - b.red) + std::abs(a.green - b.green) + std::abs(a.blue - b.blue);
}

uint32_t rgb_key(const plat::PaletteEntry& entry) { return uint32_t(entry.red) << 16 | uint32_t(entry.green) << 8 | entry.blue; }

// A table may hold 65535 entries: one pass with a set of the colours seen, not a pairwise one.
void remove_duplicates_and_reserved(std::vector<plat::PaletteEntry>& table, const std::vector<plat::PaletteEntry>& reserved)
{
    std::unordered_set<uint32_t> seen;
    for (const plat::PaletteEntry& colour : reserved)
        seen.insert(rgb_key(colour));
    std::vector<plat::PaletteEntry> kept;
    for (const plat::PaletteEntry& entry : table) {
        if (seen.insert(rgb_key(entry)).second)
            kept.push_back(entry);
    }
    table = std::move(kept);
}

// Drops the entries of the closest (reserved colour, entry) pairs until count remain.
void remove_nearest(std::vector<plat::PaletteEntry>& table, size_t count, const std::vector<plat::PaletteEntry>& reserved)
{
    while (table.size() > count && !reserved.empty()) {
        struct Pair {
            int distance;
            size_t entry;
        };
        std::vector<Pair> pairs;
        for (const plat::PaletteEntry& colour : reserved)
            for (size_t i = 0; i < table.size(); i++)
                pairs.push_back({colour_distance(colour, table[i]), i});
        std::stable_sort(pairs.begin(), pairs.end(), [](const Pair& a, const Pair& b) { return a.distance < b.distance; });
        size_t wanted = table.size() - count;
        std::vector<bool> taken(table.size());
        size_t taken_count = 0;
        for (size_t i = 0; i < pairs.size() && taken_count < wanted; i++) {
            if (!taken[pairs[i].entry]) {
                taken[pairs[i].entry] = true;
                taken_count++;
            }
        }
        // Removing the taken ones from the highest index down leaves the rest in order.
        size_t next = 0;
        for (size_t i = 0; i < table.size(); i++)
            if (!taken[i])
                table[next++] = table[i];
        table.resize(next);
    }
}

plat::DcHandle screen_dc() { return plat::get_dc(plat::WindowHandle{}); }
void release_screen_dc(plat::DcHandle dc) { plat::release_dc(plat::WindowHandle{}, dc); }

// The piece's mode: 1 keeps the static colours, 0 gives them up.
int piece_mode()
{
    IconId root = piece_top_icon();
    return root && node_get_attr(root, kAttrNoStaticColors) ? 0 : 1;
}

int screen_bits()
{
    plat::DcHandle dc = screen_dc();
    if (!dc)
        return 0;
    int bits = plat::get_device_caps(dc, plat::BITSPIXEL) * plat::get_device_caps(dc, plat::PLANES);
    release_screen_dc(dc);
    return bits;
}

// The piece's property 36 when it holds a whole LOGPALETTE; else the built-in table.
std::vector<uint8_t> default_table()
{
    bool deep = screen_bits() > 7;
    IconId root = piece_top_icon();
    if (deep && root) {
        uint16_t length = 0;
        if (uint8_t* data = node_lock_prop(root, kPropPiecePalette, &length)) {
            std::vector<uint8_t> bytes(data, data + length);
            node_unlock_prop(root, kPropPiecePalette, 0, data);
            std::vector<plat::PaletteEntry> entries;
            if (pal_parse(bytes, entries))
                return pal_log_bytes(entries);
        }
    }
    plat::ResourceBytes resource = plat::find_resource(plat::ModuleHandle{}, plat::ResourceId(kPalResourceType),
        plat::ResourceId(deep ? kPalResourceDeep : kPalResourceShallow));
    if (resource.size < kPalResourceSkip)
        return {};
    std::vector<plat::PaletteEntry> entries;
    if (!pal_parse(std::span<const uint8_t>(resource.data + kPalResourceSkip, resource.size - kPalResourceSkip), entries))
        return {};
    return pal_log_bytes(entries);
}

// A colour property of the root icon (4 bytes); the fallback without a piece or the property.
uint32_t root_colour(uint16_t tag, uint32_t fallback)
{
    IconId root = piece_top_icon();
    uint16_t length = 0;
    uint8_t* data = root ? node_lock_prop(root, tag, &length) : nullptr;
    if (!data)
        return fallback;
    uint32_t colour = length >= 4 ? uint32_t(data[0] | data[1] << 8 | data[2] << 16 | uint32_t(data[3]) << 24) : fallback;
    node_unlock_prop(root, tag, 0, data);
    return colour;
}

// The mode applied to the system palette (our screens have none, so the calls change nothing).
void apply_mode(int mode)
{
    plat::WindowHandle main = piece_hooks().main_window ? piece_hooks().main_window() : plat::WindowHandle{};
    plat::DcHandle dc = plat::get_dc(main);
    if (!dc)
        return;
    plat::GdiObject previous = plat::select_palette(dc, s_pal.current, false);
    uint32_t wanted = mode == 0 ? plat::SYSPAL_NOSTATIC : plat::SYSPAL_STATIC;
    bool changed = false;
    if (plat::get_system_palette_use(dc) != wanted && !s_pal.in_system_change) {
        s_pal.in_system_change = true;
        plat::set_system_palette_use(dc, wanted);
        plat::unrealize_object(s_pal.current);
        s_pal.in_system_change = false;
        changed = plat::get_system_palette_use(dc) == wanted;
    }
    uint32_t mapped = plat::realize_palette(dc);
    if (mapped != 0 && mapped != plat::CLR_INVALID)
        dobj_rebuild_background_brush();
    if (changed && s_pal.system.palette_size > 0) {
        int count = s_pal.system.saved_color_count;
        std::vector<int> indices(static_cast<size_t>(count));
        std::vector<uint32_t> colours(static_cast<size_t>(count));
        for (int i = 0; i < count; i++) {
            indices[size_t(i)] = i;
            if (wanted == plat::SYSPAL_NOSTATIC)
                colours[size_t(i)] = (kNoStaticWhiteBits >> i) & 1 ? kWhite : 0;
            else if (size_t(i) < s_pal.system.saved_colors.size())
                colours[size_t(i)] = s_pal.system.saved_colors[size_t(i)];
        }
        plat::set_sys_colors(count, indices.data(), colours.data());
    }
    plat::select_palette(dc, previous, false);
    plat::release_dc(main, dc);
}

} // namespace

uint32_t pal_id(std::span<const uint8_t> log_palette)
{
    if (log_palette.size() < kLogPaletteHeader)
        return 0;
    size_t count = read_u16(log_palette.data() + 2);
    if (count > (log_palette.size() - kLogPaletteHeader) / 4)
        return 0;
    uint32_t h = 0;
    for (size_t i = 0; i < kLogPaletteHeader + 4 * count; i++)
        h = ((h >> 8) | (h << 24)) ^ log_palette[i];
    return h;
}

bool pal_parse(std::span<const uint8_t> log_palette, std::vector<plat::PaletteEntry>& out)
{
    out.clear();
    if (log_palette.size() < kLogPaletteHeader)
        return false;
    size_t count = read_u16(log_palette.data() + 2);
    if (count > (log_palette.size() - kLogPaletteHeader) / 4)
        return false;
    for (size_t i = 0; i < count; i++) {
        const uint8_t* p = log_palette.data() + kLogPaletteHeader + 4 * i;
        out.push_back(plat::PaletteEntry{p[0], p[1], p[2], p[3]});
    }
    return true;
}

std::vector<uint8_t> pal_log_bytes(const std::vector<plat::PaletteEntry>& entries)
{
    std::vector<uint8_t> out;
    put_u16(out, kLogPaletteVersion);
    put_u16(out, uint16_t(std::min<size_t>(entries.size(), plat::kPaletteMaxEntries)));
    for (size_t i = 0; i < entries.size() && i < plat::kPaletteMaxEntries; i++) {
        const plat::PaletteEntry& entry = entries[i];
        out.insert(out.end(), {entry.red, entry.green, entry.blue, entry.flags});
    }
    return out;
}

void pal_merge_system_colors(std::vector<plat::PaletteEntry>& table, int palette_size, int mode,
    const std::vector<plat::PaletteEntry>& static_colors)
{
    if (palette_size <= 0)
        return;
    std::vector<plat::PaletteEntry> reserved = mode == 1
        ? static_colors
        : std::vector<plat::PaletteEntry>{{0, 0, 0, 0}, {255, 255, 255, 0}};
    size_t size = size_t(palette_size);
    if (reserved.size() > size)
        reserved.resize(size);
    remove_duplicates_and_reserved(table, reserved);
    if (table.size() < size)
        table.resize(size);
    size_t half = reserved.size() / 2;
    size_t room = size - reserved.size();
    remove_nearest(table, room, reserved);
    for (plat::PaletteEntry& entry : table)
        entry.flags = plat::PC_NOCOLLAPSE;
    std::vector<plat::PaletteEntry> merged(reserved.begin(), reserved.begin() + std::ptrdiff_t(half));
    merged.insert(merged.end(), table.begin(), table.end());
    merged.resize(size - half);
    merged.insert(merged.end(), reserved.end() - std::ptrdiff_t(half), reserved.end());
    table = std::move(merged);
}

int pal_init_system()
{
    plat::DcHandle dc = screen_dc();
    if (!dc)
        return 0;
    PalSystemInfo info;
    if (plat::get_device_caps(dc, plat::RASTERCAPS) & plat::RC_PALETTE) {
        info.palette_size = plat::get_device_caps(dc, plat::SIZEPALETTE);
        int statics = std::clamp(plat::get_device_caps(dc, plat::NUMCOLORS), 0, 20);
        std::vector<plat::PaletteEntry> entries(size_t(info.palette_size));
        plat::get_system_palette_entries(dc, 0, uint32_t(info.palette_size), entries.data());
        for (int i = 0; i < statics / 2; i++)
            info.static_colors.push_back(entries[size_t(i)]);
        for (int i = info.palette_size - statics / 2; i < info.palette_size; i++)
            info.static_colors.push_back(entries[size_t(i)]);
        info.saved_color_count = 24;
        for (int i = 0; i < info.saved_color_count; i++)
            info.saved_colors.push_back(plat::get_sys_color(i));
    }
    release_screen_dc(dc);
    s_pal.system = std::move(info);
    return 1;
}

const PalSystemInfo& pal_system_info() { return s_pal.system; }
void pal_set_system_info(const PalSystemInfo& info) { s_pal.system = info; }

void pal_free_current()
{
    if (s_pal.current)
        plat::delete_object(s_pal.current);
    s_pal.current = {};
    s_pal.id = 0;
}

void pal_reset()
{
    pal_free_current();
    PalHooks hooks = s_pal.hooks;
    s_pal = PaletteState{};
    s_pal.hooks = hooks;
}

plat::GdiObject pal_current() { return s_pal.current; }
uint32_t pal_current_id() { return s_pal.id; }
bool pal_current_is_piece() { return s_pal.piece_own; }
int pal_current_mode() { return s_pal.mode; }

void pal_set_background(bool on) { s_pal.background_count += on ? 1 : -1; }
int pal_background_count() { return s_pal.background_count; }

uint32_t pal_select_realize(plat::DcHandle dc)
{
    if (!dc || !s_pal.current)
        return 0;
    if (!plat::select_palette(dc, s_pal.current, s_pal.background_count > 0))
        return 0;
    uint32_t mapped = plat::realize_palette(dc);
    return mapped == plat::CLR_INVALID ? 0 : mapped;
}

bool pal_use_piece_palette()
{
    plat::GdiObject palette;
    uint32_t id = pal_create_piece_palette(palette);
    if (!palette)
        return false;
    pal_set_current(palette, id, true, piece_mode());
    return true;
}

uint32_t pal_create_piece_palette(plat::GdiObject& out)
{
    out = {};
    if (s_pal.piece_cache.empty()) {
        std::vector<uint8_t> table = default_table();
        std::vector<plat::PaletteEntry> entries;
        if (!pal_parse(table, entries))
            return 0;
        pal_merge_system_colors(entries, s_pal.system.palette_size, piece_mode(), s_pal.system.static_colors);
        s_pal.piece_cache = pal_log_bytes(entries);
        s_pal.piece_cache_id = pal_id(s_pal.piece_cache);
    }
    std::vector<plat::PaletteEntry> entries;
    if (!pal_parse(s_pal.piece_cache, entries) || entries.empty())
        return 0;
    out = plat::create_palette(entries.data(), uint32_t(entries.size()));
    return out ? s_pal.piece_cache_id : 0;
}

void pal_forget_piece_palette()
{
    s_pal.piece_cache.clear();
    s_pal.piece_cache_id = 0;
}

uint32_t pal_from_colors(std::span<const uint8_t> table, int mode, plat::GdiObject* out)
{
    if (out)
        *out = {};
    std::vector<uint8_t> own;
    if (table.empty()) {
        own = default_table();
        table = own;
    }
    std::vector<plat::PaletteEntry> entries;
    if (!pal_parse(table, entries) || entries.empty())
        return 0;
    pal_merge_system_colors(entries, s_pal.system.palette_size, mode, s_pal.system.static_colors);
    std::vector<uint8_t> merged = pal_log_bytes(entries);
    if (out) {
        *out = plat::create_palette(entries.data(), uint32_t(entries.size()));
        if (!*out)
            return 0;
    }
    return pal_id(merged);
}

bool pal_apply(std::span<const uint8_t> table, int mode)
{
    plat::GdiObject palette;
    uint32_t id = pal_from_colors(table, mode, &palette);
    if (!palette)
        return false;
    pal_set_current(palette, id, table.empty(), mode);
    return true;
}

void pal_set_current(plat::GdiObject palette, uint32_t id, bool piece_own, int mode)
{
    if (s_pal.current && s_pal.current != palette)
        plat::delete_object(s_pal.current);
    s_pal.current = palette;
    s_pal.id = id;
    s_pal.piece_own = piece_own;
    s_pal.mode = mode;
    s_pal.switched = false;
    if (s_pal.active)
        pal_on_activate();
}

std::vector<uint8_t> pal_save_entries()
{
    std::vector<uint8_t> block;
    put_u16(block, 0);
    uint32_t mode = uint32_t(s_pal.mode);
    block.insert(block.end(), {uint8_t(mode), uint8_t(mode >> 8), uint8_t(mode >> 16), uint8_t(mode >> 24)});
    std::vector<plat::PaletteEntry> entries;
    if (!s_pal.piece_own && s_pal.current) {
        entries.resize(plat::get_palette_entries(s_pal.current, 0, 0, nullptr));
        plat::get_palette_entries(s_pal.current, 0, uint32_t(entries.size()), entries.data());
    }
    std::vector<uint8_t> table = pal_log_bytes(entries);
    block.insert(block.end(), table.begin(), table.end());
    return block;
}

bool pal_restore_entries(std::span<const uint8_t> block)
{
    if (block.size() >= kPalSavedHeader + kLogPaletteHeader && read_u16(block.data()) == 0) {
        int mode = int(uint32_t(block[2]) | uint32_t(block[3]) << 8 | uint32_t(block[4]) << 16 | uint32_t(block[5]) << 24);
        std::span<const uint8_t> table = block.subspan(kPalSavedHeader);
        std::vector<plat::PaletteEntry> entries;
        // Counts are checked against the block: a damaged one falls back to the piece palette.
        if (pal_parse(table, entries) && (mode == 0 || mode == 1)) {
            if (pal_apply(entries.empty() ? std::span<const uint8_t>() : table, mode))
                return true;
        }
    }
    return pal_use_piece_palette();
}

bool pal_set_palette(plat::GdiObject palette, uint32_t flags, PalUse use)
{
    int mode = s_pal.mode;
    if (flags & kPalFlagNoStatic)
        mode = 0;
    else if (flags & kPalFlagStatic)
        mode = 1;
    else if (flags & kPalFlagPieceMode)
        mode = piece_mode();
    if (palette && use == PalUse::as_is) {
        pal_set_current(palette, 0, false, mode);
        return true;
    }
    std::vector<plat::PaletteEntry> entries(plat::get_palette_entries(palette, 0, 0, nullptr));
    if (entries.empty())
        return false;
    plat::get_palette_entries(palette, 0, uint32_t(entries.size()), entries.data());
    if (!pal_apply(pal_log_bytes(entries), mode))
        return false;
    plat::delete_object(palette);
    return true;
}

void pal_on_activate()
{
    s_pal.active = true;
    if (!piece_is_open() || !s_pal.current || s_pal.switched)
        return;
    pal_refocus_stage();
    apply_mode(s_pal.mode);
    s_pal.switched = true;
}

void pal_on_deactivate()
{
    s_pal.active = false;
    if (!s_pal.switched)
        return;
    apply_mode(1);
    s_pal.switched = false;
}

void pal_on_palette_changed(plat::WindowHandle changed_by)
{
    plat::WindowHandle main = piece_hooks().main_window ? piece_hooks().main_window() : plat::WindowHandle{};
    if (changed_by && changed_by == main) {
        if (s_pal.hooks.plugins_palette_changed)
            s_pal.hooks.plugins_palette_changed();
        return;
    }
    plat::DcHandle dc = plat::get_dc(main);
    if (!dc)
        return;
    plat::GdiObject previous = s_pal.current ? plat::select_palette(dc, s_pal.current, false) : plat::GdiObject{};
    uint32_t mapped = s_pal.current ? plat::realize_palette(dc) : 0;
    if (mapped != 0 && mapped != plat::CLR_INVALID)
        dobj_rebuild_background_brush();
    if (previous)
        plat::select_palette(dc, previous, false);
    plat::release_dc(main, dc);
}

void pal_refocus_stage()
{
    plat::WindowHandle stage = screen_window();
    plat::WindowHandle focus = plat::get_focus();
    if (!stage || !focus || focus == stage)
        return;
    uint32_t focus_process = 0;
    uint32_t own_process = 0;
    plat::get_window_thread_process_id(focus, &focus_process);
    plat::get_window_thread_process_id(stage, &own_process);
    if (focus_process == own_process)
        plat::set_focus(stage);
}

uint32_t pal_background_color()
{
    IconId root = piece_top_icon();
    if (root && node_get_attr(root, kAttrSystemBackground))
        return plat::get_sys_color(plat::COLOR_WINDOW);
    return root_colour(kPropBackgroundColor, kWhite);
}

uint32_t pal_key_color() { return root_colour(kPropKeyColor, kPalDefaultKeyColor); }

void pal_set_hooks(const PalHooks& hooks) { s_pal.hooks = hooks; }
