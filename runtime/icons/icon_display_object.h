// The picture object of an icon: the display object (kind 1) that shows an icon's authored
// picture, made from the content record, with the text, media and OLE members the picture's
// records build. It draws and hit-tests the picture itself, shifted from where it was authored
// to where the object now lies.
#pragma once
#include "runtime/base/mem.h"
#include "runtime/base/rect.h"
#include "runtime/display/dlist.h"
#include "runtime/display/dobj.h"
#include "runtime/nodes/node_files.h"

#include <cstdint>

struct PigStream;

// The kind data after the record header.
enum : uint32_t {
    kPictureMembers = kDobjHeaderSize,                     // DisplayList of the members
    kPicturePlacement = kPictureMembers + kDlistHeaderSize, // RECT: where the picture lies now
    kPictureSaved = kPicturePlacement + 16,                 // RECT: placement kept by message 13
    kPictureAuthored = kPictureSaved + 16,                  // RECT: the picture's own bounds
    kPictureCover = kPictureAuthored + 16,                  // u16: the cover option
    kPictureRecordSize = kPictureCover + 2,
};

constexpr uint32_t kAttrCoverTest = 0x2030308;
constexpr uint32_t kAttrTextOption = 0x2030520;
// Computed attribute 10: the object lives on the screen plane.
constexpr uint32_t kAttrDirectToScreen = 10;
// Display message that hands members a changed property (word_param, the value in caller_data).
constexpr int kMsgPropertyChanged = 21;
constexpr int kMsgRefreshMember = 20;
// A record too short for what it claims.
constexpr int kErrDamagedRecord = 11;

// What one build of a picture's members works on.
struct DisplayBuild {
    DisplayList* members = nullptr;
    IconId icon = 0;
    int32_t file_slot = 0;
    uint16_t plane = 0;
    uint32_t text_option = 0;
    int32_t member_index = 0; // counts text members
    Rect bounds {};           // every member's bounds are united into it
    int error = 0;            // the first failure
};

// The makers of members the picture's embedded records ask for. Empty entries build nothing,
// so those records show nothing. text and ole receive a movable block with the record's data
// (after its 14-byte head), which they own from then on; media receives the whole record.
// Each answers 0 or an error, which stops the build.
struct DisplayMemberHooks {
    int (*text)(MemHandle data, DisplayBuild& build);
    int (*media)(const uint8_t* record, uint32_t length, DisplayBuild& build);
    int (*ole)(MemHandle data, DisplayBuild& build);
};
void icon_display_set_member_hooks(const DisplayMemberHooks* hooks);

// The layer the icon shows on (the layer override first, else property 1044 clamped) and the
// plane that layer and the direct-to-screen option give (2, 4 or 8).
int32_t icon_display_layer(IconId icon);
uint16_t icon_display_plane(IconId icon, int32_t layer);

// Builds the icon's picture object of that object kind from its content record: the object id,
// or 0 when there is no content (an erase of previous contents still clears the layer), the
// record cannot be read or a member fails (message 45 for both).
uint32_t icon_display_create(IconId icon, uint16_t object_kind);
// Runs the picture once with the member makers: 0 or the first error.
int icon_display_build(MemHandle picture, DisplayBuild& build);

// Message 13, then 11 with the object's bounds centred on the point; the old place is damaged
// and the new one updated.
void icon_display_move(Point point, uint8_t* object);

Rect icon_picture_placement(const uint8_t* object);
Rect icon_picture_authored(const uint8_t* object);
// Bounds := bounds united with the placement.
void icon_picture_unite_placement(uint8_t* object);
// The icon that last showed or moved the object.
IconId icon_picture_shown_by(const uint8_t* object);
void icon_picture_set_shown_by(uint8_t* object, IconId icon);

int32_t icon_display_object_handler(uint8_t* object, int message, DisplayMsgArg* arg);
