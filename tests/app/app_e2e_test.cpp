// End-to-end: svrun32 runs headless under scripts. Its log shows the main window, the boxes
// and, with the test build's trace, every start-up and release step; the exit code is 0 on
// every road that ends the program.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "runtime/files/file.h"
#include "tests/wintest/wintest_support.h"
#include "tools/piecemaker/pm_build.h"
#include "tools/piecemaker/pm_desc.h"
#include "tools/piecemaker/pm_dump.h"

namespace {

using namespace wintest;

// The steps in the order a full run takes them.
const std::vector<std::string> kStartSteps = {
    "early mem_note_physical", "early str_init", "early symdict_create", "early intl_init",
    "early fspec_manager_create", "early file_init", "init win_list_init", "init sched_init", "init ini_init", "init sysfn_build_table",
    "init node_files_init",
    "init text_styles_init", "init list_tables_init", "init pal_init_system", "ui font_map_create", "ui str_charmap_init", "ui font_init",
    "ui app_register_main_window", "ui app_sysmenu_init", "ui modmsg_startup", "ui bmcache_init", "ui menu_init",
    "ui curs_init", "ui pig_tables_init", "ui rec_init", "ui clock_init", "ui lib_init", "ui lib_list_init",
    "ui dlg_progress_register_class", "ui app_quicktime_start", "ui netprof_init",
};
const std::vector<std::string> kReleaseSteps = {
    "release app_quicktime_stop", "release ini_term", "release font_term", "release curs_term", "release sched_term",
    "release rec_close_all", "release app_sysmenu_term", "release pal_free_current", "release win_restore_metrics",
    "release bmcache_free", "release dobj_free_background_brush", "release pig_tables_free", "release clock_term", "release app_close_file_table",
    "release text_styles_term", "release lib_term", "release node_files_free", "release fspec_manager_destroy",
    "release str_charmap_term", "release font_map_destroy", "release list_tables_free", "release symdict_release",
};

// The start steps up to and including the one that fails or raises.
std::vector<std::string> started_through(const std::string& step)
{
    auto last = std::find(kStartSteps.begin(), kStartSteps.end(), step);
    if (last == kStartSteps.end())
        return {};
    return std::vector<std::string>(kStartSteps.begin(), last + 1);
}

constexpr const char* kTracePrefix = "svrun32 test: ";

struct ProgramRun {
    int exit_code = -1;
    std::vector<std::string> events; // without the trace lines
    std::vector<std::string> steps; // the trace lines without their prefix
    std::string errors;

    bool has(const std::string& event) const
    {
        return std::find(events.begin(), events.end(), event) != events.end();
    }
    // Where the event is in the whole run, trace lines included; -1 when absent.
    int index_of(const std::string& event) const
    {
        auto it = std::find(all.begin(), all.end(), event);
        return it == all.end() ? -1 : int(it - all.begin());
    }
    std::vector<std::string> all;
    std::string log; // the whole event log, each line with its time in ms
};

class Svrun32Run : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(folder.empty());
        std::filesystem::create_directory(windows_folder());
        // The runs of the spine play a piece whose title is the program's first one.
        make_piece("piece.v5r", "kind PCRS\nicon map \"Top\" {\n prop 20 textz \"Storvel\"\n}\n");
    }

    std::string windows_folder() const { return folder + "/windows"; }
    std::string path(const std::string& name) const { return folder + "/" + name; }

    void make_piece(const std::string& name, const std::string& description)
    {
        PieceDescription piece;
        std::string error;
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(pm_parse(description, folder, piece, error)) << error;
        ASSERT_TRUE(pm_make(piece, bytes, error)) << error;
        std::ofstream(path(name), std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }

    ProgramRun run(const std::string& script, std::vector<std::string> environment = {},
        std::vector<std::string> arguments = {"piece.v5r"}, const std::string& program = SVRUN32_PATH)
    {
        environment.push_back("STORVEL_TEST_TRACE=1");
        environment.push_back("STORVEL_WINDOWS_DIR=" + windows_folder());
        for (std::string& argument : arguments)
            if (argument.find('/') == std::string::npos && argument.find('\\') == std::string::npos)
                argument = path(argument);
        HeadlessRun headless = run_headless(program, folder, script, arguments, environment);
        ProgramRun result;
        result.exit_code = headless.exit_code;
        result.errors = headless.errors;
        result.log = headless.log;
        result.all = events_of(headless.log);
        for (const std::string& event : result.all) {
            if (event.rfind(kTracePrefix, 0) == 0)
                result.steps.push_back(event.substr(std::string(kTracePrefix).size()));
            else
                result.events.push_back(event);
        }
        return result;
    }

    void show_errors(const char* value)
    {
        std::ofstream(windows_folder() + "/V5W.INI") << "[Debug]\r\nShowErrors=" << value << "\r\n";
    }
    std::string error_log() const { return read_text(windows_folder() + "/V5W.LOG"); }

    ScratchFolder scratch{"svrun32-e2e"};
    const std::string& folder = scratch.path();
};

std::vector<std::string> joined(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Ctrl+Q, the close box and the script's quit (the desktop's close) all end in the close of the
// main window, WM_QUIT and the release of every started module, once.
struct CloseRoad {
    const char* name;
    const char* script;
};
static const CloseRoad kCloseRoads[] = {
    {"ctrl+q", "wait 100\nkey Ctrl+Q\nwait 100\n"},
    {"close box", "wait 100\nclick 99 12\nwait 100\n"}, // the window keeps its smallest size at 0,0
    {"quit", "wait 100\nquit\n"},
};

TEST_F(Svrun32Run, EveryCloseRoadReleasesEveryModuleOnceAndExitsWithZero)
{
    for (const CloseRoad& road : kCloseRoads) {
        SCOPED_TRACE(road.name);
        ProgramRun result = run(road.script);
        EXPECT_EQ(result.exit_code, 0) << result.errors;
        EXPECT_EQ(result.steps, joined(kStartSteps, kReleaseSteps));
        EXPECT_TRUE(result.has("window shown \"Storvel\""));
        // The window goes first (WM_QUIT follows its WM_DESTROY), then the modules.
        int closed = result.index_of("window closed \"Storvel\"");
        ASSERT_GE(closed, 0);
        EXPECT_LT(closed, result.index_of(std::string(kTracePrefix) + kReleaseSteps.front()));
    }
}

// A failed start-up step after the window exists: the "Internal Error" box with the module and
// line, the log entry when the settings ask for it, then the whole release chain, which also
// releases modules that never started.
TEST_F(Svrun32Run, FailedStartUpShowsTheInternalErrorAndReleasesEverything)
{
    show_errors("yes");
    ProgramRun result = run("wait 100\nanswer OK\n", {"STORVEL_TEST_FAIL=app_sysmenu_init"});
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_TRUE(result.has("message box \"Internal Error\" \"main2_w, 279\" buttons \"OK\""));
    EXPECT_TRUE(result.has("message box closed \"OK\""));
    std::vector<std::string> started = started_through("ui app_sysmenu_init");
    EXPECT_EQ(result.steps, joined(started, kReleaseSteps));
    EXPECT_EQ(error_log().rfind("+++ Internal Error: main2_w, 279\r\n", 0), 0u) << error_log();
}

TEST_F(Svrun32Run, FailedCommandLineChainIsLine241AndNotLoggedUnlessAsked)
{
    show_errors("no");
    ProgramRun result = run("wait 100\nanswer OK\n", {"STORVEL_TEST_FAIL=sched_init"});
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_TRUE(result.has("message box \"Internal Error\" \"main2_w, 241\" buttons \"OK\""));
    EXPECT_FALSE(result.has("window shown \"Storvel\""));
    std::vector<std::string> started = started_through("init sched_init");
    EXPECT_EQ(result.steps, joined(started, kReleaseSteps));
    EXPECT_FALSE(std::filesystem::exists(windows_folder() + "/V5W.LOG"));
}

// Raised from a window procedure while the loop runs: back to the recovery point, release once.
TEST_F(Svrun32Run, InternalErrorInTheLoopEndsTheProgramThroughTheRecoveryPoint)
{
    show_errors("1");
    ProgramRun result = run("wait 100\nanswer OK\nwait 100\n", {"STORVEL_TEST_RAISE=loop"});
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_TRUE(result.has("message box \"Internal Error\" \"apptest, 2\" buttons \"OK\""));
    EXPECT_EQ(result.steps, joined(kStartSteps, kReleaseSteps));
    EXPECT_NE(error_log().find("+++ Internal Error: apptest, 2\r\n"), std::string::npos);
}

// Before the recovery point nothing is released: the program ends at once.
TEST_F(Svrun32Run, InternalErrorBeforeTheRecoveryPointExitsAtOnce)
{
    ProgramRun result = run("wait 100\nanswer OK\n", {"STORVEL_TEST_RAISE=file_init"});
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_TRUE(result.has("message box \"Internal Error\" \"apptest, 1\" buttons \"OK\""));
    std::vector<std::string> started = started_through("early file_init");
    EXPECT_EQ(result.steps, started);
}

TEST_F(Svrun32Run, QuietStartUpFailureEndsWithoutAWord)
{
    ProgramRun result = run("wait 100\n", {"STORVEL_TEST_FAIL=symdict_create"});
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_TRUE(result.events.empty());
    std::vector<std::string> started = started_through("early symdict_create");
    EXPECT_EQ(result.steps, started);
}

// A release step that raises shows its box; the chain still runs to its end, once.
TEST_F(Svrun32Run, InternalErrorWhileReleasingStillReleasesTheRestOnce)
{
    ProgramRun result = run("wait 100\nquit\nwait 100\nanswer OK\n", {"STORVEL_TEST_RAISE=sched_term"});
    EXPECT_EQ(result.exit_code, 0) << result.errors;
    EXPECT_TRUE(result.has("message box \"Internal Error\" \"apptest, 1\" buttons \"OK\""));
    EXPECT_EQ(result.steps, joined(kStartSteps, kReleaseSteps));
}

// The end of the session releases everything while the loop still runs; the close that follows
// finds nothing more to release.
TEST_F(Svrun32Run, EndOfSessionReleasesOnceAndTheCloseAfterItDoesNotAgain)
{
    ProgramRun result = run("wait 100\nquit\n", {"STORVEL_TEST_ENDSESSION=1"});
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.steps, joined(joined(kStartSteps, kReleaseSteps), {"session ended, released yes"}));
    EXPECT_TRUE(result.has("window closed \"Storvel\""));
}

struct MessageCase {
    const char* name;
    const char* message; // STORVEL_TEST_MESSAGE
    const char* answer;
    const char* text;
    const char* buttons;
    int result;
};
static const MessageCase kMessages[] = {
    {"sub-message", "22,2", "Cancel", "The computer memory is full.  You must cancel the selected operation.",
        "\"Cancel\"", 1},
    {"buttons placed by digit", "45", "Continue", nullptr, "\"Continue\" \"Quit\"", 2},
    {"missing message, continue", "999", "Continue",
        "A serious error has occurred: Could not load message resource #999.  ", "\"Continue\" \"Quit\"", 1},
};

TEST_F(Svrun32Run, MessageBoxesAreAnsweredByTheScript)
{
    for (const MessageCase& c : kMessages) {
        SCOPED_TRACE(c.name);
        ProgramRun result = run(std::string("wait 100\nanswer ") + c.answer + "\n", {std::string("STORVEL_TEST_MESSAGE=") + c.message});
        EXPECT_EQ(result.exit_code, 0);
        std::string shown = "message box \"Storvel\" ";
        auto box = std::find_if(result.events.begin(), result.events.end(),
            [&](const std::string& e) { return e.rfind(shown, 0) == 0; });
        ASSERT_NE(box, result.events.end());
        if (c.text)
            EXPECT_EQ(*box, shown + "\"" + c.text + "\" buttons " + c.buttons);
        else
            EXPECT_NE(box->find(std::string("buttons ") + c.buttons), std::string::npos) << *box;
        std::string number(c.message, std::string(c.message).find(',') == std::string::npos
                ? std::string(c.message).size() : std::string(c.message).find(','));
        auto answered = "message " + number + " answered " + std::to_string(c.result);
        EXPECT_NE(std::find(result.steps.begin(), result.steps.end(), answered), result.steps.end());
        EXPECT_EQ(result.steps.back(), kReleaseSteps.back()); // closed by the script's end, released
    }
}

// Quit in the missing-message box is an internal error: box, release, exit 0.
TEST_F(Svrun32Run, QuitInTheMissingMessageBoxIsAnInternalError)
{
    ProgramRun result = run("wait 100\nanswer Quit\nwait 100\nanswer OK\n", {"STORVEL_TEST_MESSAGE=999"});
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_TRUE(result.has("message box \"Internal Error\" \"message, 284\" buttons \"OK\""));
    EXPECT_EQ(result.steps, joined(kStartSteps, kReleaseSteps));
}


// --- pieces ---------------------------------------------------------------------------------

// A library of two icons with recorded names, and a piece whose three links check by name:
// one by its node, one moved in the library (found by name), one of the wrong kind.
constexpr const char* kLibrary = R"(kind PLIB
icon map "Lib" node 1
icon map "Top" {
    icon display "Picture" link-name "Pic"
    icon sound "Bell" link-name "Bell"
}
)";
std::string linking_piece(const std::string& library)
{
    return "kind PCRS\nlibrary \"" + library + "\"\n" + R"(icon map "Course" {
    prop 20 textz "Course"
    attr 0x2010410 1
    icon display "Show" link 1 7 "Pic"
    icon sound "Ring" link 1 99 "Bell"
    icon calc "Lost" link 1 7 "Pic"
}
)";
}

TEST_F(Svrun32Run, PieceOpensWithItsLibraryAndClosesOnTheCloseRoad)
{
    make_piece("lib.v5e", kLibrary);
    make_piece("course.v5r", linking_piece("lib.v5e"));
    ProgramRun result = run("wait 100\nkey Ctrl+Q\n", {}, {"course.v5r"});
    EXPECT_EQ(result.exit_code, 0) << result.errors;
    std::string piece = path("course.v5r");
    EXPECT_TRUE(result.has("library 1 \"lib.v5e\" in slot 2: 3 links, 2 resolved"));
    int opened = result.index_of("piece opened \"" + piece + "\" title \"Course\"");
    int closed = result.index_of("piece closed \"" + piece + "\"");
    ASSERT_GE(opened, 0);
    EXPECT_GT(closed, opened);
    EXPECT_LT(closed, result.index_of(std::string(kTracePrefix) + kReleaseSteps.front()));
    EXPECT_TRUE(result.has("window closed \"Course\""));
}

// A library that is not where the piece says is asked for until a file opens or Cancel.
struct MissingLibraryCase {
    const char* name;
    const char* choice; // choose-file argument
    const char* line;
};
static const MissingLibraryCase kMissingLibraries[] = {
    {"chosen", "elsewhere/lib.v5e", "library 1 \"lib.v5e\" in slot 2: 3 links, 2 resolved"},
    {"cancelled", "cancel", "library 1 \"gone.v5e\" not opened: 3 links"},
};

TEST_F(Svrun32Run, MissingLibraryIsAskedForInTheFindLibraryDialog)
{
    std::filesystem::create_directory(path("elsewhere"));
    make_piece("elsewhere/lib.v5e", kLibrary);
    make_piece("course.v5r", linking_piece("gone.v5e"));
    for (const MissingLibraryCase& c : kMissingLibraries) {
        SCOPED_TRACE(c.name);
        std::string choice = std::string(c.choice) == "cancel" ? "cancel" : path(c.choice);
        ProgramRun result = run("choose-file " + choice + "\nwait 100\nkey Ctrl+Q\n", {}, {"course.v5r"});
        EXPECT_EQ(result.exit_code, 0) << result.errors;
        int asked = result.index_of("window shown \"Find Library\"");
        ASSERT_GE(asked, 0);
        EXPECT_GT(result.index_of(c.line), asked);
        EXPECT_TRUE(result.has("piece opened \"" + path("course.v5r") + "\" title \"Course\""));
    }
}

// A file that is no piece shows message 15 once, then the open dialog; Cancel ends the program.
struct BadPieceCase {
    const char* name;
    const char* description; // null: bytes that are no record file
    const char* error_text;
    const char* environment;
};
static const BadPieceCase kBadPieces[] = {
    {"damaged", nullptr, "file is damaged or not an Storvel file", nullptr},
    {"wrong kind", "kind PLIB\nicon map \"Lib\" node 1\nicon map \"Top\"\n", "file has bad or wrong type", nullptr},
    {"missing", "", "no such file or directory", nullptr},
    {"held writable", "", "file is already open elsewhere", "STORVEL_TEST_HOLD="},
};

TEST_F(Svrun32Run, FileThatCannotOpenShowsTheBoxOnceThenTheDialog)
{
    for (const BadPieceCase& c : kBadPieces) {
        SCOPED_TRACE(c.name);
        std::string file = path(std::string(c.name) == "held writable" ? "held.v5r" : "bad.v5r");
        std::filesystem::remove(file);
        if (!c.description)
            std::ofstream(file) << "this is no piece at all, only some words";
        else if (*c.description)
            make_piece("bad.v5r", c.description);
        std::vector<std::string> environment;
        if (c.environment)
            environment.push_back(c.environment + file);
        ProgramRun result = run("answer OK\nchoose-file cancel\n", environment, {file});
        EXPECT_EQ(result.exit_code, 0) << result.errors;
        std::string box = "message box \"Storvel\" \"The file \\\"" + file
            + "\\\" cannot be opened because the following error has occurred: " + c.error_text + ".\" buttons \"OK\"";
        int shown = result.index_of(box);
        ASSERT_GE(shown, 0);
        EXPECT_EQ(std::count_if(result.events.begin(), result.events.end(),
                      [](const std::string& e) { return e.rfind("message box \"", 0) == 0; }), 1);
        EXPECT_GT(result.index_of("window shown \"Open\""), shown);
        EXPECT_EQ(result.steps.back(), kReleaseSteps.back());
    }
}

// Before it opens a file, svrun32 asks every svrun32 window whether it holds it. A piece is
// open read-only, so a second instance plays the piece the first one holds.
TEST_F(Svrun32Run, SecondInstanceAsksTheFirstAndOpensThePieceItHolds)
{
    std::string piece = path("piece.v5r");
    Peer first(folder, "first", path("runtime"), "serve 60000\n", SVRUN32_PATH, {piece},
        {"STORVEL_WINDOWS_DIR=" + windows_folder()});
    ASSERT_TRUE(first.wait_for("piece opened \"" + piece + "\""));
    ProgramRun second = run("wait 100\nkey Ctrl+Q\n");
    EXPECT_EQ(second.exit_code, 0) << second.errors;
    EXPECT_TRUE(second.has("piece opened \"" + piece + "\" title \"Storvel\""));
    // The question (WM_USER+12 with the path's atom) reached the first, which holds it read-only.
    EXPECT_TRUE(first.wait_for("lparam 0 to SVXMainClass \"Storvel\" answered 0"));
}

std::string replace_slashes(std::string text)
{
    std::replace(text.begin(), text.end(), '/', '\\');
    return text;
}

// A copy of the program with a piece appended opens it without arguments; with NETPROF.on
// beside it, Quit appends the transfer totals to NETPROF.txt there.
TEST_F(Svrun32Run, ProgramCopyOpensItsPieceAndWritesTheTransferLog)
{
    make_piece("copy", std::string("kind PCRS\nprogram \"") + SVRUN32_PATH
            + "\"\nicon map \"Top\" {\n prop 20 textz \"Appended\"\n}\n");
    std::filesystem::permissions(path("copy"), std::filesystem::perms::owner_all);
    std::ofstream(path("NETPROF.on")) << "on";
    ProgramRun result = run("wait 100\nkey Ctrl+Q\nwait 100\n", {}, {}, path("copy"));
    EXPECT_EQ(result.exit_code, 0) << result.errors;
    // The program names itself the Windows way.
    EXPECT_TRUE(result.has("piece opened \"C:" + replace_slashes(path("copy")) + "\" title \"Appended\""));
    std::string log = read_text(path("NETPROF.txt"));
    std::regex line("INET_READ_FILE        BytesRead = [1-9][0-9]*    Seconds = [0-9]+\\.[0-9]{3}  "
                    "Bandwidth\\(bytes/sec\\) = +[0-9]+\\.[0-9]\n");
    EXPECT_TRUE(std::regex_match(log, line)) << log;
    // Without the switch file nothing is written.
    std::filesystem::remove(path("NETPROF.on"));
    std::filesystem::remove(path("NETPROF.txt"));
    run("wait 100\nkey Ctrl+Q\n", {}, {}, path("copy"));
    EXPECT_FALSE(std::filesystem::exists(path("NETPROF.txt")));
}

} // namespace

namespace {

// A piece with the resume option whose walk the kernel trace shows.
constexpr const char* kResumePiece = R"(kind PCRS
icon map "Top" {
    attr 0x2000308 1
    prop 20 textz "Storvel"
    icon calc "One"
    icon map "Group" {
        icon calc "Two"
    }
}
)";

// The kernel and records lines of a run.
std::vector<std::string> engine_lines(const ProgramRun& result)
{
    std::vector<std::string> out;
    for (const std::string& event : result.events)
        if (event.rfind("kernel ", 0) == 0 || event.rfind("records ", 0) == 0)
            out.push_back(event);
    return out;
}

const std::vector<std::string> kFreshWalk = {"kernel enter 1 map \"\"", "kernel enter 7 calc \"One\"", "kernel done 7",
    "kernel enter 8 map \"Group\"", "kernel enter 9 calc \"Two\"", "kernel done 9", "kernel done 8", "kernel done 1",
    "kernel ended", "records saved"};

std::vector<std::string> with_front(std::vector<std::string> lines, const std::vector<std::string>& front)
{
    lines.insert(lines.begin(), front.begin(), front.end());
    return lines;
}

} // namespace

// The first run walks the piece and saves at the close; the second resumes where it ended
// and enters nothing; a damaged records file starts the piece fresh without a word.
TEST_F(Svrun32Run, PieceResumesFromItsRecordsAndStartsFreshWhenTheyAreDamaged)
{
    make_piece("piece.v5r", kResumePiece);
    const std::vector<std::string> trace = {"STORVEL_TRACE=kernel,records"};
    ProgramRun first = run("wait 100\nquit\n", trace);
    EXPECT_EQ(first.exit_code, 0) << first.errors;
    EXPECT_EQ(engine_lines(first), with_front(kFreshWalk, {"records refused 5002", "records fresh"}));
    std::string records = windows_folder() + "/V5W_DATA/piece.rec";
    ASSERT_TRUE(std::filesystem::exists(records));

    ProgramRun second = run("wait 100\nquit\n", trace);
    EXPECT_EQ(engine_lines(second), (std::vector<std::string> {"records resumed", "records saved"}));

    static const struct {
        const char* name;
        size_t keep; // 0: bytes that are no records file
    } kDamage[] = {{"truncated", 120}, {"random", 0}};
    for (const auto& damage : kDamage) {
        SCOPED_TRACE(damage.name);
        std::string bytes = read_text(records);
        bytes = damage.keep ? bytes.substr(0, damage.keep) : std::string(500, '\x5a');
        std::ofstream(records, std::ios::binary | std::ios::trunc) << bytes;
        ProgramRun fresh = run("wait 100\nquit\n", trace);
        EXPECT_EQ(fresh.exit_code, 0) << fresh.errors;
        std::vector<std::string> lines = engine_lines(fresh);
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(std::vector<std::string>(lines.end() - ptrdiff_t(kFreshWalk.size()), lines.end()), kFreshWalk);
        for (const std::string& event : fresh.events)
            EXPECT_EQ(event.rfind("message box", 0), std::string::npos) << event;
    }
}

// The records file another svrun32 holds is not touched: the piece with the resume option does
// not open (error 5), and the file keeps its bytes.
TEST_F(Svrun32Run, RecordsAnotherInstanceHoldsFailTheOpeningAndStayAsTheyAre)
{
    make_piece("piece.v5r", kResumePiece);
    ProgramRun saved = run("wait 100\nquit\n");
    ASSERT_EQ(saved.exit_code, 0) << saved.errors;
    std::string records = windows_folder() + "/V5W_DATA/piece.rec";
    std::string piece = path("piece.v5r");
    Peer first(folder, "first", path("runtime"), "serve 60000\n", SVRUN32_PATH, {piece},
        {"STORVEL_WINDOWS_DIR=" + windows_folder()});
    ASSERT_TRUE(first.wait_for("piece opened \"" + piece + "\""));
    std::string before = read_text(records); // as the first holds it
    ASSERT_FALSE(before.empty());
    ProgramRun second = run("answer OK\nchoose-file cancel\n");
    EXPECT_EQ(second.exit_code, 0) << second.errors;
    EXPECT_FALSE(second.has("piece opened \"" + piece + "\" title \"Storvel\""));
    EXPECT_TRUE(std::any_of(second.events.begin(), second.events.end(),
        [](const std::string& e) { return e.rfind("message box \"Storvel\" \"The file", 0) == 0; }));
    EXPECT_EQ(read_text(records), before);
}

namespace {

// The first Calc's calculation is one expression (a Test standing as a statement takes
// statements as its branches, so a bare 1 there is refused); the last one is statements.
constexpr const char* kTimedPiece = R"P(kind PCRS
icon map "Top" {
    attr 0x2000308 1
    prop 20 textz "Storvel"
    icon calc "First" {
        attr 1 1
        code 1001 "Test(2 > 1, 1)"
    }
    icon wait "Timed" {
        code 1007 "1.5"
    }
    icon wait "Plain"
    icon calc "Last" {
        calc "if Test(2 > 1, 1) then exit"
    }
}
)P";

// The kernel lines of a run with the time each was logged at.
std::vector<std::pair<uint32_t, std::string>> timed_kernel_lines(const std::string& log)
{
    std::vector<std::pair<uint32_t, std::string>> out;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        size_t space = line.find(' ');
        if (space == std::string::npos || line.compare(space + 1, 7, "kernel ") != 0)
            continue;
        out.emplace_back(uint32_t(std::stoul(line.substr(0, space))), line.substr(space + 1));
    }
    return out;
}

} // namespace

// Calcs run their calculations, the timed Wait ends 1.5 s (virtual) after it began waiting, the
// plain one at once; the second session resumes the ended piece and counts itself.
TEST_F(Svrun32Run, TimedWaitEndsOnTheVirtualClockAndTheSecondSessionIsCounted)
{
    make_piece("piece.v5r", kTimedPiece);
    ProgramRun first = run("wait 3000\nquit\n", {"STORVEL_TRACE=kernel,records"});
    EXPECT_EQ(first.exit_code, 0) << first.errors;
    std::vector<std::pair<uint32_t, std::string>> lines = timed_kernel_lines(first.log);
    std::vector<std::string> texts;
    uint32_t waited = 0, done = 0;
    for (const auto& [time, text] : lines) {
        texts.push_back(text);
        if (text == "kernel wait 8")
            waited = time;
        if (text == "kernel done 8")
            done = time;
    }
    EXPECT_EQ(texts, (std::vector<std::string> {"kernel enter 1 map \"\"", "kernel enter 7 calc \"First\"",
                         "kernel calc 7 0", "kernel done 7", "kernel enter 8 wait \"Timed\"", "kernel wait 8",
                         "kernel done 8", "kernel enter 9 wait \"Plain\"", "kernel wait 9", "kernel done 9",
                         "kernel enter 10 calc \"Last\"", "kernel calc 10 0", "kernel done 10", "kernel done 1",
                         "kernel ended"}));
    EXPECT_GE(done - waited, 1500u);
    EXPECT_LE(done - waited, 1520u);

    ProgramRun second = run("wait 100\nquit\n", {"STORVEL_TRACE=records"});
    EXPECT_EQ(second.exit_code, 0) << second.errors;
    EXPECT_TRUE(second.has("records resumed"));
    std::string out;
    ASSERT_EQ(pm_dump_learner(windows_folder() + "/V5W_DATA/piece.rec", path("piece.v5r"), out), 0) << out;
    EXPECT_NE(out.find("session count 2 seconds "), std::string::npos) << out;
    file_term(); // the dump's file table
}

// --- window placement -------------------------------------------------------------------------

// Preset 3 (640 x 480) with a title bar.
constexpr const char* kPlacedPiece = "kind PCRS\nicon map \"Top\" {\n prop 20 textz \"Placed\"\n attr 0x20004f0 3\n attr 0x2000102 1\n}\n";

TEST_F(Svrun32Run, PresetThreeWithATitleBarIsCentredWithItsCaptionTakenFromTheHeight)
{
    make_piece("placed.v5r", kPlacedPiece);
    ProgramRun result = run("wait 100\nshot " + path("screen.png") + "\nshot " + path("window.png") + " Placed\nquit\n", {},
        {"placed.v5r"});
    EXPECT_EQ(result.exit_code, 0) << result.errors;
    Picture screen;
    Picture window;
    ASSERT_TRUE(read_png(path("screen.png"), screen));
    ASSERT_TRUE(read_png(path("window.png"), window));
    ASSERT_EQ(screen.width, 1024);
    ASSERT_EQ(screen.height, 768);
    // 640 x (480 - 18) inside a 3-pixel dialog frame and a 19-pixel caption.
    int frame = 3;
    int caption = 19;
    EXPECT_EQ(window.width, 640 + 2 * frame);
    EXPECT_EQ(window.height, 462 + 2 * frame + caption);
    int left = (1024 - window.width) / 2;
    int top = (768 - window.height) / 2;
    uint32_t desktop = screen.at(0, 0);
    EXPECT_EQ(screen.at(left - 1, top + 100), desktop);
    EXPECT_NE(screen.at(left, top + 100), desktop);
    EXPECT_EQ(screen.at(left + window.width, top + 100), desktop);
    EXPECT_NE(screen.at(left + 100, top), desktop);
    EXPECT_EQ(screen.at(left + 100, top - 1), desktop);
    EXPECT_EQ(screen.at(left + 100, top + window.height), desktop);
    EXPECT_NE(screen.at(left + 100, top + window.height - 1), desktop);
}

// --- about box --------------------------------------------------------------------------------

struct AboutCase {
    const char* name;
    const char* screen; // PLAT_SCREEN
    bool white_behind; // the 16-colour picture sits on white
};
static const AboutCase kAboutCases[] = {
    {"true colour", "1024x768x32", false},
    {"16 colours", "1024x768x4", true},
};

TEST_F(Svrun32Run, AboutBoxFromTheSystemMenuClosesByItselfAfterThreeSeconds)
{
    for (const AboutCase& row : kAboutCases) {
        SCOPED_TRACE(row.name);
        make_piece("placed.v5r", kPlacedPiece);
        std::string shot = path(std::string("about-") + row.screen + ".png");
        ProgramRun result = run("wait 100\nkey Alt+Space\nwait 100\nkey A\nwait 100\nshot " + shot + "\nwait 3000\nquit\n",
            {std::string("PLAT_SCREEN=") + row.screen}, {"placed.v5r"});
        EXPECT_EQ(result.exit_code, 0) << result.errors;
        int chose = result.index_of("menu chose \"About...\"");
        int shown = result.index_of("window shown \"\"");
        int closed = result.index_of("window closed \"\"");
        ASSERT_GE(chose, 0) << result.log;
        EXPECT_GT(shown, chose);
        EXPECT_GT(closed, shown);
        // Shown and closed 3000 ms apart on the virtual clock.
        auto time_of = [&](const std::string& event) {
            std::istringstream lines(result.log);
            for (std::string line; std::getline(lines, line);)
                if (line.substr(line.find(' ') + 1) == event)
                    return std::stoi(line);
            return -1;
        };
        EXPECT_EQ(time_of("window closed \"\"") - time_of("window shown \"\""), 3000);
        Picture screen;
        ASSERT_TRUE(read_png(shot, screen));
        // The box's client area is 177 x 234 centred on the screen in a 3-pixel frame; the
        // picture's corner is light grey with true colour and white with 16 colours.
        int left = 1024 / 2 - 177 / 2;
        int top = 768 / 2 - 234 / 2;
        EXPECT_EQ(screen.at(left + 2, top + 2), row.white_behind ? 0xffffffu : 0xc0c0c0u);
        EXPECT_NE(screen.at(512, top + 117), screen.at(left + 2, top + 2)); // the picture
    }
}
