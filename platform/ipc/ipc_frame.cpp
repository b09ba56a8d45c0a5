#include "platform/ipc/ipc_frame.h"

#include <algorithm>
#include <cstring>

#include "platform/kernel/byte_io.h"

namespace plat {

constexpr uint32_t kMessagePayload = 28;
constexpr uint32_t kCopyHead = 24;
constexpr uint32_t kReplyPayload = 12;
constexpr uint32_t kPlacePayload = 32;
constexpr uint32_t kSnapshotHead = 12;
constexpr uint32_t kSnapshotWindowMin = 48; // the fixed fields and both text lengths

static void put_u64(ByteWriter& w, uint64_t v)
{
    w.u32le(uint32_t(v));
    w.u32le(uint32_t(v >> 32));
}

static uint64_t get_u64(ByteReader& r)
{
    uint64_t low = r.u32le();
    return low | uint64_t(r.u32le()) << 32;
}

static void put_rect(ByteWriter& w, const Rect& rect)
{
    w.u32le(uint32_t(rect.left));
    w.u32le(uint32_t(rect.top));
    w.u32le(uint32_t(rect.right));
    w.u32le(uint32_t(rect.bottom));
}

static Rect get_rect(ByteReader& r)
{
    Rect rect;
    rect.left = r.i32le();
    rect.top = r.i32le();
    rect.right = r.i32le();
    rect.bottom = r.i32le();
    return rect;
}

std::vector<uint8_t> frame_encode(FrameKind kind, uint32_t serial, const std::vector<uint8_t>& payload)
{
    std::vector<uint8_t> out;
    out.reserve(kFrameHeadSize + payload.size());
    ByteWriter w(out);
    w.u32le(kFrameMagic);
    w.u16le(kFrameVersion);
    w.u16le(uint16_t(kind));
    w.u32le(serial);
    w.u32le(uint32_t(payload.size()));
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

std::vector<uint8_t> frame_encode_message(const MessageFrame& message)
{
    std::vector<uint8_t> out;
    ByteWriter w(out);
    w.u32le(message.window);
    w.u32le(message.message);
    put_u64(w, message.wparam);
    put_u64(w, uint64_t(message.lparam));
    w.u32le(message.flags);
    return out;
}

std::vector<uint8_t> frame_encode_copy(const CopyFrame& copy)
{
    std::vector<uint8_t> out;
    out.reserve(kCopyHead + copy.bytes.size());
    ByteWriter w(out);
    w.u32le(copy.window);
    put_u64(w, copy.wparam);
    put_u64(w, copy.dwdata);
    w.u32le(uint32_t(copy.bytes.size()));
    out.insert(out.end(), copy.bytes.begin(), copy.bytes.end());
    return out;
}

std::vector<uint8_t> frame_encode_reply(const ReplyFrame& reply)
{
    std::vector<uint8_t> out;
    ByteWriter w(out);
    put_u64(w, uint64_t(reply.result));
    w.u32le(reply.error);
    return out;
}

std::vector<uint8_t> frame_encode_place(const PlaceFrame& place)
{
    std::vector<uint8_t> out;
    ByteWriter w(out);
    w.u32le(place.window);
    w.u32le(uint32_t(place.op));
    w.u32le(place.argument);
    w.u32le(uint32_t(place.x));
    w.u32le(uint32_t(place.y));
    w.u32le(uint32_t(place.cx));
    w.u32le(uint32_t(place.cy));
    w.u32le(place.flags);
    return out;
}

static void put_text(ByteWriter& w, const std::string& text)
{
    size_t length = std::min<size_t>(text.size(), 0xFFFF);
    w.u16le(uint16_t(length));
    w.bytes(text.data(), length);
}

std::vector<uint8_t> frame_encode_snapshot(const ProgramSnapshot& snapshot)
{
    std::vector<uint8_t> out;
    ByteWriter w(out);
    w.u32le(snapshot.pid);
    w.u32le(snapshot.ms_since_look);
    w.u32le(uint32_t(snapshot.windows.size()));
    for (const SnapshotWindow& window : snapshot.windows) {
        w.u32le(window.id);
        w.u32le(window.pid);
        w.u32le(window.style);
        put_rect(w, window.window_rect);
        put_rect(w, window.normal_rect);
        put_text(w, window.class_name);
        put_text(w, window.title);
    }
    return out;
}

bool frame_decode_message(const std::vector<uint8_t>& payload, MessageFrame& out)
{
    if (payload.size() != kMessagePayload)
        return false;
    ByteReader r(payload.data(), payload.size());
    out.window = r.u32le();
    out.message = r.u32le();
    out.wparam = get_u64(r);
    out.lparam = int64_t(get_u64(r));
    out.flags = r.u32le();
    return !r.failed();
}

bool frame_decode_copy(const std::vector<uint8_t>& payload, CopyFrame& out)
{
    ByteReader r(payload.data(), payload.size());
    out.window = r.u32le();
    out.wparam = get_u64(r);
    out.dwdata = get_u64(r);
    uint32_t count = r.u32le();
    if (r.failed() || count > kCopyDataMax || count != r.remaining())
        return false;
    out.bytes.assign(r.current(), r.current() + count);
    return true;
}

bool frame_decode_reply(const std::vector<uint8_t>& payload, ReplyFrame& out)
{
    if (payload.size() != kReplyPayload)
        return false;
    ByteReader r(payload.data(), payload.size());
    out.result = int64_t(get_u64(r));
    out.error = r.u32le();
    return !r.failed();
}

bool frame_decode_place(const std::vector<uint8_t>& payload, PlaceFrame& out)
{
    if (payload.size() != kPlacePayload)
        return false;
    ByteReader r(payload.data(), payload.size());
    out.window = r.u32le();
    uint32_t op = r.u32le();
    if (op < uint32_t(PlaceOp::show) || op > uint32_t(PlaceOp::position))
        return false;
    out.op = PlaceOp(op);
    out.argument = r.u32le();
    out.x = r.i32le();
    out.y = r.i32le();
    out.cx = r.i32le();
    out.cy = r.i32le();
    out.flags = r.u32le();
    return !r.failed();
}

static std::string get_text(ByteReader& r)
{
    uint16_t length = r.u16le();
    if (r.failed() || length > r.remaining()) {
        r.skip(r.remaining() + 1); // sets the failure
        return {};
    }
    std::string text(reinterpret_cast<const char*>(r.current()), length);
    r.skip(length);
    return text;
}

bool frame_decode_snapshot(const std::vector<uint8_t>& payload, ProgramSnapshot& out)
{
    ByteReader r(payload.data(), payload.size());
    out.pid = r.u32le();
    out.ms_since_look = r.u32le();
    uint32_t count = r.u32le();
    // A lying count must not reserve memory: each window takes at least its fixed fields.
    if (r.failed() || count > r.remaining() / kSnapshotWindowMin)
        return false;
    out.windows.clear();
    out.windows.reserve(count);
    for (uint32_t i = 0; i < count; i++) {
        SnapshotWindow window;
        window.id = r.u32le();
        window.pid = r.u32le();
        window.style = r.u32le();
        window.window_rect = get_rect(r);
        window.normal_rect = get_rect(r);
        window.class_name = get_text(r);
        window.title = get_text(r);
        if (r.failed())
            return false;
        out.windows.push_back(std::move(window));
    }
    return r.remaining() == 0;
}

// Whether a payload of this length can belong to the kind; anything else is refused before
// its bytes are taken.
static bool length_fits(FrameKind kind, uint32_t length)
{
    switch (kind) {
    case FrameKind::send:
    case FrameKind::post: return length == kMessagePayload;
    case FrameKind::copy_data: return length >= kCopyHead && length - kCopyHead <= kCopyDataMax;
    case FrameKind::reply: return length == kReplyPayload;
    case FrameKind::snapshot_request: return length == 0;
    case FrameKind::snapshot: return length >= kSnapshotHead;
    case FrameKind::place: return length == kPlacePayload;
    }
    return false;
}

bool FrameReader::take_head()
{
    ByteReader r(m_head, kFrameHeadSize);
    uint32_t magic = r.u32le();
    uint16_t version = r.u16le();
    uint16_t kind = r.u16le();
    uint32_t serial = r.u32le();
    uint32_t length = r.u32le();
    bool known = kind >= uint16_t(FrameKind::send) && kind <= uint16_t(FrameKind::place);
    if (magic != kFrameMagic || version != kFrameVersion || !known || length > kFramePayloadMax
        || !length_fits(FrameKind(kind), length))
        return false;
    m_frame = Frame{FrameKind(kind), serial, {}};
    m_frame.payload.resize(length);
    m_payload_filled = 0;
    m_in_payload = true;
    return true;
}

bool FrameReader::feed(const uint8_t* data, size_t size, std::vector<Frame>& out)
{
    while (!m_failed && size > 0) {
        if (!m_in_payload) {
            size_t take = std::min(size, kFrameHeadSize - m_head_filled);
            std::memcpy(m_head + m_head_filled, data, take);
            m_head_filled += take;
            data += take;
            size -= take;
            if (m_head_filled < kFrameHeadSize)
                break;
            m_head_filled = 0;
            if (!take_head()) {
                m_failed = true;
                break;
            }
        } else {
            size_t take = std::min(size, m_frame.payload.size() - m_payload_filled);
            std::memcpy(m_frame.payload.data() + m_payload_filled, data, take);
            m_payload_filled += take;
            data += take;
            size -= take;
        }
        if (m_in_payload && m_payload_filled == m_frame.payload.size()) {
            out.push_back(std::move(m_frame));
            m_frame = Frame{};
            m_in_payload = false;
        }
    }
    return !m_failed;
}

} // namespace plat
