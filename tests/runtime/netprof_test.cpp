// Transfer profiling: timers feed counters on the platform's virtual clock, queries answer
// rate, total and time (clamped), and the log lines are written byte for byte.
#include "fspec_fixture.h"
#include "platform/kernel/clock.h"
#include "runtime/files/netprof.h"

#include <gtest/gtest.h>

namespace {

class NetprofTest : public FspecTest {
protected:
    void SetUp() override
    {
        FspecTest::SetUp();
        plat::clock_use_virtual(1000, 0);
        netprof_clear();
        netprof_init("T:\\nowhere");
    }
    void TearDown() override
    {
        netprof_clear();
        netprof_init("T:\\nowhere");
        plat::clock_reset();
        FspecTest::TearDown();
    }
    // One transfer of bytes taking ms.
    static void transfer(uint32_t kind, uint32_t file, int32_t bytes, uint32_t ms)
    {
        netprof_timer_start(kind, file);
        plat::clock_advance(ms);
        netprof_timer_end(kind, file, bytes);
    }
};

TEST_F(NetprofTest, TwoReadsGiveTheirTotalTimeAndRate)
{
    transfer(kTransferDiskRead, 7, 1000, 200);
    transfer(kTransferDiskRead, 7, 1000, 300);
    EXPECT_EQ(netprof_query(kTransferDiskRead, kQueryTotal), 2000);
    EXPECT_EQ(netprof_query(kTransferDiskRead, kQueryElapsed), 500);
    EXPECT_EQ(netprof_query(kTransferDiskRead, kQueryRate), 4000);
    netprof_reset(kTransferDiskRead);
    EXPECT_EQ(netprof_query(kTransferDiskRead, kQueryTotal), 0);
    EXPECT_EQ(netprof_query(kTransferDiskRead, kQueryRate), 0);
}

TEST_F(NetprofTest, RunningTransfersCountAsTheyStandAndFailedReadsAddNothing)
{
    netprof_timer_start(kTransferUrl, 1);
    netprof_timer_add(kTransferUrl, 1, 300);
    plat::clock_advance(100);
    netprof_timer_add(kTransferUrl, 1, 200);
    EXPECT_EQ(netprof_query(kTransferUrl, kQueryTotal), 500);
    EXPECT_EQ(netprof_query(kTransferUrl, kQueryElapsed), 100);
    netprof_timer_end(kTransferUrl, 1, -1);
    EXPECT_EQ(netprof_query(kTransferUrl, kQueryTotal), 500);
    // A kind never used answers 0 to every question.
    EXPECT_EQ(netprof_query(kTransferInet, kQueryRate), 0);
    EXPECT_EQ(netprof_query(kTransferInet, kQueryTotal), 0);
    EXPECT_EQ(netprof_query(kTransferInet, kQueryElapsed), 0);
}

TEST_F(NetprofTest, RateIsClampedToThe32BitRange)
{
    transfer(kTransferUrl, 1, 0x7FFFFFFF, 1);
    EXPECT_EQ(netprof_query(kTransferUrl, kQueryRate), 0x7FFFFFFF);
}

TEST_F(NetprofTest, DiskReadsOfTheFileLayerAreCountedAsKindZero)
{
    put("data.bin", std::string(1234, 'x'));
    FileSpec* spec = nullptr;
    ASSERT_EQ(fspec_from_path("T:\\data.bin", &spec), 0);
    FileHandle file = file_open(spec, kFileModeRead);
    ASSERT_TRUE(file);
    char buffer[2000];
    EXPECT_EQ(file_read(file.handle, file.kind, buffer, sizeof buffer, kFileBegin, 0), 1234);
    EXPECT_EQ(file_read(file.handle, file.kind, buffer, 100, kFileBegin, 1200), 34);
    file_close(file.handle, file.kind);
    fspec_free(spec);
    EXPECT_EQ(netprof_query(kTransferDiskRead, kQueryTotal), 1268);
}

TEST_F(NetprofTest, LogLinesAreAppendedByteForByteOnlyWithTheSwitchFile)
{
    transfer(kTransferDiskRead, 1, 2000, 500);
    transfer(kTransferUrlConnect, 2, 3, 1500);
    transfer(kTransferUrl, 3, 4096, 2000);
    transfer(9, 4, 1, 1); // counted, never logged
    netprof_write_log();
    EXPECT_FALSE(std::filesystem::exists(host("NETPROF.txt")));
    put("NETPROF.on", "");
    netprof_init("T:\\");
    EXPECT_STREQ(netprof_log_path(), "T:\\NETPROF.txt");
    put("NETPROF.txt", "before\n");
    netprof_write_log();
    EXPECT_EQ(get("NETPROF.txt"),
        "before\n"
        "INET_URL_TRANSFER     BytesRead = 4096    Seconds = 2.000  Bandwidth(bytes/sec) = 2048.0\n"
        "INET_URL_CONNECT      Connections = 3  Seconds = 1.500  Connections/second =   2.0\n"
        "INET_READ_FILE        BytesRead = 2000    Seconds = 0.500  Bandwidth(bytes/sec) = 4000.0\n");
}

} // namespace
