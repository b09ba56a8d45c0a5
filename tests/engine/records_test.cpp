// The learner's records: fresh start, save, resume, the stamp, damage and saves cut short.
#include "engine_fixture.h"

#include "platform/kernel/byte_io.h"
#include "platform/backend/script.h"
#include "platform/kernel/file.h"
#include "platform/kernel/path.h"
#include "runtime/files/util.h"
#include "tests/runtime/hex_fixture.h"
#include "tools/piecemaker/pm_dump.h"

#include <filesystem>

namespace enginetest {
namespace {

constexpr const char* kNoResumePiece = R"(kind PCRS
icon map "Top" {
    icon calc "One"
    icon calc "Two"
}
)";

TEST_F(EngineTest, SavedPieceResumesWhereItStood)
{
    ASSERT_EQ(open_piece_file(kWalkPiece), 0);
    for (int i = 0; i < 7; i++)
        exec_step();
    ASSERT_EQ(where(), "Two 0");
    close_piece();
    ASSERT_EQ(reopen(), 0);
    EXPECT_EQ(where(), "Two 0");
    EXPECT_EQ(exec_suspended(), 0); // the resume driver's Resume lets it run
    EXPECT_EQ(walk().back(), "#1 7");
}

// Without the resume option the piece starts from the beginning each time.
TEST_F(EngineTest, PieceWithoutResumeStartsAtTheTopEachTime)
{
    ASSERT_EQ(open_piece_file(kNoResumePiece), 0);
    walk();
    ASSERT_EQ(urec_save_all(1), 0); // forced: as SaveRecords does
    close_piece();
    ASSERT_EQ(reopen(), 0);
    EXPECT_EQ(where(), "#1 0");
}

// Field 10000: the piece's end of data, the check value of field 1 as stored, 0, 982.
TEST_F(EngineTest, StampVouchesForTheKernelStateAndThePieceVersion)
{
    ASSERT_EQ(open_piece_file(kWalkPiece), 0);
    exec_step();
    ASSERT_EQ(urec_save_all(1), 0);
    std::vector<uint8_t> list;
    ASSERT_EQ(urec_read(1, list), 0);
    uint8_t kernel[kKernelSavedSize];
    ASSERT_EQ(taglist_get(list.data(), list.size(), kSlotKernel, kernel, sizeof kernel), kKernelSavedSize);
    uint8_t stamp[kStampSize];
    ASSERT_EQ(taglist_get(list.data(), list.size(), kStampTag, stamp, sizeof stamp), kStampSize);
    std::vector<uint8_t> expected(kStampSize);
    plat::store_u32le(expected.data(), uint32_t(rec_file_end(piece_slot())));
    plat::store_u32le(expected.data() + 4, util_checksum(kernel, sizeof kernel));
    EXPECT_EQ(to_hex(stamp, sizeof stamp), to_hex(expected).substr(0, 16) + "00000000" "d603");
    EXPECT_EQ(urec_check_stamp(), 0);

    // A changed kernel field no longer matches its stamp.
    kernel[66] ^= 1;
    TagList handle = mem_alloc_copy(list.data(), list.size());
    ASSERT_EQ(taglist_put(&handle, kSlotKernel, kernel, sizeof kernel), 1);
    ASSERT_EQ(urec_write(1, mem_address(handle), taglist_size(static_cast<uint8_t*>(mem_address(handle)), mem_size(handle))), 0);
    taglist_free(handle);
    EXPECT_EQ(urec_check_stamp(), kErrStampDiffers);
}

// A records file of another version of the piece (another end of data) starts it fresh.
TEST_F(EngineTest, RecordsOfAnotherVersionOfThePieceStartFresh)
{
    ASSERT_EQ(open_piece_file(kWalkPiece), 0);
    for (int i = 0; i < 7; i++)
        exec_step();
    close_piece();
    make_file("piece.v5r", std::string(kWalkPiece) + "record 900 -1 raw text \"grown\"\n");
    exec_trace_set(kTraceRecords);
    ASSERT_EQ(reopen(), 0);
    EXPECT_EQ(where(), "#1 0");
}

// Damage never crashes and never keeps a piece from opening: a file that is not a records file
// at all, or one whose records are cut, starts the piece fresh; a file the runtime cannot read
// as records is kept aside.
struct DamageCase {
    const char* name;
    size_t keep; // bytes of the saved file kept; 0: random bytes
    bool aside;
};

const DamageCase kDamage[] = {
    {"random bytes", 0, true},
    {"kind header only", 16, true},
    {"cut in the header", 40, true},
    {"cut in the records", 300, true},
};

TEST_F(EngineTest, DamagedRecordsStartThePieceFresh)
{
    ASSERT_EQ(open_piece_file(kWalkPiece), 0);
    for (int i = 0; i < 7; i++)
        exec_step();
    close_piece();
    const std::vector<uint8_t> saved = read_file("piece.rec");
    ASSERT_GT(saved.size(), 200u);
    for (const DamageCase& c : kDamage) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes(saved.begin(), saved.begin() + ptrdiff_t(c.keep));
        if (c.keep == 0)
            for (int i = 0; i < 300; i++)
                bytes.push_back(uint8_t(i * 37 + 11));
        write_file("piece.rec", bytes);
        std::filesystem::remove(host("piece.bak"));
        ASSERT_EQ(reopen(), 0);
        EXPECT_EQ(where(), "#1 0");
        EXPECT_EQ(std::filesystem::exists(host("piece.bak")), c.aside);
        piece_close(0);
    }
}

// A save cut short at any byte leaves the old records or the new ones, whole: the piece
// resumes at one of the two places, never between.
TEST_F(EngineTest, SaveCutAtEveryByteResumesTheOldSaveOrTheNew)
{
    ASSERT_EQ(open_piece_file(kWalkPiece), 0);
    for (int i = 0; i < 3; i++)
        exec_step();
    close_piece(); // the old save: at One
    const std::vector<uint8_t> old_file = read_file("piece.rec");
    int cuts = 0;
    for (uint64_t limit = 1;; limit++) {
        SCOPED_TRACE(limit);
        write_file("piece.rec", old_file);
        ASSERT_EQ(reopen(), 0);
        ASSERT_EQ(where(), "One 4");
        for (int i = 0; i < 6; i++)
            exec_step();
        ASSERT_EQ(where(), "Two 1"); // the new save would be here
        plat::file_fail_writes_after(limit);
        int result = urec_save_all(1);
        plat::file_fail_writes_after(0);
        piece_close(0);
        ASSERT_EQ(reopen(), 0);
        std::string resumed = where();
        piece_close(0);
        if (result == 0) {
            EXPECT_EQ(resumed, "Two 1");
            break;
        }
        cuts++;
        EXPECT_EQ(resumed, "One 4");
    }
    EXPECT_GT(cuts, 100);
}

} // namespace
} // namespace enginetest

namespace enginetest {
namespace {

// The piece maker shows a records file through the engine's own reader.
TEST_F(EngineTest, PiecemakerDumpsTheLearnersRecords)
{
    ASSERT_EQ(open_piece_file(kWalkPiece), 0);
    for (int i = 0; i < 3; i++)
        exec_step();
    ASSERT_EQ(task_add(kTaskMotion, 4, 5, 60), 1);
    close_piece();
    std::string out;
    ASSERT_EQ(pm_dump_learner(host("piece.rec"), host("piece.v5r"), out), 0) << out;
    EXPECT_NE(out.find("field 1 size 90\nfield 2 size 1\nfield 3 size 2\n"), std::string::npos) << out;
    EXPECT_NE(out.find("field 23 size 50\nfield 10000 size 14\nstamp ok\nkernel icon 7 kind calc state 4 depth 0\n"
                       "icon log size 0 index 0 wrapped 0\ntask 2 4 5 interval 60\n"),
        std::string::npos)
        << out;

    std::vector<uint8_t> bytes = read_file("piece.rec");
    write_file("cut.rec", std::vector<uint8_t>(bytes.begin(), bytes.begin() + 20));
    out.clear();
    EXPECT_EQ(pm_dump_learner(host("cut.rec"), "", out), 1);
    EXPECT_EQ(out.rfind("error ", 0), 0u) << out;
}

} // namespace
} // namespace enginetest

namespace enginetest {
namespace {

void answer_boxes(const std::string& script)
{
    std::vector<plat::ScriptCommand> commands;
    std::string error;
    plat::script_parse(script, commands, error);
    plat::script_start(commands);
    while (plat::script_has_next() && plat::script_run_next(error)) {
    }
}

// After an error message of the session nothing is saved any more, not even when forced.
TEST_F(EngineTest, AfterAnErrorMessageNothingOfTheSessionIsSaved)
{
    ASSERT_EQ(open_piece_file(kWalkPiece), 0);
    for (int i = 0; i < 3; i++)
        exec_step();
    close_piece();
    const std::vector<uint8_t> saved = read_file("piece.rec");
    ASSERT_EQ(reopen(), 0);
    walk();
    answer_boxes("answer Continue\n");
    EXPECT_EQ(exec_report_error(55u, "the disk went away"), 2);
    EXPECT_EQ(exec_error_shown(), 1);
    EXPECT_EQ(exec_report_error(55u, "again"), 0); // once per run of the piece
    EXPECT_EQ(urec_save_all(1), 0);
    close_piece();
    EXPECT_EQ(read_file("piece.rec"), saved);
    ASSERT_EQ(reopen(), 0);
    EXPECT_EQ(where(), "One 4");
    EXPECT_EQ(exec_error_shown(), 0);
    plat::script_reset();
}

// The records live in V5W_DATA of the Windows folder unless the settings name a folder; the
// folder is made when missing, and a long piece name is cut so that the path stays short.
TEST_F(EngineTest, RecordsPathIsTheDataFolderAndThePieceName)
{
    setenv("STORVEL_WINDOWS_DIR", host("win").c_str(), 1);
    plat::path_reset();
    plat::set_drive_root('T', root_);
    FileSpec* piece = disk("piece.v5r");
    ASSERT_EQ(urec_set_records_folder(piece), 0);
    EXPECT_TRUE(std::filesystem::is_directory(host("win/V5W_DATA")));
    FileSpec* records = nullptr;
    ASSERT_EQ(urec_make_path(piece, &records), 0);
    char path[300];
    fspec_get_path(records, path, sizeof path);
    EXPECT_EQ(std::string(path), urec_records_folder() + "piece.rec");
    fspec_free(records);

    std::string long_name(250 - root_.size(), 'n');
    FileSpec* long_piece = disk(long_name + ".v5r");
    ASSERT_EQ(urec_make_path(long_piece, &records), 0);
    fspec_get_path(records, path, sizeof path);
    EXPECT_LT(std::strlen(path), 259u);
    EXPECT_EQ(std::string(path).substr(std::strlen(path) - 8), "nnnn.rec");
    fspec_free(records);
    unsetenv("STORVEL_WINDOWS_DIR");
}

} // namespace
} // namespace enginetest

namespace enginetest {
namespace {

// Stand-ins for modules that later work builds: one notes its messages, the next fails Init.
std::vector<int> g_noted;
int noting_module(ModuleMessage* message)
{
    g_noted.push_back(message->message);
    return 0;
}
int failing_module(ModuleMessage* message) { return message->message == kModInit ? kErrOutOfMemory : 0; }

// A module that cannot start fails the fresh start: those before it are released again and
// the records are closed.
TEST_F(EngineTest, FreshStartReleasesTheModulesBeforeOneThatFails)
{
    ASSERT_EQ(open_piece_file(kWalkPiece), 0);
    urec_close_all();
    g_noted.clear();
    modmsg_register(kSlotTriggers, noting_module);
    modmsg_register(kSlotResponses, failing_module);
    EXPECT_EQ(urec_start_fresh(disk("piece.rec")), kErrOutOfMemory);
    EXPECT_EQ(g_noted, (std::vector<int> {kModInit, kModRelease}));
    EXPECT_EQ(exec_records_open(), 0);
    EXPECT_EQ(exec_context().icon, 0u);
    EXPECT_EQ(rec_slot(kRecordsSlot), nullptr);
    modmsg_register(kSlotTriggers, nullptr);
    modmsg_register(kSlotResponses, nullptr);
}

} // namespace
} // namespace enginetest

namespace enginetest {
namespace {

// Records without a file (a piece whose records cannot be opened and that does not resume)
// live in memory: the piece runs, saves go nowhere, nothing fails.
TEST_F(EngineTest, RecordsWithoutAFileLiveInMemory)
{
    ASSERT_EQ(open_piece_file(kNoResumePiece), 0);
    urec_close_all();
    ASSERT_EQ(urec_start_fresh(nullptr), 0);
    EXPECT_EQ(walk().back(), "#1 7");
    EXPECT_EQ(urec_save_all(1), 0);
    urec_close_all();
    EXPECT_EQ(exec_records_open(), 0);
}

} // namespace
} // namespace enginetest
