#include "rec_fixture.h"
#include "rec_fixtures_hex.h"
#include "tools/piecemaker/pm_build.h"
#include "tools/piecemaker/pm_desc.h"
#include "tools/piecemaker/pm_dump.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

using namespace rectest;

namespace {

class PiecemakerTest : public RecTest {
protected:
    void SetUp() override
    {
        RecTest::SetUp();
        std::string pattern
            = (std::filesystem::temp_directory_path() / "piecemaker_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override
    {
        std::filesystem::remove_all(folder_);
        RecTest::TearDown();
    }

    std::string path(const std::string& name) const { return folder_ + "/" + name; }
    void write(const std::string& name, const std::vector<uint8_t>& bytes) const
    {
        std::ofstream(path(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }

    // The description built into bytes; "" on success or the message.
    std::string make(const std::string& text, std::vector<uint8_t>& bytes) const
    {
        PieceDescription piece;
        std::string error;
        if (!pm_parse(text, folder_, piece, error) || !pm_make(piece, bytes, error))
            return error;
        return "";
    }
    // Builds the description into a file and dumps it through the runtime.
    int dump(const std::string& text, int hex, std::string& out)
    {
        std::vector<uint8_t> bytes;
        EXPECT_EQ(make(text, bytes), "");
        write("piece.bin", bytes);
        return pm_dump(path("piece.bin"), hex, out);
    }
    // The dump's record lines by number.
    static std::map<int, std::string> record_lines(const std::string& dumped)
    {
        std::map<int, std::string> lines;
        std::istringstream in(dumped);
        for (std::string line; std::getline(in, line);)
            if (line.rfind("record ", 0) == 0)
                lines[std::stoi(line.substr(7))] = line;
        return lines;
    }

    std::string folder_;
};

TEST_F(PiecemakerTest, WritesTheHandCheckedFiles)
{
    std::vector<uint8_t> bytes;
    ASSERT_EQ(make("kind PCRS\n"
                   "record 1 2 raw u32 1 2\n"
                   "record 2 -1 raw text \"hi\"\n",
                  bytes),
        "");
    EXPECT_EQ(to_hex(bytes), to_hex(from_hex(kPackagedPiece)));
    ASSERT_EQ(make("kind WSTU\n"
                   "order big\n"
                   "directory editable\n"
                   "record 9 45 raw hex \"0102\"  # no converter: stored as given\n"
                   "record 3 2 raw\n"
                   "    u32 1\n"
                   "    u32 2\n"
                   "end\n",
                  bytes),
        "");
    EXPECT_EQ(to_hex(bytes), to_hex(from_hex(kEditableBigRecords)));
}

constexpr const char* kRecords = "padding 3\n"
                                 "record 1 1 zlib\n"
                                 "    u16 1024 0 5\n"
                                 "    zeros 1206\n"
                                 "end\n"
                                 "record 2 2 raw u32 7 9\n"
                                 "record 5 20 zlib hex \"0300 0400 0100 0200 0000\"\n"
                                 "record 6 -1 raw order little text \"plain\"\n";

TEST_F(PiecemakerTest, BothByteOrdersAndDirectoriesReadTheSame)
{
    struct Case {
        const char* name;
        const char* head;
        const char* order;
    };
    static const Case kCases[] = {
        { "packaged, native", "kind PCRS\n", "little" },
        { "packaged, other order", "kind PLIB\norder big\n", "big" },
        { "editable, native", "kind VCRS\n", "little" },
        { "editable, other order", "kind WSTU\norder big\n", "big" },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        std::string text = std::string(c.head) + kRecords;
        std::string out;
        ASSERT_EQ(dump(text, 0, out), 0) << out;
        std::map<int, std::string> lines = record_lines(out);
        std::string order = std::string(" order ") + c.order;
        EXPECT_NE(lines[1].find("type 1 zlib stored "), std::string::npos) << lines[1];
        EXPECT_NE(lines[1].find("unpacked 1212" + order), std::string::npos) << lines[1];
        EXPECT_NE(lines[2].find("type 2 raw stored 8 unpacked 8" + order), std::string::npos)
            << lines[2];
        EXPECT_NE(lines[6].find("type -1 raw stored 5 unpacked 5 order little"), std::string::npos)
            << lines[6];
        bool packaged = std::string(c.name).find("packaged") == 0;
        // A packaged directory has an entry for every number; an editable one only for records.
        EXPECT_EQ(lines.size(), packaged ? 6u : 4u);
        EXPECT_NE(out.find(packaged ? "entries 6\n" : "entries 4\n"), std::string::npos);
        std::string hex;
        ASSERT_EQ(dump(text, 5, hex), 0);
        EXPECT_EQ(hex, "00000000  03 00 04 00 01 00 02 00 00 00\n");
        hex.clear();
        ASSERT_EQ(dump(text, 1, hex), 0);
        EXPECT_EQ(hex.substr(0, 58), "00000000  00 04 00 00 05 00 00 00 00 00 00 00 00 00 00 00\n");
    }
}

TEST_F(PiecemakerTest, AppendsToAProgram)
{
    std::vector<uint8_t> elf = from_hex("7f454c46 02010100");
    elf.resize(300, 0xcc);
    write("elf", elf);
    std::vector<uint8_t> mz = from_hex("4d5a");
    mz.resize(128, 0);
    write("mz", mz);
    for (const char* program : { "elf", "mz" }) {
        SCOPED_TRACE(program);
        std::string text = std::string("kind PCRS\nprogram \"") + program + "\"\n" + kRecords;
        std::string out;
        ASSERT_EQ(dump(text, 0, out), 0) << out;
        int64_t base = std::string(program) == "elf" ? 300 : 128;
        EXPECT_NE(out.find("base " + std::to_string(base) + " "), std::string::npos) << out;
        EXPECT_NE(
            out.find("directory-offset " + std::to_string(base + 106) + " "), std::string::npos);
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(pm_load(path("piece.bin"), bytes, out));
        EXPECT_EQ(to_hex(bytes.data(), 2), std::string(program) == "elf" ? "7f45" : "4d5a");
    }
    write("text", from_hex("41424344"));
    std::vector<uint8_t> bytes;
    EXPECT_EQ(make("program \"text\"\n", bytes), "the program is neither an MZ nor an ELF file");
}

TEST_F(PiecemakerTest, DescriptionErrorsSayWhere)
{
    struct Case {
        const char* text;
        const char* error;
    };
    static const Case kCases[] = {
        { "kind PCRS\nrecrod 1 2 raw\n", "line 2: unknown statement 'recrod'" },
        { "record 1 2 packed\n", "line 1: storage is raw or zlib" },
        { "record 0 2 raw\n", "line 1: expected a number from 1 to 65535, got '0'" },
        { "record 1 2 raw\n  hex \"123\"\nend\n", "line 2: hex needs pairs of digits" },
        { "record 1 2 raw\n  u16 70000\nend\n",
            "line 2: expected a number from -32768 to 65535, got '70000'" },
        { "record 1 2 raw\n  text \"open\n", "line 2: unfinished text or bad escape" },
        { "record 1 2 raw\n", "record 1 has no 'end'" },
        { "record 1 2 raw u8 1\nrecord 1 2 raw u8 2\n", "line 2: record 1 is given twice" },
        { "record 1 2 raw\n  file \"missing.bin\"\nend\n", "line 2: cannot read 'missing.bin'" },
        { "kind PCRSX\n", "line 1: a kind is four characters" },
        { "order sideways\n", "line 1: 'order' takes little or big" },
        { "var x 1\nvar X 2\n", "line 2: variable 'X' is given twice" }, // names ignore case
        { "var x expr 5\n", "line 1: var NAME expr|symbol \"TEXT\"" },
        { "var x blue\n", "line 1: a variable's value is a number, a text, expr or symbol" },
        { "var x 4294967296\n", "line 1: a variable's number is 32-bit" },
        { "name-dict on\n", "line 1: 'name-dict' takes 0 argument(s)" },
        { "order big\nrecord 1 -1 raw u8 1\n",
            "record 1 (line 2): type -1 cannot be stored in the other byte order (error 8006)" },
        { "record 1 300 raw u8 1\n",
            "record 1 (line 1): a packaged directory holds types -3 to 252" },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.text);
        std::vector<uint8_t> bytes;
        EXPECT_EQ(make(c.text, bytes), c.error);
    }
}

TEST_F(PiecemakerTest, IconErrorsSayWhere)
{
    struct Case {
        const char* text;
        const char* error;
    };
    static const Case kCases[] = {
        { "icon box \"A\"\n", "line 1: icon takes a kind: display, motion, erase, interaction, "
                                  "decision, map, wait, calc, movie, sound, video, framework, "
                                  "navigate, sprite, guidepack" },
        { "icon map {\n", "the icon of line 1 has no '}'" },
        { "}\n", "line 1: unknown statement '}'" },
        { "icon map {\n icon calc list 3\n}\n", "line 2: only a framework's children go in lists 3 and 4" },
        { "icon map node 5\nicon calc node 5\n", "line 2: node 5 is given twice" },
        { "icon map node 40000\n", "line 1: expected a number from 1 to 32767, got '40000'" },
        { "icon map {\n attr 0x1000101 1\n}\n", "line 1: the attribute lies past the layout block of class 0" },
        { "icon calc {\n attr 5 1\n}\n",
            "line 1: computed attribute 5 is not one the piece maker writes for a calc" },
        { "icon map {\n prop 1 u8 1\n prop 1 u8 2\n}\n", "line 3: property 1 is given twice" },
        { "icon map {\n record 2 2 raw\n}\n", "line 2: unknown icon statement 'record'" },
        { "record 1 2 raw u8 1\nicon map\n", "line 1: record 1 is the node directory of the icons" },
        { "icon map {\n deps 999 1 1\n}\n", "line 2: expected a number from 1000 to 2999, got '999'" },
        { "icon map {\n deps 1600 1 Nobody\n}\n", "line 2: variable 'Nobody' is not declared" },
        { "icon map {\n deps 1600 2 7 1\n}\n", "line 2: a dependency is EVENT VALUE [context N]" },
        { "icon map {\n deps 1600 2 7\n deps 1600 2 8\n}\n", "line 3: the dependencies of 1600 are given twice" },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.text);
        std::vector<uint8_t> bytes;
        EXPECT_EQ(make(c.text, bytes), c.error);
    }
}

// Runs the program; its exit code, with stdout in out.
int run(const std::string& command, std::string& out)
{
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return -1;
    char buffer[4096];
    for (size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, got);
    int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(PiecemakerTest, TheProgramBuildsAndDumps)
{
    std::ofstream(path("piece.txt")) << "kind PCRS\n" << kRecords;
    std::string out;
    std::string tool = PIECEMAKER_PATH;
    ASSERT_EQ(run(tool + " build " + path("piece.txt") + " " + path("piece.v5r"), out), 0) << out;
    ASSERT_EQ(run(tool + " dump " + path("piece.v5r"), out), 0) << out;
    EXPECT_EQ(out.rfind("kind PCRS format 22 version -8 base 0 order little\n", 0), 0u) << out;
    out.clear();
    ASSERT_EQ(run(tool + " dump " + path("piece.v5r") + " --hex 2", out), 0);
    EXPECT_EQ(out, "00000000  07 00 00 00 09 00 00 00\n");

    // A record whose stream was damaged: the listing names it and the dump fails.
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(pm_load(path("piece.v5r"), bytes, out));
    bytes[106 + 10 * 10 + 2] ^= 0xff; // inside record 1's zlib stream, after the directory
    write("damaged.v5r", bytes);
    out.clear();
    EXPECT_EQ(run(tool + " dump " + path("damaged.v5r"), out), 1);
    EXPECT_NE(out.find("unpacked 1212 order little offset 206 error 5000\n"), std::string::npos)
        << out;
    EXPECT_EQ(out.substr(out.size() - 11), "error 5000\n");

    bytes.resize(100); // the header is cut
    write("cut.v5r", bytes);
    out.clear();
    EXPECT_EQ(run(tool + " dump " + path("cut.v5r"), out), 1);
    EXPECT_EQ(out, "error 5006\n");
    out.clear();
    EXPECT_EQ(run(tool + " dump " + path("absent.v5r"), out), 1);
    EXPECT_EQ(out, "error 2\n");
    out.clear();
    EXPECT_EQ(run(tool + " dump", out), 2);
}

} // namespace

namespace {

// Options go before, between or after the file arguments; --help prints the usage on stdout.
TEST_F(PiecemakerTest, OptionsStandAnywhereOnTheCommandLine)
{
    std::ofstream(path("piece.txt")) << "kind PCRS\n" << kRecords;
    std::string tool = PIECEMAKER_PATH, out;
    ASSERT_EQ(run(tool + " build " + path("piece.txt") + " " + path("piece.v5r"), out), 0) << out;
    const std::string piece = path("piece.v5r");
    struct Case {
        std::string arguments;
        int exit_code;
        std::string start; // what the output begins with
    };
    const Case kCases[] = {
        { "dump " + piece + " --hex 2", 0, "00000000  07 00" },
        { "--hex 2 dump " + piece, 0, "00000000  07 00" },
        { "dump --hex 2 " + piece, 0, "00000000  07 00" },
        { "dump --tree " + piece, 1, "" },
        { "dump " + piece + " --tree", 1, "" },
        { "dump " + piece + " --hex", 2, "piecemaker: --hex needs a value\nusage: piecemaker" },
        { "dump " + piece + " --tree --hex 2", 2, "usage: piecemaker" },
        { "dump " + piece + " --color", 2, "piecemaker: unknown option --color\nusage:" },
        { "dump --learner " + piece, 1, "error 5004" }, // a piece is no learner's records file
        { "dump --learner " + piece + " " + piece + " " + piece, 2, "usage: piecemaker" },
        { "dump --learner --tree " + piece, 2, "usage: piecemaker" },
        { "--help", 0, "usage: piecemaker build" },
        { "dump -h", 0, "usage: piecemaker build" },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.arguments);
        out.clear();
        EXPECT_EQ(run(tool + " " + c.arguments, out), c.exit_code) << out;
        EXPECT_EQ(out.rfind(c.start, 0), 0u) << out;
    }
    // The same output whichever side of the file the option stands.
    std::string before, after;
    run(tool + " dump --tree " + piece, before);
    run(tool + " dump " + piece + " --tree", after);
    EXPECT_EQ(before, after);

    // build with --program before its files.
    out.clear();
    EXPECT_EQ(run(tool + " --program " + path("absent") + " build " + path("piece.txt") + " "
                      + path("copy.v5r"),
                  out),
        1);
    EXPECT_NE(out.find("absent"), std::string::npos) << out;
}

} // namespace
