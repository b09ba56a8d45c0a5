#include "rec_fixture.h"
#include "runtime/store/rec_zip.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <zlib.h>

using namespace rectest;

namespace {

class RecZipTest : public RecTest {
protected:
    static std::vector<uint8_t> zlib_of(const std::vector<uint8_t>& bytes)
    {
        uLongf size = compressBound(uLong(bytes.size()));
        std::vector<uint8_t> out(size);
        EXPECT_EQ(compress(out.data(), &size, bytes.data(), uLong(bytes.size())), Z_OK);
        out.resize(size);
        return out;
    }
    static MemHandle block_of(const std::vector<uint8_t>& bytes)
    {
        return mem_alloc_copy(bytes.data(), bytes.size());
    }
};

TEST_F(RecZipTest, UnpackingWantsExactlyTheRecord)
{
    std::vector<uint8_t> record(1212, 0);
    record[0] = 1;
    std::vector<uint8_t> stream = zlib_of(record);
    std::vector<uint8_t> truncated(stream.begin(), stream.end() - 5);
    std::vector<uint8_t> bad_check = stream;
    bad_check.back() ^= 1;
    struct Case {
        const char* name;
        int method;
        const std::vector<uint8_t>& source;
        size_t wanted;
        int result;
    };
    const std::vector<uint8_t> garbage = from_hex("00112233445566778899");
    const Case cases[] = {
        { "exact", 1, stream, 1212, 0 },
        { "stream ends before the record is full", 1, stream, 1213, 5000 },
        { "stream wants more room", 1, stream, 1211, 5000 },
        { "truncated stream", 1, truncated, 1212, 5000 },
        { "damaged check value", 1, bad_check, 1212, 5000 },
        { "not a stream", 1, garbage, 1212, 5000 },
        { "another method", 2, stream, 1212, 5000 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> out(c.wanted + 16, 0xEE);
        EXPECT_EQ(util_unpack(c.method, c.source.data(), c.source.size(), out.data(), c.wanted),
            c.result);
        EXPECT_EQ(out[c.wanted], 0xEE); // nothing past the room given
        if (c.result == 0) {
            EXPECT_TRUE(std::equal(record.begin(), record.end(), out.begin()));
        }
    }
}

TEST_F(RecZipTest, PackingReportsAFullDestination)
{
    std::vector<uint8_t> record(4000, 'a');
    std::vector<uint8_t> out(4000);
    size_t size = out.size();
    ASSERT_EQ(util_pack(0, record.data(), record.size(), out.data(), &size), 0);
    EXPECT_LT(size, 100u);
    std::vector<uint8_t> back(4000);
    EXPECT_EQ(util_unpack(1, out.data(), size, back.data(), back.size()), 0);
    EXPECT_EQ(back, record);
    size = 5;
    EXPECT_NE(util_pack(0, record.data(), record.size(), out.data(), &size), 0);
}

TEST_F(RecZipTest, DecompressingChecksTheSizeBeforeAllocating)
{
    std::vector<uint8_t> record(300, 7);
    std::vector<uint8_t> stream = zlib_of(record);
    RecordDescriptor d;
    d.type = 20;
    d.scheme = kSchemeZlib;
    d.stored_size = uint32_t(stream.size());
    d.unpacked_size = 300;
    d.data = block_of(stream);
    MemHandle out;
    ASSERT_EQ(rec_decompress(d, &out), 0);
    EXPECT_EQ(block_hex(out, 300), to_hex(record));
    mem_free(out);
    // A claim no stream of this size can meet is refused before a block is sought.
    d.unpacked_size = uint32_t(stream.size() * kDeflateMaxRatio + 1);
    EXPECT_EQ(rec_decompress(d, &out), 5000);
    EXPECT_FALSE(out);
    d.scheme = kSchemeRaw; // the stored bytes are the record
    EXPECT_EQ(rec_decompress(d, &out), 0);
    EXPECT_FALSE(out);
    mem_free(d.data);
}

TEST_F(RecZipTest, PreparingRecordsForWriting)
{
    std::vector<uint8_t> repetitive(600, 0);
    std::vector<uint8_t> noise(600);
    uint32_t seed = 12345;
    for (uint8_t& b : noise)
        b = uint8_t((seed = seed * 1103515245 + 12345) >> 16);
    struct Case {
        const char* name;
        int type;
        uint16_t scheme;
        const std::vector<uint8_t>& bytes;
        uint16_t stored_scheme;
    };
    const std::vector<uint8_t> empty;
    const Case cases[] = {
        { "packed when smaller", 20, kSchemeZlib, repetitive, kSchemeZlib },
        { "raw when zlib cannot make it smaller", 20, kSchemeZlib, noise, kSchemeRaw },
        { "raw when raw is asked", 20, kSchemeRaw, repetitive, kSchemeRaw },
        { "a type without converter is always raw", 45, kSchemeZlib, repetitive, kSchemeRaw },
        { "untyped records are raw", -1, kSchemeZlib, repetitive, kSchemeRaw },
        { "an empty record is raw", 20, kSchemeZlib, empty, kSchemeRaw },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordDescriptor d;
        d.type = int16_t(c.type);
        d.scheme = c.scheme;
        d.unpacked_size = uint32_t(c.bytes.size());
        d.data = block_of(c.bytes);
        MemHandle original = d.data;
        ASSERT_EQ(rec_compress_for_write(d), 0);
        EXPECT_EQ(d.scheme, c.stored_scheme);
        if (c.stored_scheme == kSchemeZlib) {
            EXPECT_NE(d.data, original);
            EXPECT_LT(d.stored_size, d.unpacked_size);
            MemHandle back;
            ASSERT_EQ(rec_decompress(d, &back), 0);
            EXPECT_EQ(block_hex(back, c.bytes.size()), to_hex(c.bytes));
            mem_free(back);
            mem_free(d.data);
        } else {
            EXPECT_EQ(d.data, original);
            EXPECT_EQ(d.stored_size, d.unpacked_size);
        }
        mem_free(original);
    }
}

TEST_F(RecZipTest, ARecordOfTheOtherOrderIsConvertedBeforePacking)
{
    RecordDescriptor d;
    d.type = 2;
    d.scheme = kSchemeRaw;
    d.byte_order = kOrderOther;
    d.unpacked_size = 8;
    d.data = block_of(from_hex("00000001 00000002"));
    ASSERT_EQ(rec_compress_for_write(d), 0);
    EXPECT_EQ(d.byte_order, kOrderNative);
    EXPECT_EQ(block_hex(d.data, 8), "0100000002000000");
    mem_free(d.data);
}

TEST_F(RecZipTest, DefaultSchemes)
{
    static const struct {
        RecordId id;
        int type;
        uint16_t scheme;
    } kCases[] = {
        { rec_make_id(1, 95), 37, kSchemeRaw }, // property groups are rewritten in place often
        { rec_make_id(25, 95), 37, kSchemeZlib },
        { rec_make_id(1, 5), -1, kSchemeRaw },
        { rec_make_id(1, 94), 36, kSchemeZlib },
        { rec_make_id(23, 2), -2, kSchemeZlib },
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.type);
        EXPECT_EQ(rec_default_scheme(c.id, c.type), c.scheme);
    }
}

} // namespace
