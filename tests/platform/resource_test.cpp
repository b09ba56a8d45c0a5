#include "platform/kernel/error.h"
#include "platform/kernel/resource.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

using namespace plat;

namespace {

// The fixtures (fixtures/*.rsrc) are compiled into this binary by the real compiler: module
// "test_platform" is the program module, "test_library" a second one.

template <size_t N> std::string lit(const char (&text)[N]) { return std::string(text, N - 1); }

std::string hex(const char* text)
{
    std::string out;
    for (const char* p = text; *p;) {
        if (*p == ' ') {
            ++p;
            continue;
        }
        out += char(std::stoi(std::string(p, 2), nullptr, 16));
        p += 2;
    }
    return out;
}

std::string bytes_of(ResourceBytes r)
{
    return r.data ? std::string(reinterpret_cast<const char*>(r.data), r.size) : "<not found>";
}

struct StringCase {
    const char* name;
    const char* module; // null: the program module
    uint32_t id;
    int size;
    const char* expected;
};

const StringCase kStringCases[] = {
    { "1252 text converted from UTF-8", nullptr, 1, 64, "Caf\xE9" },
    { "escapes are bytes as written", nullptr, 2, 64, "Tab\there\n\x80" },
    { "last entry of a block", nullptr, 15, 64, "last of block 1" },
    { "first entry of the next block", nullptr, 16, 64, "first of block 2" },
    { "949 text from another source file", nullptr, 32, 64, "\xC7\xD1\xB1\xDB" },
    { "cut to size - 1", nullptr, 0, 4, "Sto" },
    { "exactly fits", nullptr, 0, 8, "Storvel" },
    { "a double-byte character is not split", nullptr, 33, 4, "\xB0\xA1" },
    { "whole double-byte characters fit", nullptr, 33, 5, "\xB0\xA1\xB3\xAA" },
    { "size 1 leaves room for the NUL only", nullptr, 0, 1, "" },
    { "empty entry", nullptr, 17, 64, "" },
    { "missing entry of an existing block", nullptr, 18, 64, "" },
    { "missing block", nullptr, 4000, 64, "" },
    { "id past 16 bits is not id 0", nullptr, 0x10000, 64, "" },
    { "module found by name without case", "TEST_Library", 0, 64, "library" },
};

TEST(PlatResource, LoadStringCutsAndTerminates)
{
    for (const StringCase& c : kStringCases) {
        SCOPED_TRACE(c.name);
        ModuleHandle module = c.module ? get_resource_module(c.module) : ModuleHandle {};
        char buffer[65];
        std::memset(buffer, 'z', sizeof buffer);
        int length = load_string(module, c.id, buffer, c.size);
        EXPECT_EQ(std::string(buffer), c.expected);
        EXPECT_EQ(length, int(std::strlen(c.expected)));
        EXPECT_EQ(buffer[c.size], 'z') << "wrote past the given size";
    }
    char untouched[2] = { 'z', 'z' };
    EXPECT_EQ(load_string(ModuleHandle {}, 0, untouched, 0), 0);
    EXPECT_EQ(untouched[0], 'z');
}

struct BytesCase {
    const char* name;
    ResourceId type;
    ResourceId id;
    std::string expected;
};

// Hand-written expectations, so that the compiler and the readers cannot share a mistake.
const BytesCase kBytesCases[] = {
    { "message: kind, three captions, format, sub-messages", RT_MESSAGE, 22,
        lit("\x02\x00"
            "Cancel\0\0\0"
            "The %m is full.  You must cancel the selected operation.\0"
            "disk\0"
            "computer memory\0") },
    { "message: numbered kind, continued format", RT_MESSAGE, 45,
        lit("\x02\x00"
            "2&Quit\0"
            "1Continue\0"
            "\0"
            "Unable to display icon \"%s\": %s.  Records of this session will not be saved.\0") },
    { "message in code page 949", RT_MESSAGE, 300,
        hex("0300 bfb900 bec6b4cfbfc000 00 2573c0bb28b8a62920c1f6bfefb1eebfe43f00") },
    { "rcdata items", RT_RCDATA, 100,
        hex("0100 ffff ffff 616269646500 deadbeef e900 ff ff 78563412 626c6f62") },
    { "one-line rcdata", RT_RCDATA, 7, hex("0102") },
    { "named type and name, matched without case", "wave", "Click", "blob" },
    { "'#' names a number", "#300", "#5", "x" },
    { "string block: code page, 16 counted entries", RT_STRING, 3,
        hex("b503 0400c7d1b1db 0600b0a1b3aab4d9 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 "
            "0000 0000 0000 0000") },
};

TEST(PlatResource, CompiledBytesAreExact)
{
    for (const BytesCase& c : kBytesCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(bytes_of(find_resource(ModuleHandle {}, c.type, c.id)), c.expected);
    }
}

TEST(PlatResource, BitmapIsTheFileWithoutItsFileHeader)
{
    std::ifstream file(STORVEL_SOURCE_DIR "/tests/platform/fixtures/tiny.bmp", std::ios::binary);
    std::string bmp((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_GT(bmp.size(), 14u);
    EXPECT_EQ(bytes_of(find_resource(ModuleHandle {}, RT_BITMAP, 1)), bmp.substr(14));
}

struct LookupCase {
    const char* name;
    const char* module; // null: the program module
    ResourceId type;
    ResourceId id;
    uint32_t error; // 0: found
};

const LookupCase kLookupCases[] = {
    { "numbered type and name", nullptr, RT_RCDATA, 7, 0 },
    { "named resource of a numbered type", nullptr, RT_MENU, "main", 0 },
    { "a stored name is not a number", nullptr, RT_MENU, 0, ERROR_RESOURCE_NAME_NOT_FOUND },
    { "a name is not a number without '#'", nullptr, RT_RCDATA, "7",
        ERROR_RESOURCE_NAME_NOT_FOUND },
    { "missing name", nullptr, RT_DIALOG, 230, ERROR_RESOURCE_NAME_NOT_FOUND },
    { "number 0", nullptr, RT_RCDATA, "#0", 0 },
    { "an empty name is not the number 0", nullptr, RT_RCDATA, "", ERROR_RESOURCE_NAME_NOT_FOUND },
    { "missing numbered type", nullptr, 11, 1, ERROR_RESOURCE_TYPE_NOT_FOUND },
    { "missing named type", nullptr, "SOUND", "CLICK", ERROR_RESOURCE_TYPE_NOT_FOUND },
    { "other module's resources are not seen", "test_library", RT_RCDATA, 7,
        ERROR_RESOURCE_NAME_NOT_FOUND },
    { "other module's own resource", "test_library", RT_RCDATA, 1, 0 },
};

TEST(PlatResource, FindResourceReportsWin32Errors)
{
    for (const LookupCase& c : kLookupCases) {
        SCOPED_TRACE(c.name);
        ModuleHandle module = c.module ? get_resource_module(c.module) : ModuleHandle {};
        set_last_error(0);
        ResourceBytes r = find_resource(module, c.type, c.id);
        EXPECT_EQ(r.data != nullptr, c.error == 0);
        EXPECT_EQ(get_last_error(), c.error);
    }
}

TEST(PlatResource, NullHandleMeansTheProgramModule)
{
    ModuleHandle program = get_program_resource_module();
    ASSERT_TRUE(program);
    EXPECT_EQ(program, get_resource_module("test_platform"));
    EXPECT_NE(program, get_resource_module("test_library"));
    EXPECT_EQ(find_resource(program, RT_RCDATA, 7).data,
        find_resource(ModuleHandle {}, RT_RCDATA, 7).data);

    ModuleHandle foreign(program.id ^ 0x5A5A5A5A);
    EXPECT_EQ(find_resource(foreign, RT_RCDATA, 7).data, nullptr);
    EXPECT_EQ(get_last_error(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(get_resource_module("no_such_module"));
}

bool collect_name(ModuleHandle, ResourceId, ResourceId name, void* user)
{
    auto& names = *static_cast<std::vector<std::string>*>(user);
    names.push_back(name.is_number() ? std::to_string(name.number) : std::string(name.name));
    return names.size() < 2;
}

TEST(PlatResource, EnumerationFollowsTableOrderAndStops)
{
    std::vector<std::string> names;
    EXPECT_TRUE(enum_resource_names(ModuleHandle {}, RT_DIALOG, collect_name, &names));
    EXPECT_EQ(names, (std::vector<std::string> { "229", "SMALL" }));
    names.clear();
    EXPECT_TRUE(enum_resource_names(ModuleHandle {}, RT_MESSAGE, collect_name, &names));
    EXPECT_EQ(names, (std::vector<std::string> { "22", "45" }))
        << "the visitor's false stops the walk";
    EXPECT_FALSE(enum_resource_names(ModuleHandle {}, 11, collect_name, &names));
    EXPECT_EQ(get_last_error(), ERROR_RESOURCE_TYPE_NOT_FOUND);
}

const uint8_t kData[] = { 1, 2, 3, 4 };
const ResourceEntry kGood[] = {
    { 10, nullptr, 1, nullptr, 0, 4 },
    { 10, nullptr, 2, nullptr, 4, 0 },
    { 10, nullptr, 0, "A", 1, 2 },
    { 0, "T", 0, "B", 3, 1 },
};
const ResourceEntry kPastEnd[] = { { 10, nullptr, 1, nullptr, 2, 3 } };
const ResourceEntry kOffsetWraps[] = { { 10, nullptr, 1, nullptr, 0xFFFFFFFF, 2 } };
const ResourceEntry kUnsorted[]
    = { { 10, nullptr, 2, nullptr, 0, 1 }, { 10, nullptr, 1, nullptr, 0, 1 } };
const ResourceEntry kTwice[] = { { 10, nullptr, 0, "A", 0, 1 }, { 10, nullptr, 0, "a", 0, 1 } };
const ResourceEntry kNameFirst[]
    = { { 10, nullptr, 0, "A", 0, 1 }, { 10, nullptr, 1, nullptr, 0, 1 } };
const ResourceEntry kEmptyName[] = { { 10, nullptr, 0, "", 0, 1 } };

struct RegisterCase {
    const char* name;
    ResourceModuleTable table;
    bool accepted;
};

const RegisterCase kRegisterCases[] = {
    { "well formed", { "hand_made", ResourceModuleKind::library, kGood, 4, kData, 4 }, true },
    { "entry past the data", { "hand_made", ResourceModuleKind::library, kPastEnd, 1, kData, 4 },
        false },
    { "offset that would wrap",
        { "hand_made", ResourceModuleKind::library, kOffsetWraps, 1, kData, 4 }, false },
    { "entries out of order", { "hand_made", ResourceModuleKind::library, kUnsorted, 2, kData, 4 },
        false },
    { "one name twice, in two cases",
        { "hand_made", ResourceModuleKind::library, kTwice, 2, kData, 4 }, false },
    { "name sorted before a number",
        { "hand_made", ResourceModuleKind::library, kNameFirst, 2, kData, 4 }, false },
    { "empty name", { "hand_made", ResourceModuleKind::library, kEmptyName, 1, kData, 4 }, false },
    { "module name taken", { "TEST_LIBRARY", ResourceModuleKind::library, kGood, 4, kData, 4 },
        false },
    { "second program module", { "hand_made", ResourceModuleKind::program, kGood, 4, kData, 4 },
        false },
};

TEST(PlatResource, RegistrationRefusesMalformedTables)
{
    for (const RegisterCase& c : kRegisterCases) {
        SCOPED_TRACE(c.name);
        ModuleHandle module = register_resource_module(c.table);
        ASSERT_EQ(bool(module), c.accepted);
        if (!module)
            continue;
        EXPECT_EQ(get_resource_module("HAND_MADE"), module);
        EXPECT_EQ(bytes_of(find_resource(module, 10, 2)), "");
        EXPECT_EQ(bytes_of(find_resource(module, "t", "b")), "\x04");
        unregister_resource_module(module);
        EXPECT_EQ(find_resource(module, 10, 1).data, nullptr);
        EXPECT_EQ(get_last_error(), ERROR_INVALID_HANDLE);
    }
}

// The compiler on bad sources: one line "file:line: message" and exit code 1, no output.
struct CompilerCase {
    const char* name;
    const char* source;
    const char* message;
};

const CompilerCase kCompilerCases[] = {
    { "unknown statement", "string 1 \"a\"\ndialogue 5\n",
        "bad.rsrc:2: unknown statement 'dialogue'" },
    { "block without end", "menu 1\n  item \"a\" 1\n", "bad.rsrc:1: 'menu' has no 'end'" },
    { "end forgotten before the next resource", "dialog 1 0 0 9 9\nmenu 2\n",
        "bad.rsrc:2: 'menu' is not known inside 'dialog' (is an 'end' missing?)" },
    { "character outside the code page", "codepage 1252\nstring 1 \"\xED\x95\x9C\"\n",
        "bad.rsrc:2: '\xED\x95\x9C' (U+D55C) is not in code page 1252" },
    { "unknown code page", "codepage 12345\n", "bad.rsrc:1: code page 12345 is not known" },
    { "unterminated text", "string 1 \"abc\n", "bad.rsrc:1: unterminated text" },
    { "bad escape", "string 1 \"a\\q\"\n", "bad.rsrc:1: unknown escape '\\q'" },
    { "source is not UTF-8", "string 1 \"\xE9\"\n", "bad.rsrc:1: the line is not UTF-8 text" },
    { "string defined twice", "string 1 \"a\"\n\nstring 1 \"b\"\n",
        "bad.rsrc:3: string 1 is already defined at bad.rsrc:1" },
    { "resource defined twice", "rcdata X hex \"00\"\nrcdata x text \"b\"\n",
        "bad.rsrc:2: rcdata X is already defined at bad.rsrc:1" },
    { "code pages mixed in a string block", "string 1 \"a\"\ncodepage 949\nstring 2 \"b\"\n",
        "bad.rsrc:3: string 2 is in code page 949 but its block of 16 is in code page 1252" },
    { "unknown style", "dialog 1 0 0 9 9\n  style WS_CHILD | WS_BOGUS\nend\n",
        "bad.rsrc:2: unknown style 'WS_BOGUS'" },
    { "number out of range", "dialog 1 0 0 9 40000\nend\n",
        "bad.rsrc:1: the height must be from 0 to 32767" },
    { "error on a continued line", "message 1 stop\n  format \"a\" \\\n    7\nend\n",
        "bad.rsrc:3: unexpected number 7" },
    { "four buttons",
        "message 1 stop\n button \"a\"\n button \"b\"\n button \"c\"\n button \"d\"\nend\n",
        "bad.rsrc:5: a message has at most three buttons" },
    { "message without format", "message 1 warning\n  button \"a\"\nend\n",
        "bad.rsrc:1: the message has no format" },
    { "NUL in a message text", "message 1 stop\n  format \"a\\0b\"\nend\n",
        "bad.rsrc:2: the format text cannot hold a NUL character" },
    { "ragged cursor rows", "cursor C\n  row \"..\"\n  row \"...\"\nend\n",
        "bad.rsrc:3: the row is not as wide as the image's first row" },
    { "hotspot outside", "cursor C\n  hotspot 2 0\n  row \"..\"\nend\n",
        "bad.rsrc:1: the hotspot is outside the image" },
    { "empty popup", "menu 1\n  popup \"a\"\n  end\nend\n", "bad.rsrc:2: the popup has no items" },
    { "SHIFT without VIRTKEY", "accelerators 1\n  key \"a\" 5 SHIFT\nend\n",
        "bad.rsrc:2: SHIFT and CONTROL need VIRTKEY" },
    { "virtual key without VIRTKEY", "accelerators 1\n  key VK_F1 5\nend\n",
        "bad.rsrc:2: 'VK_F1' needs VIRTKEY" },
    { "fixed field too small", "rcdata 1 fixed 2 \"abc\"\n",
        "bad.rsrc:1: the text is longer than its field of 2 bytes" },
    { "odd hex digits", "rcdata 1 hex \"012\"\n",
        "bad.rsrc:1: hex data must be pairs of hex digits" },
    { "missing file", "rcdata 1 file \"none.bin\"\n",
        "bad.rsrc:1: cannot read './none.bin': No such file or directory" },
    { "not a BMP", "bitmap 1 \"bad.rsrc\"\n", "bad.rsrc:1: not a BMP file" },
};

struct TempFolder {
    std::filesystem::path path;
    TempFolder()
    {
        char name[] = "/tmp/plat_resource_test_XXXXXX";
        path = mkdtemp(name);
    }
    ~TempFolder() { std::filesystem::remove_all(path); }
};

// Runs the compiler in the folder; returns its exit code and what it printed.
int run_compiler(const std::filesystem::path& folder, std::string& output,
    const std::string& arguments = "--module t --output out.cpp bad.rsrc")
{
    std::string command
        = "cd '" + folder.string() + "' && '" STORVEL_RC_PATH "' " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return -1;
    output.clear();
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe))
        output += buffer;
    int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(PlatResource, CompilerReportsBadSources)
{
    TempFolder folder;
    for (const CompilerCase& c : kCompilerCases) {
        SCOPED_TRACE(c.name);
        std::ofstream(folder.path / "bad.rsrc", std::ios::binary) << c.source;
        std::string output;
        EXPECT_EQ(run_compiler(folder.path, output), 1);
        EXPECT_EQ(output, std::string(c.message) + "\n");
        EXPECT_FALSE(std::filesystem::exists(folder.path / "out.cpp"));
    }
}

TEST(PlatResource, CompilerAcceptsAnEmptySource)
{
    TempFolder folder;
    std::ofstream(folder.path / "bad.rsrc") << "# nothing yet\n";
    std::string output;
    EXPECT_EQ(run_compiler(folder.path, output), 0);
    EXPECT_EQ(output, "");
    std::ifstream generated(folder.path / "out.cpp");
    std::stringstream text;
    text << generated.rdbuf();
    EXPECT_NE(text.str().find("register_resource_module"), std::string::npos);
}

// Options stand before or after the sources; --help prints the usage and succeeds.
TEST(PlatResource, CompilerTakesOptionsAnywhere)
{
    TempFolder folder;
    std::ofstream(folder.path / "bad.rsrc") << "# nothing yet\n";
    struct Case {
        const char* arguments;
        int exit_code;
        bool writes;
        const char* start;
    };
    const Case kCases[] = {
        { "bad.rsrc --module t --output out.cpp", 0, true, "" },
        { "--output out.cpp bad.rsrc --program --module t", 0, true, "" },
        { "--module t bad.rsrc", 2, false, "usage: rc --module" },
        { "--module t --output out.cpp bad.rsrc --depfile", 2, false, "rc: --depfile needs a value\n" },
        { "--module t --output out.cpp --quiet bad.rsrc", 2, false, "rc: unknown option --quiet\n" },
        { "--help", 0, false, "usage: rc --module" },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.arguments);
        std::filesystem::remove(folder.path / "out.cpp");
        std::string output;
        EXPECT_EQ(run_compiler(folder.path, output, c.arguments), c.exit_code);
        EXPECT_EQ(output.rfind(c.start, 0), 0u) << output;
        EXPECT_EQ(std::filesystem::exists(folder.path / "out.cpp"), c.writes);
    }
}

} // namespace
