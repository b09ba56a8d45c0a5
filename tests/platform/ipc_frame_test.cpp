#include "platform/ipc/ipc_frame.h"

#include <gtest/gtest.h>

using namespace plat;

namespace {

// Bytes of a head: magic, version, kind, serial, length.
std::vector<uint8_t> head(uint32_t magic, uint16_t version, uint16_t kind, uint32_t length)
{
    std::vector<uint8_t> bytes;
    auto put = [&](uint32_t value, int size) {
        for (int i = 0; i < size; i++)
            bytes.push_back(uint8_t(value >> (8 * i)));
    };
    put(magic, 4);
    put(version, 2);
    put(kind, 2);
    put(7, 4);
    put(length, 4);
    return bytes;
}

std::vector<uint8_t> stream_of_frames()
{
    std::vector<uint8_t> stream;
    auto add = [&](const std::vector<uint8_t>& frame) { stream.insert(stream.end(), frame.begin(), frame.end()); };
    add(frame_encode(FrameKind::send, 1, frame_encode_message(MessageFrame{0x40000123, 0x40C, 49153, -5, kSendAbortIfHung})));
    add(frame_encode(FrameKind::snapshot_request, 2, {}));
    add(frame_encode(FrameKind::copy_data, 3, frame_encode_copy(CopyFrame{9, 10, 1226, {1, 2, 3, 4, 5}})));
    ProgramSnapshot snapshot;
    snapshot.pid = 4242;
    snapshot.windows.push_back(SnapshotWindow{0x40000123, 4242, 0x10000000, {1, 2, 3, 4}, {5, 6, 7, 8}, "SVXMainClass", "Intro \xEC\x95\x88"});
    add(frame_encode(FrameKind::snapshot, 4, frame_encode_snapshot(snapshot)));
    add(frame_encode(FrameKind::reply, 1, frame_encode_reply(ReplyFrame{-2, 1460})));
    return stream;
}

TEST(IpcFrameTest, FramesArriveWholeInAnySplit)
{
    std::vector<uint8_t> stream = stream_of_frames();
    for (size_t piece = 1; piece <= stream.size(); piece++) {
        SCOPED_TRACE(piece);
        FrameReader reader;
        std::vector<Frame> frames;
        for (size_t at = 0; at < stream.size(); at += piece)
            ASSERT_TRUE(reader.feed(stream.data() + at, std::min(piece, stream.size() - at), frames));
        ASSERT_EQ(frames.size(), 5u);
        MessageFrame message;
        ASSERT_TRUE(frame_decode_message(frames[0].payload, message));
        EXPECT_EQ(message.window, 0x40000123u);
        EXPECT_EQ(message.wparam, 49153u);
        EXPECT_EQ(message.lparam, -5);
        EXPECT_EQ(message.flags, kSendAbortIfHung);
        EXPECT_EQ(frames[1].kind, FrameKind::snapshot_request);
        CopyFrame copy;
        ASSERT_TRUE(frame_decode_copy(frames[2].payload, copy));
        EXPECT_EQ(copy.dwdata, 1226u);
        EXPECT_EQ(copy.bytes, (std::vector<uint8_t>{1, 2, 3, 4, 5}));
        ProgramSnapshot snapshot;
        ASSERT_TRUE(frame_decode_snapshot(frames[3].payload, snapshot));
        ASSERT_EQ(snapshot.windows.size(), 1u);
        EXPECT_EQ(snapshot.windows[0].title, "Intro \xEC\x95\x88");
        EXPECT_EQ(snapshot.windows[0].normal_rect, (Rect{5, 6, 7, 8}));
        ReplyFrame reply;
        ASSERT_TRUE(frame_decode_reply(frames[4].payload, reply));
        EXPECT_EQ(reply.result, -2);
        EXPECT_EQ(reply.error, 1460u);
        EXPECT_EQ(frames[4].serial, 1u);
    }
}

// A head that cannot be trusted stops the stream before anything is taken for its payload.
TEST(IpcFrameTest, UntrustedHeadsStopTheStream)
{
    static const struct {
        const char* name;
        uint32_t magic;
        uint16_t version;
        uint16_t kind;
        uint32_t length;
    } kHeads[] = {
        {"wrong magic", 0x43505654, 1, 1, 28},
        {"version 0", kFrameMagic, 0, 1, 28},
        {"version 2", kFrameMagic, 2, 1, 28},
        {"kind 0", kFrameMagic, 1, 0, 0},
        {"kind 8", kFrameMagic, 1, 8, 0},
        {"send too short", kFrameMagic, 1, 1, 27},
        {"post too long", kFrameMagic, 1, 2, 29},
        {"copy without its head", kFrameMagic, 1, 3, 23},
        {"copy past 16 MiB", kFrameMagic, 1, 3, 24 + kCopyDataMax + 1},
        {"payload of 4 GiB", kFrameMagic, 1, 6, 0xFFFFFFFF},
        {"reply of the wrong size", kFrameMagic, 1, 4, 8},
        {"request with a payload", kFrameMagic, 1, 5, 1},
        {"snapshot without its head", kFrameMagic, 1, 6, 11},
        {"place of the wrong size", kFrameMagic, 1, 7, 28},
    };
    for (const auto& test : kHeads) {
        SCOPED_TRACE(test.name);
        std::vector<uint8_t> bytes = head(test.magic, test.version, test.kind, test.length);
        bytes.resize(bytes.size() + 64);
        FrameReader reader;
        std::vector<Frame> frames;
        EXPECT_FALSE(reader.feed(bytes.data(), bytes.size(), frames));
        EXPECT_TRUE(reader.failed());
        EXPECT_TRUE(frames.empty());
        EXPECT_FALSE(reader.feed(bytes.data(), 1, frames));
    }
}

TEST(IpcFrameTest, PayloadsThatLieAreRefused)
{
    CopyFrame copy;
    std::vector<uint8_t> counted = frame_encode_copy(CopyFrame{1, 2, 3, {9, 9, 9}});
    counted[20] = 4; // claims one byte more than follows
    EXPECT_FALSE(frame_decode_copy(counted, copy));
    counted[20] = 2;
    EXPECT_FALSE(frame_decode_copy(counted, copy));

    ProgramSnapshot snapshot;
    std::vector<uint8_t> windows = frame_encode_snapshot(ProgramSnapshot{1, 0, {}});
    windows[8] = 0xFF; // 255 windows in 12 bytes
    windows[11] = 0x7F;
    EXPECT_FALSE(frame_decode_snapshot(windows, snapshot));
    ProgramSnapshot one{1, 0, {SnapshotWindow{5, 1, 0, {}, {}, "C", "T"}}};
    std::vector<uint8_t> text_too_long = frame_encode_snapshot(one);
    text_too_long[text_too_long.size() - 3] = 9; // the title's length past the end
    EXPECT_FALSE(frame_decode_snapshot(text_too_long, snapshot));

    PlaceFrame place;
    std::vector<uint8_t> op = frame_encode_place(PlaceFrame{});
    op[4] = 4; // no such operation
    EXPECT_FALSE(frame_decode_place(op, place));
}

} // namespace
