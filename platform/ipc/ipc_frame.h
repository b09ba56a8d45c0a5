// Frames between programs: a 16-byte head {u32 "SVPC", u16 version 1, u16 kind, u32 serial,
// u32 payload length}, then the kind's payload, all little-endian and written field by field.
// Frames arrive in any split; the reader takes bytes as they come and refuses a stream at the
// first head it cannot trust, before it allocates anything for that frame.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/window/geometry.h"

namespace plat {

constexpr uint32_t kFrameMagic = 0x43505653; // "SVPC" as it stands in the stream
constexpr uint16_t kFrameVersion = 1;
constexpr size_t kFrameHeadSize = 16;
// The most bytes a copy may carry, and the most any payload may hold.
constexpr uint32_t kCopyDataMax = 16u << 20;
constexpr uint32_t kFramePayloadMax = kCopyDataMax + 64;

enum class FrameKind : uint16_t {
    send = 1,             // MessageFrame; answered by a reply of the same serial
    post = 2,             // MessageFrame; no answer
    copy_data = 3,        // CopyFrame; answered by a reply
    reply = 4,            // ReplyFrame
    snapshot_request = 5, // empty; answered by a snapshot of the same serial
    snapshot = 6,         // the top-level windows of the answering program
    place = 7,            // PlaceFrame; answered by a reply
};

struct Frame {
    FrameKind kind = FrameKind::send;
    uint32_t serial = 0;
    std::vector<uint8_t> payload;
};

// Send flags carried in a MessageFrame.
enum : uint32_t {
    kSendAbortIfHung = 1,
};

struct MessageFrame {
    uint32_t window = 0;
    uint32_t message = 0;
    uint64_t wparam = 0;
    int64_t lparam = 0;
    uint32_t flags = 0;
};

struct CopyFrame {
    uint32_t window = 0;
    uint64_t wparam = 0; // the sender's window, as WM_COPYDATA passes it
    uint64_t dwdata = 0;
    std::vector<uint8_t> bytes;
};

struct ReplyFrame {
    int64_t result = 0;
    uint32_t error = 0; // 0 when the procedure ran
};

// What the owner of a window is asked to do with it.
enum class PlaceOp : uint32_t { show = 1, foreground = 2, position = 3 };

struct PlaceFrame {
    uint32_t window = 0;
    PlaceOp op = PlaceOp::show;
    uint32_t argument = 0; // show: the SW_ command; position: the window to insert after
    int32_t x = 0;
    int32_t y = 0;
    int32_t cx = 0;
    int32_t cy = 0;
    uint32_t flags = 0; // position: SWP_ flags
};

// One top-level window as its program describes it to others; texts are UTF-8.
struct SnapshotWindow {
    uint32_t id = 0;
    uint32_t pid = 0;
    uint32_t style = 0;
    Rect window_rect;
    Rect normal_rect;
    std::string class_name;
    std::string title;
};

struct ProgramSnapshot {
    uint32_t pid = 0;
    uint32_t ms_since_look = 0; // how long ago its window thread last looked at its queue
    std::vector<SnapshotWindow> windows; // front first
};

// A whole frame: head and payload.
std::vector<uint8_t> frame_encode(FrameKind kind, uint32_t serial, const std::vector<uint8_t>& payload);

std::vector<uint8_t> frame_encode_message(const MessageFrame& message);
std::vector<uint8_t> frame_encode_copy(const CopyFrame& copy);
std::vector<uint8_t> frame_encode_reply(const ReplyFrame& reply);
std::vector<uint8_t> frame_encode_place(const PlaceFrame& place);
std::vector<uint8_t> frame_encode_snapshot(const ProgramSnapshot& snapshot);

// Payload readers: false when the payload is not exactly what its kind holds.
bool frame_decode_message(const std::vector<uint8_t>& payload, MessageFrame& out);
bool frame_decode_copy(const std::vector<uint8_t>& payload, CopyFrame& out);
bool frame_decode_reply(const std::vector<uint8_t>& payload, ReplyFrame& out);
bool frame_decode_place(const std::vector<uint8_t>& payload, PlaceFrame& out);
bool frame_decode_snapshot(const std::vector<uint8_t>& payload, ProgramSnapshot& out);

// Reads frames out of a byte stream. feed appends the frames that the bytes complete to out;
// false once the stream is bad (a wrong magic, version or kind, a payload too long or of the
// wrong size for its kind); the connection is then to be closed.
class FrameReader {
public:
    bool feed(const uint8_t* data, size_t size, std::vector<Frame>& out);
    bool failed() const { return m_failed; }

private:
    bool take_head();

    uint8_t m_head[kFrameHeadSize] = {};
    size_t m_head_filled = 0;
    bool m_in_payload = false;
    Frame m_frame;
    size_t m_payload_filled = 0;
    bool m_failed = false;
};

} // namespace plat
