#include "platform/kernel/byte_io.h"

#include <gtest/gtest.h>

using plat::ByteReader;

TEST(ByteReader, ReadsBothByteOrders)
{
    const uint8_t bytes[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06};
    ByteReader r(bytes, sizeof bytes);
    EXPECT_EQ(r.u16le(), 0x0201);
    EXPECT_EQ(r.u32be(), 0x03040506u);
    EXPECT_FALSE(r.failed());
    EXPECT_EQ(r.remaining(), 0u);
}

TEST(ByteReader, ReadPastEndIsStickyAndGivesZero)
{
    const uint8_t bytes[] = {0xff, 0xff, 0xff};
    ByteReader r(bytes, sizeof bytes);
    EXPECT_EQ(r.u32le(), 0u);
    EXPECT_TRUE(r.failed());
    EXPECT_EQ(r.u8(), 0u); // even though a byte is there, the run has failed
    EXPECT_EQ(r.position(), 0u);
}

TEST(ByteReader, CStringNeedsItsTerminator)
{
    const char with[] = "ab\0cd";
    ByteReader r(with, 5);
    EXPECT_EQ(r.cstring(), "ab");
    EXPECT_EQ(r.cstring(), "");
    EXPECT_TRUE(r.failed());
}

TEST(ByteReader, SubReaderIsBoundedAndAdvancesParent)
{
    const uint8_t bytes[] = {1, 2, 3, 4};
    ByteReader r(bytes, sizeof bytes);
    ByteReader s = r.sub(2);
    EXPECT_EQ(s.u16le(), 0x0201);
    EXPECT_EQ(s.u8(), 0);
    EXPECT_TRUE(s.failed());
    EXPECT_EQ(r.u16le(), 0x0403);
    EXPECT_FALSE(r.failed());
    EXPECT_TRUE(r.sub(1).failed());
}
