#include "runtime/ui/cursor.h"

#include <algorithm>
#include <map>
#include <vector>

#include "platform/kernel/byte_io.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/resource.h"
#include "platform/kernel/resource_forms.h"
#include "platform/window/cursor.h"
#include "platform/window/input.h"
#include "runtime/base/mem.h"
#include "runtime/base/taglist.h"
#include "runtime/calc/interp.h"
#include "runtime/calc/sysfn_table.h"
#include "runtime/nodes/node_attr.h"
#include "runtime/nodes/node_files.h"
#include "runtime/nodes/node_tree.h"
#include "runtime/display/text_style.h"
#include "runtime/pieces/piece_current.h"
#include "runtime/pieces/piece_hooks.h"
#include "runtime/store/rec_store.h"

namespace {

constexpr int kFileSlots = 26;
constexpr uint32_t kDirCursorList = 24;
constexpr uint32_t kCursorAttribute = 0x3090002; // a response's stored cursor number
constexpr size_t kItemHeader = 10;
constexpr int kSetCursorIndex = 16;
constexpr int kShowCursorIndex = 70;
constexpr uint32_t kWaitDelay = 1500;
constexpr uint32_t kWaitFrameTime = 500;

// Standard cursors: a system cursor or one of the program's resources, per number.
struct StandardCursor {
    bool system;
    uint32_t id;
};
const StandardCursor kStandard[kCursorStandardCount] = {
    { true, plat::IDC_ARROW },
    { true, plat::IDC_IBEAM },
    { false, 123 }, // thin crosshair
    { false, 122 }, // thick cross with a hollow centre
    { false, 120 }, // blank
    { true, plat::IDC_WAIT },
    { false, 121 }, // pointing hand
};

// Response kinds that store a cursor: Hot Spot, Button, Hot Object.
bool shows_cursor(int response_kind) { return response_kind == 3 || response_kind == 7 || response_kind == 11; }

struct CursorState {
    bool ready = false;
    CursorSpec current;
    CursorSpec fallback; // the default
    int hide_count = 0;
    plat::CursorHandle standard[kCursorStandardCount];
    std::map<int32_t, plat::CursorHandle> custom[kFileSlots];
    int wait_depth = 0;
    uint32_t wait_due = 0;
    int32_t wait_frame = 0;
};
CursorState s_cursors;

plat::CursorHandle program_cursor(int32_t number)
{
    if (number < 0)
        return {};
    return plat::load_cursor(plat::get_program_resource_module(), plat::ResourceId(uint32_t(number)));
}

bool custom_slot(const CursorSpec& wanted, int& slot, int32_t& number)
{
    slot = wanted.value >> 16;
    number = wanted.value & 0xFFFF;
    return wanted.kind == 1 && slot >= 0 && slot < kFileSlots;
}

void show(const CursorSpec& wanted)
{
    if (wanted.kind == 1)
        curs_set(wanted);
    else
        curs_set_standard(wanted.value);
}

// Rows of width / 8 bytes re-padded to the platform's 2-byte rows.
std::vector<uint8_t> padded_mask(const uint8_t* rows, int32_t width, int32_t height)
{
    size_t row_bytes = size_t(width) / 8, stride = plat::mask_stride(size_t(width));
    std::vector<uint8_t> out(stride * size_t(height), 0);
    for (int32_t y = 0; y < height; y++)
        std::copy(rows + size_t(y) * row_bytes, rows + size_t(y + 1) * row_bytes, out.begin() + ptrdiff_t(stride * size_t(y)));
    return out;
}

struct ListLoad {
    int slot;
    int made;
};

// One item: a damaged one (sizes outside 8..256 in steps of 8, masks past the item) is skipped.
int load_item(uint16_t tag, const uint8_t* data, uint16_t length, void* user, uint32_t*)
{
    auto& load = *static_cast<ListLoad*>(user);
    plat::ByteReader r(data, length);
    int32_t hot_x = int16_t(r.u16le()), hot_y = int16_t(r.u16le());
    int32_t width = int16_t(r.u16le()), height = int16_t(r.u16le());
    r.u16le();
    if (r.failed() || width < 8 || height < 1 || width > plat::kCursorMaxSide || height > plat::kCursorMaxSide
        || width % 8 != 0)
        return 1;
    size_t mask_bytes = size_t(width) * size_t(height) / 8;
    if (r.remaining() < 2 * mask_bytes)
        return 1;
    std::vector<uint8_t> and_mask = padded_mask(data + kItemHeader, width, height);
    std::vector<uint8_t> xor_mask = padded_mask(data + kItemHeader + mask_bytes, width, height);
    hot_x = std::clamp(hot_x, 0, width - 1);
    hot_y = std::clamp(hot_y, 0, height - 1);
    plat::CursorHandle made = plat::create_cursor(plat::get_program_resource_module(), hot_x, hot_y, width, height,
        and_mask.data(), xor_mask.data());
    if (!made)
        return 1;
    plat::CursorHandle& held = s_cursors.custom[load.slot][tag];
    if (held)
        plat::destroy_cursor(held); // a damaged list may name a cursor twice: the last counts
    else
        load.made++;
    held = made;
    return 1;
}

int current_file()
{
    uint32_t icon = eval_current_icon();
    return icon ? int(node_icon_slot(icon)) : piece_slot();
}

// SetCursor (n): the default becomes the current file's cursor n; shown at once when the
// cursor on screen was the old default.
void set_cursor_function(int argc, ScriptValue* args, ScriptValue& result)
{
    val_set_integer(0, result);
    if (argc < 1)
        return;
    CursorSpec wanted = curs_from_number(current_file(), val_integer(args[0]));
    CursorSpec previous = curs_set_default(wanted);
    if (curs_spec_equal(s_cursors.current, previous))
        show(wanted);
}

// ShowCursor (n): shown (count 0) for nonzero n, hidden (count -1) for 0; set, not counted.
void show_cursor_function(int argc, ScriptValue* args, ScriptValue& result)
{
    val_set_integer(0, result);
    int target = argc >= 1 && val_integer(args[0]) == 0 ? -1 : 0;
    while (s_cursors.hide_count > target)
        curs_hide_step();
    while (s_cursors.hide_count < target)
        curs_show_step();
}

void load_for_open(int slot) { curs_load_file_cursors(slot); }

// Closing a piece frees the custom cursors of every file (its libraries are closed by then).
void free_all_files()
{
    for (int slot = 0; slot < kFileSlots; slot++)
        curs_free_file_cursors(slot);
}

// The node store, the piece close, the text styles and the calculation language reach the
// cursors through their hooks while the module is up.
void lend_services(bool on)
{
    NodeServices services = node_services();
    services.cursors_and_buttons_load = on ? load_for_open : nullptr;
    node_set_services(&services);
    PieceHooks hooks = piece_hooks();
    hooks.cursors_free = on ? free_all_files : nullptr;
    piece_set_hooks(&hooks);
    text_style_set_cursor_hook(on ? curs_style_cursor : nullptr);
    if (on)
        curs_bind_functions();
}

} // namespace

int curs_init()
{
    curs_term();
    s_cursors.ready = true;
    lend_services(true);
    for (int i = 0; i < kCursorStandardCount; i++) {
        const StandardCursor& c = kStandard[i];
        s_cursors.standard[i] = c.system ? plat::load_cursor({}, plat::ResourceId(c.id)) : program_cursor(int32_t(c.id));
    }
    return 1;
}

void curs_term()
{
    if (s_cursors.ready)
        lend_services(false);
    for (int slot = 0; slot < kFileSlots; slot++)
        for (auto& [number, handle] : s_cursors.custom[slot])
            plat::destroy_cursor(handle);
    s_cursors = CursorState {};
}

int32_t curs_to_number(const CursorSpec& wanted)
{
    return wanted.kind == 1 ? (wanted.value & 0xFFFF) + kCursorCustomBase : wanted.value;
}

CursorSpec curs_from_number(int file, int32_t number)
{
    if (number > kCursorCustomBase && number - kCursorCustomBase <= 0xFFFF)
        return CursorSpec { 1, int32_t(uint32_t(file) << 16 | uint32_t(number - kCursorCustomBase)) };
    if (number >= 0 && number < kCursorStandardCount)
        return CursorSpec { 0, number };
    return CursorSpec {};
}

bool curs_spec_equal(const CursorSpec& a, const CursorSpec& b) { return a.kind == b.kind && a.value == b.value; }

int32_t curs_set_standard(int32_t number)
{
    int32_t previous = curs_to_number(s_cursors.current);
    if (number >= 0 && number < kCursorStandardCount) {
        if (!s_cursors.standard[number])
            return previous;
        plat::set_cursor(s_cursors.standard[number]);
    } else {
        plat::CursorHandle handle = program_cursor(number);
        if (!handle && number >= 0)
            handle = plat::load_cursor({}, plat::ResourceId(uint32_t(number)));
        if (handle)
            plat::set_cursor(handle);
    }
    s_cursors.current = curs_from_number(0, number);
    return previous;
}

CursorSpec curs_set(const CursorSpec& wanted)
{
    CursorSpec previous = s_cursors.current;
    int slot;
    int32_t number;
    plat::CursorHandle handle = custom_slot(wanted, slot, number) ? curs_custom_handle(slot, number) : plat::CursorHandle {};
    if (!handle)
        handle = program_cursor(curs_to_number(wanted));
    if (handle)
        plat::set_cursor(handle);
    s_cursors.current = wanted;
    return previous;
}

CursorSpec curs_current() { return s_cursors.current; }
CursorSpec curs_default() { return s_cursors.fallback; }

CursorSpec curs_set_default(const CursorSpec& wanted)
{
    CursorSpec previous = s_cursors.fallback;
    s_cursors.fallback = wanted;
    return previous;
}

void curs_restore_default()
{
    if (s_cursors.hide_count < 0)
        plat::set_cursor({});
    else
        show(s_cursors.fallback);
}

CursorSpec curs_for_icon(uint32_t response)
{
    if (response == 0 || !shows_cursor(node_layout_class(response)))
        return CursorSpec {};
    return curs_from_number(int(node_icon_slot(response)), int16_t(node_get_attr(response, kCursorAttribute)));
}

void curs_hide_step()
{
    if (--s_cursors.hide_count < 0)
        plat::set_cursor({});
}

void curs_show_step()
{
    if (s_cursors.hide_count >= 0)
        return;
    if (++s_cursors.hide_count == 0)
        curs_restore_default();
}

int curs_hide_count() { return s_cursors.hide_count; }

void curs_wait_begin()
{
    if (s_cursors.wait_depth++ > 0)
        return;
    s_cursors.wait_due = plat::get_tick_count() + kWaitDelay;
    s_cursors.wait_frame = kCursorWaitFirst - 1;
}

void curs_wait_step()
{
    uint32_t now = plat::get_tick_count();
    if (s_cursors.wait_depth <= 0 || int32_t(now - s_cursors.wait_due) < 0)
        return; // signed difference: the tick count may wrap
    s_cursors.wait_due = now + kWaitFrameTime;
    s_cursors.wait_frame = s_cursors.wait_frame >= kCursorWaitLast ? kCursorWaitFirst : s_cursors.wait_frame + 1;
    if (plat::CursorHandle frame = program_cursor(s_cursors.wait_frame))
        plat::set_cursor(frame);
}

void curs_wait_end()
{
    if (s_cursors.wait_depth <= 0)
        return;
    if (--s_cursors.wait_depth == 0)
        plat::set_cursor(plat::load_cursor({}, plat::ResourceId(plat::IDC_ARROW)));
}

int curs_load_cursor_list(int slot, const uint8_t* bytes, size_t size)
{
    if (slot < 0 || slot >= kFileSlots || !bytes)
        return 0;
    ListLoad load { slot, 0 };
    taglist_for_each_locked(bytes, size, load_item, &load, nullptr);
    return load.made;
}

int curs_load_file_cursors(int slot)
{
    if (slot < 0 || slot >= kFileSlots)
        return 0;
    uint16_t number = node_dir_word(slot, kDirCursorList);
    if (number == 0)
        return 0;
    RecordId id = rec_make_id(uint32_t(slot), number);
    MemHandle block = rec_get(id);
    if (!block)
        return 0;
    int made = 0;
    if (const auto* bytes = static_cast<const uint8_t*>(mem_lock(block))) {
        made = curs_load_cursor_list(slot, bytes, mem_size(block));
        mem_unlock(block);
    }
    rec_release(id, kReleaseOne);
    return made;
}

void curs_free_file_cursors(int slot)
{
    if (slot < 0 || slot >= kFileSlots)
        return;
    for (auto& [number, handle] : s_cursors.custom[slot])
        plat::destroy_cursor(handle);
    s_cursors.custom[slot].clear();
    int shown_slot;
    int32_t shown_number;
    if (custom_slot(s_cursors.current, shown_slot, shown_number) && shown_slot == slot)
        curs_set_standard(0);
}

plat::CursorHandle curs_custom_handle(int slot, int32_t number)
{
    if (slot < 0 || slot >= kFileSlots)
        return {};
    auto found = s_cursors.custom[slot].find(number);
    return found == s_cursors.custom[slot].end() ? plat::CursorHandle {} : found->second;
}

uint32_t curs_style_cursor(int stored_number)
{
    CursorSpec wanted = curs_from_number(piece_slot(), stored_number);
    int slot;
    int32_t number;
    if (custom_slot(wanted, slot, number))
        return curs_custom_handle(slot, number).id;
    return s_cursors.standard[wanted.value].id;
}

void curs_bind_functions()
{
    sysfn_bind(kSetCursorIndex, set_cursor_function);
    sysfn_bind(kShowCursorIndex, show_cursor_function);
}
