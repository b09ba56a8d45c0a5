#include "runtime/icons/icon_display_object.h"

#include "platform/kernel/byte_io.h"
#include "runtime/display/dobj_icon.h"
#include "runtime/display/group.h"
#include "runtime/display/palette.h"
#include "runtime/display/pig_draw.h"
#include "runtime/display/pig_hit.h"
#include "runtime/display/pig_stream.h"
#include "runtime/display/rect_list.h"
#include "runtime/display/refresh.h"
#include "runtime/display/refresh_paint.h"
#include "runtime/engine/icon_props.h"
#include "runtime/engine/modbus.h"
#include "runtime/engine/session.h"
#include "runtime/engine/trig.h"
#include "runtime/icons/icon_display.h"
#include "runtime/nodes/node_attr.h"
#include "runtime/nodes/node_tree.h"
#include "runtime/pieces/lib.h"
#include "runtime/store/rec_store.h"

#include <cstring>
#include <vector>

using plat::load_u16le;
using plat::load_u32le;
using plat::store_u16le;
using plat::store_u32le;

namespace {

constexpr size_t kEmbeddedHead = 14;  // opcode, i32 length and the element's own head
constexpr size_t kMediaDataStart = 46; // the media element's stored data begins here
constexpr int32_t kHitGrow = 2;
constexpr int32_t kAnswerHit = 0xFFFF;

DisplayMemberHooks s_members {};

// --- the content record ---------------------------------------------------------------------

// The icon's picture record, held while in scope; empty without content or when it cannot be read.
class ContentRecord {
public:
    explicit ContentRecord(IconId icon)
    {
        IconId owner = lib_resolve_icon(icon);
        uint16_t number = lib_icon_content_record(icon);
        if (owner == 0 || number == 0)
            return;
        wanted_ = true;
        slot_ = int32_t(node_icon_slot(owner));
        id_ = rec_make_id(uint32_t(slot_), number);
        picture_ = rec_get(id_);
        if (!picture_)
            error_ = rec_error_word();
    }
    ~ContentRecord()
    {
        if (picture_)
            rec_release(id_, kReleaseOne);
    }
    ContentRecord(const ContentRecord&) = delete;
    ContentRecord& operator=(const ContentRecord&) = delete;

    MemHandle picture() const { return picture_; }
    int32_t slot() const { return slot_; }
    // The store's error when the icon names a record that could not be read, else 0.
    int error() const { return wanted_ ? error_ : 0; }

private:
    bool wanted_ = false;
    int32_t slot_ = 0;
    RecordId id_ = 0;
    MemHandle picture_ {};
    int error_ = 0;
};

// --- building the members -------------------------------------------------------------------

struct BuildRun : PigStream {
    DisplayBuild* build = nullptr;
};

DisplayBuild& build_of(PigStream* stream) { return *static_cast<BuildRun*>(stream)->build; }

// The element's data after its head, in a movable block: 0, 11 when the record is shorter than
// its head, 8 without memory.
int copy_data(const PigStream* stream, MemHandle& out)
{
    if (stream->record_length < kEmbeddedHead)
        return kErrDamagedRecord;
    out = mem_alloc_copy(stream->record + kEmbeddedHead, stream->record_length - kEmbeddedHead);
    return out ? 0 : 8;
}

// Makers answer the run's result: a nonzero one stops it, and the error is kept.
int stop_with(DisplayBuild& build, int error)
{
    if (error != 0 && build.error == 0)
        build.error = error;
    return error;
}

// Text and OLE members are made from a copy of the element's data.
using CopiedMaker = int (*)(MemHandle data, DisplayBuild& build);
int build_from_copy(PigStream* stream, CopiedMaker maker)
{
    DisplayBuild& build = build_of(stream);
    if (!maker)
        return 0;
    MemHandle data {};
    if (int error = copy_data(stream, data))
        return stop_with(build, error);
    return stop_with(build, maker(data, build));
}

int build_text(PigStream* stream) { return build_from_copy(stream, s_members.text); }
int build_ole(PigStream* stream) { return build_from_copy(stream, s_members.ole); }

int build_media(PigStream* stream)
{
    DisplayBuild& build = build_of(stream);
    if (stream->record_length < kMediaDataStart)
        return stop_with(build, kErrDamagedRecord);
    if (!s_members.media)
        return 0;
    return stop_with(build, s_members.media(stream->record, stream->record_length, build));
}

// --- the record -----------------------------------------------------------------------------

void set_placement(uint8_t* object, const Rect& rect) { dobj_set_rect(object, kPicturePlacement, rect); }
Rect saved_placement(const uint8_t* object) { return dobj_rect(object, kPictureSaved); }
bool has_members(const uint8_t* object) { return group_members(object).used > 2; }

// The picture lies over its whole bounds and those are all it covers: the refresh need not
// paint what lies behind it.
bool covers_all(const uint8_t* object)
{
    return load_u16le(object + kPictureCover) != 0 && (dobj_flags(object) & kDobjVisible)
        && plat::equal_rect(dobj_rect(object, kDobjBounds), icon_picture_placement(object));
}

Point draw_origin(const uint8_t* object)
{
    Rect placement = icon_picture_placement(object);
    return Point {placement.left, placement.top};
}

// --- messages -------------------------------------------------------------------------------

int32_t draw(uint8_t* object, DisplayMsgArg& arg)
{
    refresh_sound_service();
    IconId icon = dobj_icon_of(object);
    ContentRecord content(icon);
    if (!content.picture())
        return 0;
    Rect bounds = dobj_rect(object, kDobjBounds);
    if (!rlist_select_clip(dobj_list_word(object, kDobjUpdate), &bounds, arg.dc))
        return 0;
    uint32_t kept = pig_set_background_color(pal_background_color());
    Point origin = draw_origin(object);
    PigDrawRequest request;
    request.dc = arg.dc;
    request.picture = content.picture();
    request.file_slot = content.slot();
    request.origin = &origin;
    int result = pig_draw(&request);
    pig_set_background_color(kept);
    if (result != 0) {
        dobj_send(object, kMsgDropUpdate, nullptr);
        exec_report_display_error(icon, result);
        return 0;
    }
    return has_members(object) ? group_handler(object, kMsgDraw, &arg) : 0;
}

// Whether the picture itself is hit at the point, in stage coordinates.
bool picture_hit(const uint8_t* object, int32_t x, int32_t y)
{
    ContentRecord content(dobj_icon_of(object));
    if (!content.picture())
        return false;
    Rect placement = icon_picture_placement(object);
    Rect authored = icon_picture_authored(object);
    Point at {x + authored.left - placement.left, y + authored.top - placement.top};
    Rect test {at.x, at.y, at.x, at.y};
    plat::inflate_rect(test, kHitGrow, kHitGrow);
    return pig_hit_test(content.picture(), content.slot(), at.x, at.y, &test, 0) == kPigHit;
}

bool in_bounds(const uint8_t* object, const DisplayMsgArg& arg)
{
    return plat::pt_in_rect(dobj_rect(object, kDobjBounds), Point {arg.x, arg.y});
}

int32_t hit(uint8_t* object, DisplayMsgArg& arg)
{
    if (!in_bounds(object, arg))
        return 0;
    if (group_handler(object, kMsgHitTest, &arg) != 0)
        return kAnswerHit;
    if (!picture_hit(object, arg.x, arg.y))
        return 0;
    arg.caller_data = object;
    return kAnswerHit;
}

int32_t hit_by_point(uint8_t* object, DisplayMsgArg& arg)
{
    if (arg.sub_code != 0 || !in_bounds(object, arg))
        return 0;
    if (group_handler(object, kMsgHitByPoint, &arg) != 0)
        return 1;
    if (!picture_hit(object, arg.x, arg.y))
        return 0;
    arg.object_id = -1;
    return 1;
}

// The members' updates become the object's own; when the picture covers all it occupies,
// what falls inside it stays with it and only the rest is handed back.
int32_t take_damage(uint8_t* object, DisplayMsgArg& arg)
{
    DisplayList members = group_members(object);
    if (dlist_lock(members)) {
        for (uint8_t* member = dlist_first(members); member; member = dlist_next(member)) {
            RectList own = rlist_append_list(dobj_list_word(object, kDobjUpdate), dobj_list_word(member, kDobjUpdate));
            dobj_set_list_word(object, kDobjUpdate, own);
            dobj_set_list_word(member, kDobjUpdate, 0);
        }
        dlist_unlock(members);
    }
    RectList answer = RectList(group_handler(object, kMsgTakeDamage, &arg));
    if (!covers_all(object))
        return answer;
    RectList inside = 0, outside = 0;
    rlist_split_inside(answer, icon_picture_placement(object), inside, outside);
    dobj_set_list_word(object, kDobjUpdate, rlist_append_list(dobj_list_word(object, kDobjUpdate), inside));
    return outside;
}

int32_t set_bounds(uint8_t* object, DisplayMsgArg& arg)
{
    Rect placement = saved_placement(object);
    rect_map(placement, dobj_rect(object, kDobjBounds), arg.rect, 0);
    set_placement(object, placement);
    group_handler(object, kMsgSetBounds, &arg);
    icon_picture_unite_placement(object);
    return 0;
}

int32_t destroy(uint8_t* object, DisplayMsgArg& arg)
{
    bool had_members = has_members(object);
    IconId icon = dobj_icon_of(object);
    int32_t answer = group_handler(object, kMsgDestroy, &arg);
    if (had_members && !dobj_icon_exists(icon, 0))
        trig_unregister(icon, kTrigDisplay);
    return answer;
}

int32_t erase(uint8_t* object, DisplayMsgArg& arg)
{
    IconId mover = icon_picture_shown_by(object);
    if (mover != 0 && mover != dobj_icon_of(object) && session_sync_waits_mode2())
        exec_sync_event(2, kKindMotion, mover);
    return group_handler(object, kMsgErase, &arg);
}

} // namespace

void icon_display_set_member_hooks(const DisplayMemberHooks* hooks)
{
    s_members = hooks ? *hooks : DisplayMemberHooks {};
}

Rect icon_picture_placement(const uint8_t* object) { return dobj_rect(object, kPicturePlacement); }
Rect icon_picture_authored(const uint8_t* object) { return dobj_rect(object, kPictureAuthored); }
void icon_picture_unite_placement(uint8_t* object)
{
    Rect united;
    plat::union_rect(united, dobj_rect(object, kDobjBounds), icon_picture_placement(object));
    dobj_set_rect(object, kDobjBounds, united);
}
IconId icon_picture_shown_by(const uint8_t* object) { return load_u32le(dobj_icon_tail(object) + kIconTailShownBy); }
void icon_picture_set_shown_by(uint8_t* object, IconId icon)
{
    store_u32le(dobj_icon_tail(object) + kIconTailShownBy, icon);
}

int32_t icon_display_layer(IconId icon)
{
    IconId override_icon = 0;
    int32_t layer = 0;
    icon_layer_override_get(override_icon, layer);
    return override_icon != 0 && override_icon == icon ? layer : icon_eval_property_int16(icon, kPropLayer);
}

uint16_t icon_display_plane(IconId icon, int32_t layer)
{
    if (node_get_attr(icon, kAttrDirectToScreen))
        return kDobjPlaneScreen;
    return layer > 0 ? kDobjPlaneMiddle : kDobjPlaneBottom;
}

int icon_display_build(MemHandle picture, DisplayBuild& build)
{
    BuildRun run;
    run.build = &build;
    if (int error = pig_open(picture, build.file_slot, &run))
        return error;
    DrawStyle style; // the state opcodes change a style of the run's own
    pig_style_init(&style);
    run.style = run.spare_style = &style;
    PigHandlerTable table;
    pig_table_init_base(&table);
    table.slots[kPigOpText] = build_text;
    table.slots[kPigOpOle] = build_ole;
    table.slots[kPigOpMedia] = build_media;
    int result = pig_exec(&run, &table, kPigHighestOpcode);
    pig_close(&run);
    pig_style_free(&style);
    return build.error != 0 ? build.error : result;
}

uint32_t icon_display_create(IconId icon, uint16_t object_kind)
{
    int32_t layer = icon_display_layer(icon);
    uint16_t plane = icon_display_plane(icon, layer);
    ContentRecord content(icon);
    if (!content.picture()) {
        if (content.error() != 0)
            exec_report_icon_error(icon, content.error());
        else if (object_kind == 0 && node_get_attr(icon, kAttrErasePrevious))
            dobj_erase_from_layer(layer);
        return 0;
    }
    Rect authored {};
    (void)pig_bounds(content.picture(), content.slot(), &authored);
    DisplayList members;
    DisplayBuild build;
    build.members = &members;
    build.icon = icon;
    build.file_slot = content.slot();
    build.plane = plane;
    build.text_option = node_get_attr(icon, kAttrTextOption);
    if (int error = icon_display_build(content.picture(), build)) {
        dlist_free(members);
        exec_report_icon_error(icon, error);
        return 0;
    }
    std::vector<uint8_t> record(kPictureRecordSize + kIconTailSize, 0);
    uint8_t* r = record.data();
    store_u16le(r, uint16_t(kPictureRecordSize));
    group_set_members(r, members);
    Rect bounds;
    plat::union_rect(bounds, build.bounds, authored);
    dobj_set_rect(r, kDobjBounds, bounds);
    dobj_set_rect(r, kPicturePlacement, authored);
    dobj_set_rect(r, kPictureSaved, authored);
    dobj_set_rect(r, kPictureAuthored, authored);
    store_u16le(r + kPictureCover, uint16_t(node_get_attr(icon, kAttrCoverTest) != 0));
    uint32_t id = dobj_create_for_icon(r, kKindDisplayIcon, icon, object_kind, plane, layer);
    if (id == 0)
        dlist_free(members);
    return id;
}

void icon_display_move(Point point, uint8_t* object)
{
    Rect bounds = dobj_rect(object, kDobjBounds);
    Rect moved = bounds;
    rect_center_on(point, moved);
    if (plat::equal_rect(moved, bounds))
        return;
    // The old place is damaged on the plane it lies on now: a plane change may follow before
    // the next refresh collects the object's own lists.
    const DobjScreenHooks& screen = dobj_screen_hooks();
    if (screen.damage_rect)
        screen.damage_rect(bounds, dobj_flags(object) & kDobjPlaneBits);
    dobj_send(object, kMsgComputeExtent, nullptr);
    DisplayMsgArg arg;
    arg.rect = moved;
    dobj_send(object, kMsgSetBounds, &arg);
    dobj_send(object, kMsgUpdate, nullptr);
}

int32_t icon_display_object_handler(uint8_t* object, int message, DisplayMsgArg* given)
{
    DisplayMsgArg blank;
    DisplayMsgArg& arg = given ? *given : blank;
    // A record cut short (a damaged restore) has no kind data of ours to read.
    if (dobj_length(object) < kPictureRecordSize + kIconTailSize)
        return dobj_default_handler(object, message, &arg);
    switch (message) {
    case kMsgDraw: return draw(object, arg);
    case kMsgHitTest: return hit(object, arg);
    case kMsgUpdate:
    case kMsgDamage:
        if (message == kMsgUpdate)
            dobj_add_update(object, dobj_rect(object, kDobjBounds));
        else
            dobj_add_damage(object, dobj_rect(object, kDobjBounds));
        return group_handler(object, message, &arg);
    case kMsgTakeDamage: return take_damage(object, arg);
    case kMsgSetBounds: return set_bounds(object, arg);
    case kMsgDestroy: return destroy(object, arg);
    case kMsgComputeExtent:
        dobj_set_rect(object, kPictureSaved, icon_picture_placement(object));
        return group_handler(object, message, &arg);
    case kMsgPropertyChanged:
        group_handler(object, message, &arg);
        icon_picture_unite_placement(object);
        return 0;
    case kMsgErase: return erase(object, arg);
    case kMsgWantsUpdate: return covers_all(object) ? 1 : 0;
    // The outline drawing needs the cached picture drawer, which does not exist yet.
    case kMsgHighlight: return 0;
    case kMsgHitByPoint: return hit_by_point(object, arg);
    default: return group_handler(object, message, &arg);
    }
}
