// Bytes from another program: the frame reader over arbitrary splits (fed whole and in pieces,
// it must give the same frames and refuse at the same point), each frame's payload reader,
// and the shared atom table's reader (a table it accepts must write back to the same bytes).
#include <cstdint>
#include <vector>

#include "platform/ipc/ipc_atoms.h"
#include "platform/ipc/ipc_frame.h"

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

void decode(const plat::Frame& frame)
{
    plat::MessageFrame message;
    plat::CopyFrame copy;
    plat::ReplyFrame reply;
    plat::PlaceFrame place;
    plat::ProgramSnapshot snapshot;
    switch (frame.kind) {
    case plat::FrameKind::send:
    case plat::FrameKind::post:
        if (plat::frame_decode_message(frame.payload, message))
            check(plat::frame_encode_message(message) == frame.payload);
        break;
    case plat::FrameKind::copy_data:
        if (plat::frame_decode_copy(frame.payload, copy))
            check(plat::frame_encode_copy(copy) == frame.payload);
        break;
    case plat::FrameKind::reply: check(plat::frame_decode_reply(frame.payload, reply)); break;
    case plat::FrameKind::place:
        if (plat::frame_decode_place(frame.payload, place))
            check(plat::frame_encode_place(place) == frame.payload);
        break;
    case plat::FrameKind::snapshot:
        if (plat::frame_decode_snapshot(frame.payload, snapshot))
            check(plat::frame_encode_snapshot(snapshot) == frame.payload);
        break;
    case plat::FrameKind::snapshot_request: check(frame.payload.empty()); break;
    }
}

void frames(uint8_t seed, const uint8_t* data, size_t size)
{
    plat::FrameReader whole;
    std::vector<plat::Frame> all;
    bool whole_good = whole.feed(data, size, all);

    plat::FrameReader pieces;
    std::vector<plat::Frame> split;
    bool pieces_good = true;
    size_t at = 0;
    uint32_t state = seed | 1u;
    while (at < size && pieces_good) {
        state = state * 1103515245u + 12345u;
        size_t piece = std::min<size_t>(size - at, 1 + (state >> 16) % 23);
        pieces_good = pieces.feed(data + at, piece, split);
        at += piece;
    }
    check(whole_good == pieces_good);
    check(all.size() == split.size());
    for (size_t i = 0; i < all.size(); i++) {
        check(all[i].kind == split[i].kind && all[i].serial == split[i].serial && all[i].payload == split[i].payload);
        check(all[i].payload.size() <= plat::kFramePayloadMax);
        decode(all[i]);
    }
}

void atoms(const uint8_t* data, size_t size)
{
    plat::AtomTable table;
    if (!plat::atom_table_read(data, size, table))
        return;
    std::vector<uint8_t> written = plat::atom_table_write(table);
    check(written == std::vector<uint8_t>(data, data + size));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    if (data[0] & 1)
        atoms(data + 1, size - 1);
    else
        frames(data[0], data + 1, size - 1);
    return 0;
}
