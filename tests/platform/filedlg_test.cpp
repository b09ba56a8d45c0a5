#include "platform/controls/filedlg.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "platform/backend/headless.h"
#include "platform/kernel/path.h"
#include "control_test_support.h"

namespace {

using namespace wintest;

// "Text files" first, so that a dialog opens on *.txt.
const char kFilters[] = "Text files\0*.txt\0Documents\0*.doc; *.rtf\0All files\0*.*\0";

// What the hook saw: the messages it was sent and, on IDCANCEL, what the lists held.
struct HookSeen {
    LParam init_param = 0;
    LParam cust_data = 0;
    std::vector<std::string> files_at_init;
    std::vector<std::string> files;
    std::vector<std::string> folders;
    std::vector<int> commands;
    std::string rename_on_ok; // typed into the name when OK comes, as old programs' hooks do
    bool keep_open_once = false;
};
HookSeen g_hook;

std::vector<std::string> list_items(WindowHandle dialog, int id)
{
    std::vector<std::string> items;
    LResult count = send_dlg_item_message(dialog, id, LB_GETCOUNT, 0, 0);
    for (LResult i = 0; i < count; i++) {
        char text[MAX_PATH] = {};
        send_dlg_item_message(dialog, id, LB_GETTEXT, WParam(i), reinterpret_cast<LParam>(text));
        items.push_back(text);
    }
    return items;
}

LResult recording_hook(WindowHandle dialog, uint32_t message, WParam wparam, LParam lparam)
{
    if (message == WM_INITDIALOG) {
        g_hook.init_param = lparam;
        g_hook.cust_data = reinterpret_cast<const OpenFileName*>(lparam)->cust_data;
        g_hook.files_at_init = list_items(dialog, kFileList);
        return 1;
    }
    if (message != WM_COMMAND || hiword(wparam) != BN_CLICKED)
        return 0;
    int id = int(loword(wparam));
    g_hook.commands.push_back(id);
    if (id == IDCANCEL) {
        g_hook.files = list_items(dialog, kFileList);
        g_hook.folders = list_items(dialog, kFolderList);
    }
    if (id == IDOK && !g_hook.rename_on_ok.empty())
        set_dlg_item_text(dialog, kFileName, g_hook.rename_on_ok.c_str());
    if (id == IDOK && g_hook.keep_open_once) {
        g_hook.keep_open_once = false;
        return 1;
    }
    return 0;
}

enum class Kind { open, save };

// A request as the tests vary it; "%F" in a script stands for the test folder.
struct Request {
    Kind kind = Kind::open;
    uint32_t flags = 0;
    const char* default_ext = nullptr;
    const char* script = "";
    uint32_t max_file = MAX_PATH;
    const char* initial_name = "";
};

struct Outcome {
    bool ok = false;
    uint32_t error = 0;
    std::string file;
    OpenFileName ofn;
};

// A folder of files: a.txt, b.TXT, c.doc, d.rtf, notes (no extension), .hidden.txt and sub\e.txt.
class FileDialogTest : public ControlTest {
protected:
    std::string host_folder;
    std::string folder; // the same as a Windows path, without a final separator
    std::vector<char> buffer;

    void SetUp() override
    {
        ControlTest::SetUp();
        path_reset();
        filedlg_reset();
        g_hook = HookSeen {};
        char pattern[] = "/tmp/plat-filedlg-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        host_folder = pattern;
        // The log stays out of the folder the dialogs list.
        std::filesystem::create_directory(host_folder + "/files");
        folder = path_from_host(host_folder + "/files");
        ASSERT_FALSE(folder.empty());
        for (const char* name : { "a.txt", "b.TXT", "c.doc", "d.rtf", "notes", ".hidden.txt" })
            std::ofstream(host_folder + "/files/" + name) << "x";
        std::filesystem::create_directory(host_folder + "/files/sub");
        std::ofstream(host_folder + "/files/sub/e.txt") << "x";
    }
    void TearDown() override
    {
        log_close();
        std::filesystem::remove_all(host_folder);
        path_reset();
        ControlTest::TearDown();
    }
    std::string in_folder(const std::string& name) const { return folder + "\\" + name; }
    std::string expand(std::string text) const
    {
        for (size_t at; (at = text.find("%F")) != std::string::npos;)
            text.replace(at, 2, folder);
        return text;
    }
    void start_script(const std::string& script)
    {
        std::vector<ScriptCommand> commands;
        std::string error;
        ASSERT_TRUE(script_parse(expand(script), commands, error)) << error;
        HeadlessOptions options;
        options.log_path = host_folder + "/run.log";
        ASSERT_TRUE(headless_start_with(options, commands, error)) << error;
    }
    Outcome run(const Request& request, const OpenFileName* base = nullptr)
    {
        start_script(request.script);
        buffer.assign(request.max_file, '\0');
        std::string initial = expand(request.initial_name);
        std::memcpy(buffer.data(), initial.c_str(), std::min(initial.size() + 1, buffer.size()));
        Outcome out;
        if (base)
            out.ofn = *base;
        out.ofn.owner = host;
        out.ofn.filter = kFilters;
        out.ofn.file = buffer.data();
        out.ofn.max_file = request.max_file;
        out.ofn.initial_dir = out.ofn.initial_dir ? out.ofn.initial_dir : folder.c_str();
        out.ofn.flags |= request.flags;
        out.ofn.default_ext = request.default_ext;
        out.ok = request.kind == Kind::save ? get_save_file_name(out.ofn)
                                            : get_open_file_name(out.ofn);
        out.error = comm_dlg_extended_error();
        if (out.ok)
            out.file = buffer.data();
        log_close();
        return out;
    }
    std::vector<std::string> log_lines(const std::string& starting = "")
    {
        std::ifstream file(host_folder + "/run.log");
        std::vector<std::string> lines;
        std::string line;
        while (std::getline(file, line)) {
            line = line.substr(line.find(' ') + 1);
            if (line.rfind(starting, 0) == 0)
                lines.push_back(line);
        }
        return lines;
    }
};

struct ChoiceCase {
    const char* name;
    Request request;
    const char* chosen; // under the folder; null when the dialog gives nothing
    size_t boxes; // message boxes shown on the way
};

static const ChoiceCase kChoices[] = {
    { "a name in the folder", { Kind::open, 0, nullptr, "choose-file a.txt" }, "a.txt", 0 },
    { "a full path", { Kind::open, 0, nullptr, "choose-file %F\\sub\\e.txt" }, "sub\\e.txt", 0 },
    { "a folder is opened, then a name in it",
        { Kind::open, 0, nullptr, "choose-file sub\nchoose-file e.txt" }, "sub\\e.txt", 0 },
    { "choose-file cancel", { Kind::open, 0, nullptr, "choose-file cancel" }, nullptr, 0 },
    { "answer Cancel", { Kind::save, 0, nullptr, "answer Cancel" }, nullptr, 0 },
    { "Escape", { Kind::open, 0, nullptr, "key Escape" }, nullptr, 0 },
    { "the default extension is added", { Kind::save, 0, "txt", "choose-file new" }, "new.txt", 0 },
    { "an extension given is kept", { Kind::save, 0, "txt", "choose-file new.doc" }, "new.doc", 0 },
    { "a final dot means no extension", { Kind::save, 0, "txt", "choose-file new." }, "new", 0 },
    { "a file that must exist is found with the default extension",
        { Kind::open, OFN_FILEMUSTEXIST, "txt", "choose-file a" }, "a.txt", 0 },
    { "a missing file is refused and another taken",
        { Kind::open, OFN_FILEMUSTEXIST, nullptr,
            "choose-file missing.txt\nanswer OK\nchoose-file c.doc" },
        "c.doc", 1 },
    { "a missing file without the flag is taken",
        { Kind::open, 0, nullptr, "choose-file missing.txt" }, "missing.txt", 0 },
    { "no checks with OFN_NOVALIDATE",
        { Kind::open, OFN_FILEMUSTEXIST | OFN_NOVALIDATE, nullptr, "choose-file missing.txt" },
        "missing.txt", 0 },
    { "a missing folder is refused",
        { Kind::save, OFN_PATHMUSTEXIST, nullptr,
            "choose-file nowhere\\x.txt\nanswer OK\nchoose-file cancel" },
        nullptr, 1 },
    { "a name Windows refuses is refused",
        { Kind::save, 0, nullptr, "choose-file a<b.txt\nanswer OK\nanswer Cancel" }, nullptr, 1 },
    { "replacing confirmed",
        { Kind::save, OFN_OVERWRITEPROMPT, nullptr, "choose-file a.txt\nanswer Yes" }, "a.txt", 1 },
    { "replacing refused keeps the dialog open",
        { Kind::save, OFN_OVERWRITEPROMPT, nullptr,
            "choose-file a.txt\nanswer No\nchoose-file new.txt" },
        "new.txt", 1 },
    { "a new name is not asked about",
        { Kind::save, OFN_OVERWRITEPROMPT, nullptr, "choose-file new.txt" }, "new.txt", 0 },
    { "no prompt without the flag", { Kind::save, 0, nullptr, "choose-file a.txt" }, "a.txt", 0 },
    { "opening never asks about replacing",
        { Kind::open, OFN_OVERWRITEPROMPT, nullptr, "choose-file a.txt" }, "a.txt", 0 },
};

TEST_F(FileDialogTest, TheChosenNameIsCheckedAsTheFlagsAsk)
{
    for (const ChoiceCase& c : kChoices) {
        SCOPED_TRACE(c.name);
        Outcome out = run(c.request);
        EXPECT_EQ(out.ok, c.chosen != nullptr);
        EXPECT_EQ(out.error, 0u);
        EXPECT_EQ(out.file, c.chosen ? in_folder(c.chosen) : std::string());
        EXPECT_EQ(log_lines("message box \"").size(), c.boxes);
        EXPECT_TRUE(is_window_enabled(host));
        EXPECT_FALSE(dlgmgr_top_modal());
    }
}

TEST_F(FileDialogTest, ThePathComesBackWithItsPartsAndTheFilterChosen)
{
    char title[8];
    OpenFileName base;
    base.file_title = title;
    base.max_file_title = sizeof title;
    Outcome out
        = run({ Kind::open, 0, nullptr, "key Alt+T\nkey Down\nchoose-file sub\\e.txt" }, &base);
    ASSERT_TRUE(out.ok);
    std::string expected = in_folder("sub\\e.txt");
    EXPECT_EQ(out.file, expected);
    EXPECT_EQ(out.ofn.file_offset, expected.size() - 5);
    EXPECT_EQ(out.ofn.file_extension, expected.size() - 3);
    EXPECT_STREQ(title, "e.txt");
    EXPECT_EQ(out.ofn.filter_index, 2u); // moved down from the first
    base.max_file_title = 3;
    out = run({ Kind::save, 0, nullptr, "choose-file notes" }, &base);
    ASSERT_TRUE(out.ok);
    EXPECT_EQ(out.ofn.file_extension, in_folder("notes").size()); // none: the path's end
    EXPECT_STREQ(title, "no"); // cut to the buffer
}

TEST_F(FileDialogTest, ABufferTooSmallFailsWithTheSizeItNeeds)
{
    size_t needed = in_folder("a.txt").size() + 1;
    struct SizeCase {
        uint32_t max_file;
        bool ok;
    };
    const SizeCase cases[] = { { 1, false }, { 2, false }, { uint32_t(needed - 1), false },
        { uint32_t(needed), true } };
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(c.max_file);
        Request request { Kind::open, 0, nullptr, "choose-file a.txt" };
        request.max_file = c.max_file;
        Outcome out = run(request);
        EXPECT_EQ(out.ok, c.ok);
        EXPECT_EQ(out.error, c.ok ? 0u : uint32_t(FNERR_BUFFERTOOSMALL));
        if (c.ok)
            continue;
        EXPECT_EQ(uint8_t(buffer[0]), needed & 0xFF);
        if (c.max_file >= 2) {
            EXPECT_EQ(uint8_t(buffer[1]), needed >> 8);
        }
        EXPECT_EQ(log_lines("file dialog").back(), "file dialog failed, error 12291");
    }
    Outcome none = run({ Kind::open, 0, nullptr, "choose-file a.txt", 0 });
    EXPECT_FALSE(none.ok);
    EXPECT_EQ(none.error, uint32_t(CDERR_INITIALIZATION));
}

TEST_F(FileDialogTest, TheHookSeesTheFilledDialogFirstAndMayTakeItsCommands)
{
    OpenFileName base;
    base.hook = recording_hook;
    base.cust_data = 4321;
    Outcome out = run({ Kind::open, OFN_ENABLEHOOK, nullptr, "choose-file a.txt" }, &base);
    ASSERT_TRUE(out.ok);
    EXPECT_EQ(g_hook.init_param, reinterpret_cast<LParam>(&out.ofn));
    EXPECT_EQ(g_hook.cust_data, 4321);
    EXPECT_EQ(g_hook.files_at_init, (std::vector<std::string> { "a.txt", "b.TXT" }));
    EXPECT_EQ(g_hook.commands, std::vector<int> { IDOK });

    // A hook that answers OK keeps the dialog open; one that changes the name changes the choice.
    g_hook = HookSeen {};
    g_hook.keep_open_once = true;
    g_hook.rename_on_ok = "c.doc";
    out = run(
        { Kind::open, OFN_ENABLEHOOK, nullptr, "choose-file a.txt\nchoose-file a.txt" }, &base);
    EXPECT_EQ(out.file, in_folder("c.doc"));
    EXPECT_EQ(g_hook.commands, (std::vector<int> { IDOK, IDOK }));

    // Without OFN_ENABLEHOOK the hook is not called.
    g_hook = HookSeen {};
    out = run({ Kind::open, 0, nullptr, "choose-file a.txt" }, &base);
    EXPECT_TRUE(out.ok);
    EXPECT_EQ(g_hook.init_param, 0);
}

struct ListCase {
    const char* name;
    const char* script; // ends with Cancel, when the hook writes the lists down
    std::vector<std::string> files;
    std::vector<std::string> folders;
};

TEST_F(FileDialogTest, TheListsFollowTheFilterThePatternTypedAndTheFolder)
{
    const std::vector<std::string> top_folders { "[..]", "[sub]" };
    const ListCase cases[] = {
        { "the first filter", "answer Cancel", { "a.txt", "b.TXT" }, top_folders },
        { "the next filter, of two patterns", "key Alt+T\nkey Down\nanswer Cancel",
            { "c.doc", "d.rtf" }, top_folders },
        { "all files", "key Alt+T\nkey End\nanswer Cancel",
            { "a.txt", "b.TXT", "c.doc", "d.rtf", "notes" }, top_folders },
        { "a pattern typed", "choose-file *.d*\nanswer Cancel", { "c.doc" }, top_folders },
        { "a pattern typed in another folder", "choose-file sub\\*.*\nanswer Cancel", { "e.txt" },
            { "[..]" } },
        { "into a folder from the list", "key Alt+F\nkey Down\nkey Enter\nanswer Cancel",
            { "e.txt" }, { "[..]" } },
        { "and up again", "choose-file sub\nkey Alt+F\nkey Home\nkey Enter\nanswer Cancel",
            { "a.txt", "b.TXT" }, top_folders },
    };
    OpenFileName base;
    base.hook = recording_hook;
    for (const ListCase& c : cases) {
        SCOPED_TRACE(c.name);
        g_hook = HookSeen {};
        Outcome out = run({ Kind::open, OFN_ENABLEHOOK, nullptr, c.script }, &base);
        EXPECT_FALSE(out.ok);
        EXPECT_EQ(g_hook.files, c.files);
        EXPECT_EQ(g_hook.folders, c.folders);
    }
}

TEST_F(FileDialogTest, TheCurrentFolderFollowsAChoiceUnlessCancelledOrAskedNotTo)
{
    struct FolderCase {
        const char* name;
        uint32_t flags;
        const char* script;
        const char* current; // under the folder, "" for where it was
    };
    const FolderCase cases[] = {
        { "chosen", 0, "choose-file sub\\e.txt", "sub" },
        { "OFN_NOCHANGEDIR", OFN_NOCHANGEDIR, "choose-file sub\\e.txt", "" },
        { "cancelled in another folder", 0, "choose-file sub\nanswer Cancel", "" },
    };
    std::string start = get_current_directory();
    for (const FolderCase& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(set_current_directory(start));
        run({ Kind::open, c.flags, nullptr, c.script });
        EXPECT_EQ(get_current_directory(), *c.current ? in_folder(c.current) : start);
    }
}

TEST_F(FileDialogTest, EachDialogIsLoggedWithWhatItGave)
{
    run({ Kind::open, 0, nullptr, "choose-file a.txt" });
    std::vector<std::string> lines = log_lines("file dialog");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "file dialog \"Open\" opened in " + log_quote(folder + "\\"));
    EXPECT_EQ(lines[1], "file dialog chose " + log_quote(in_folder("a.txt")));
    EXPECT_EQ(log_lines("window shown").front(), "window shown \"Open\"");

    OpenFileName base;
    base.title = "Where is it?";
    run({ Kind::save, 0, nullptr, "choose-file cancel" }, &base);
    lines = log_lines("file dialog");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "file dialog \"Where is it?\" opened in " + log_quote(folder + "\\"));
    EXPECT_EQ(lines[1], "file dialog cancelled");
}

TEST_F(FileDialogTest, AProgramsTemplateIsUsedAndAMissingOneFails)
{
    OpenFileName base;
    base.instance = get_resource_module("test_dialogs");
    ASSERT_TRUE(base.instance);
    base.template_name = 300;
    Outcome out = run({ Kind::open, OFN_ENABLETEMPLATE, nullptr, "answer Cancel" }, &base);
    EXPECT_FALSE(out.ok);
    EXPECT_EQ(out.error, 0u);
    EXPECT_EQ(log_lines("file dialog").front(),
        "file dialog \"Navigation\" opened in " + log_quote(folder + "\\"));
    base.template_name = 999;
    out = run({ Kind::open, OFN_ENABLETEMPLATE, nullptr, "answer Cancel" }, &base);
    EXPECT_FALSE(out.ok);
    EXPECT_EQ(out.error, uint32_t(CDERR_FINDRESFAILURE));
}

} // namespace
