#include "fspec_fixture.h"
#include "runtime/files/file_ops.h"

#include <algorithm>
#include <unistd.h>
#include <vector>

namespace {

using FileOpsTest = FspecTest;

TEST_F(FileOpsTest, CreateMakesTheFoldersAndTruncates)
{
    FileSpec* made = spec("T:\\Records\\Learners\\anna.rec");
    EXPECT_EQ(file_create(made), 0u);
    EXPECT_EQ(get("Records/Learners/anna.rec"), "");
    put("Records/Learners/anna.rec", "old");
    EXPECT_EQ(file_create(made), 0u);
    EXPECT_EQ(get("Records/Learners/anna.rec"), "");
    EXPECT_EQ(file_create(spec("Q:\\x.rec")), 1118u);
    EXPECT_EQ(file_take_last_error(), 1118u);
}

TEST_F(FileOpsTest, CreateFoldersWalksEveryLevel)
{
    make_folder("Existing");
    ASSERT_TRUE(plat::set_current_directory("T:\\Existing"));
    struct Case {
        const char* path;
        const char* made; // host folder that must exist afterwards
    };
    static const Case kCases[] = {
        { "T:\\Existing\\one\\two\\f.txt", "Existing/one/two" },
        { "t:\\EXISTING\\One\\three\\", "Existing/one/three" },
        { "rel\\deeper\\f.txt", "Existing/rel/deeper" },
        { "..\\up\\f.txt", "up" },
        { "\\rooted\\f.txt", "rooted" },
        { "f.txt", "Existing" },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(file_create_folders(spec(c.path)), 0u);
        EXPECT_TRUE(exists(c.made));
    }
    put("plain", "file in the way");
    EXPECT_EQ(file_create_folders(spec("T:\\plain\\sub\\f.txt")), 3u);
    EXPECT_EQ(file_create_folders(spec("Q:\\a\\f.txt")), 1005u);
}

TEST_F(FileOpsTest, DeleteRemovesFilesAndEmptyFolders)
{
    put("Gone/file.txt", "x");
    EXPECT_EQ(file_delete(spec("t:\\gone\\FILE.TXT")), 0u);
    EXPECT_FALSE(exists("Gone/file.txt"));
    EXPECT_EQ(file_delete(spec("T:\\Gone")), 0u);
    EXPECT_FALSE(exists("Gone"));
    EXPECT_EQ(file_delete(spec("T:\\Gone")), 2u);
    put("Full/file.txt", "x");
    EXPECT_EQ(file_delete(spec("T:\\Full")), 145u);
    EXPECT_EQ(file_delete(hold(fspec_new_memory())), 0u);
}

TEST_F(FileOpsTest, RenameNeverReplaces)
{
    put("a.txt", "a");
    put("b.txt", "b");
    EXPECT_EQ(file_rename(spec("T:\\A.TXT"), spec("T:\\b.txt")), 183u);
    EXPECT_EQ(file_rename(spec("T:\\A.TXT"), spec("T:\\c.txt")), 0u);
    EXPECT_EQ(get("c.txt"), "a");
    EXPECT_EQ(get("b.txt"), "b");
    EXPECT_EQ(file_rename(spec("T:\\c.txt"), spec("Q:\\c.txt")), 1118u);
}

TEST_F(FileOpsTest, ExistsLooksFromThePiecesFolder)
{
    put("Course/Media/Song.WAV", "x");
    make_folder("Elsewhere");
    ASSERT_TRUE(plat::set_current_directory("T:\\Elsewhere"));
    FileSpec* relative = spec("media\\song.wav");
    EXPECT_EQ(file_exists(relative), 0);
    fspec_manager_set_piece(spec("T:\\Course\\intro.v5r"));
    EXPECT_EQ(file_exists(relative), 1);
    EXPECT_EQ(file_exists_ex(relative, kExistsFromCurrentFolder), 0);
    EXPECT_EQ(plat::get_current_directory(), "T:\\Elsewhere");
    EXPECT_EQ(file_exists(spec("T:\\COURSE\\MEDIA\\SONG.wav")), 1);
    EXPECT_EQ(file_exists(nullptr), 0);
    fspec_manager_set_piece(nullptr);
}

// Every entry of a search as "name" or "name/" for folders.
static std::vector<std::string> entries(FileSpec* out)
{
    std::vector<std::string> names;
    int is_folder = 0;
    while (file_find_next(out, &is_folder)) {
        char name[kPathBufferSize];
        fspec_get_name(out, name, sizeof name);
        names.push_back(std::string(name) + (is_folder ? "/" : ""));
    }
    return names;
}

TEST_F(FileOpsTest, FolderSearchDeliversEveryMatchIntoTheCallersSpec)
{
    put("Pieces/Intro.V5R", "x");
    put("Pieces/outro.v5r", "x");
    put("Pieces/notes.txt", "x");
    make_folder("Pieces/Media");
    FileSpec* out = spec("");
    EXPECT_EQ(file_find_first(spec("t:\\pieces\\any.name"), "*.V5R"), 0);
    EXPECT_EQ(entries(out), (std::vector<std::string> { "Intro.V5R", "outro.v5r" }));
    EXPECT_EQ(path_of(out), "t:\\pieces\\outro.v5r");

    EXPECT_EQ(file_find_first(spec("T:\\Pieces\\"), nullptr), 0);
    EXPECT_EQ(entries(out),
        (std::vector<std::string> {
            "./", "../", "Intro.V5R", "Media/", "notes.txt", "outro.v5r" }));

    EXPECT_EQ(file_find_first_named(spec("T:\\Pieces\\NOTES.TXT")), 0);
    EXPECT_EQ(entries(out), (std::vector<std::string> { "notes.txt" }));
}

TEST_F(FileOpsTest, FolderSearchWithoutMatchesEndsAtOnce)
{
    make_folder("Empty");
    FileSpec* out = spec("T:\\kept.txt");
    EXPECT_EQ(file_find_first(spec("T:\\Empty\\"), "*.v5r"), 2);
    EXPECT_EQ(file_find_next(out, nullptr), 0);
    EXPECT_EQ(path_of(out), "T:\\kept.txt");
    EXPECT_EQ(file_find_first(spec("T:\\Missing\\"), "*.*"), 2);
    EXPECT_EQ(file_find_next(out, nullptr), 0);
    // Starting again in the middle of a search abandons the first.
    put("Two/a", "x");
    put("Two/b", "x");
    EXPECT_EQ(file_find_first(spec("T:\\Two\\"), "a"), 0);
    EXPECT_EQ(file_find_first(spec("T:\\Two\\"), "b"), 0);
    EXPECT_EQ(entries(out), (std::vector<std::string> { "b" }));
}

TEST_F(FileOpsTest, ClassifiesByWhatIsThereAndTheExtension)
{
    put("x.v5r", "");
    put("x.V5P", "");
    put("x.v4e", "");
    put("x.wav", "");
    put("x.jpeg", "");
    put("x.mpg", "");
    put("x.dll", "");
    put("x.p32", "");
    put("x.v5l", "");
    put("x.exe", "");
    put("x.rtf", "");
    put("x.v5d", "");
    put("x.svm", "");
    put("x", "");
    put("x.zip", "");
    make_folder("Folder.v5r");
    struct Case {
        const char* path;
        int kind;
    };
    static const Case kCases[] = {
        { "T:\\", kFileMissing },
        { "T:\\absent.v5r", kFileMissing },
        { "T:\\folder.v5r", kFileFolder },
        { "T:\\x.v5r", kFilePackagedPiece },
        { "T:\\x.v5p", kFileAuthoring },
        { "T:\\x.V4E", kFilePackagedLibrary },
        { "T:\\x.wav", kFileSound },
        { "T:\\x.jpeg", kFileImage }, // three characters decide: "JPE"
        { "T:\\x.mpg", kFileMovie },
        { "T:\\x.dll", kFileExternalCode },
        { "T:\\x.p32", kFilePluginLibrary },
        { "T:\\x.v5l", kFileLibrary },
        { "T:\\x.exe", kFileProgram },
        { "T:\\x.rtf", kFileText },
        { "T:\\x.v5d", kFileModel },
        { "T:\\x.svm", kFileAuthoring },
        { "T:\\x", kFileOther },
        { "T:\\x.zip", kFileOther },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(file_classify(spec(c.path)), c.kind);
    }
    EXPECT_EQ(file_classify(spec("Q:\\x.v5r")), kFileMissing);
    EXPECT_EQ(file_take_last_error(), 1118u);
}

TEST_F(FileOpsTest, FindsANameAlongAFolderList)
{
    put("Sounds/Click.wav", "x");
    put("Shared/Sounds/beep.wav", "x");
    make_folder("Course");
    fspec_manager_set_piece(spec("T:\\Course\\intro.v5r"));
    struct Case {
        const char* name;
        const char* list;
        const char* found; // null: not found
    };
    static const Case kCases[] = {
        { "click.wav", "T:\\none;T:\\SOUNDS", "T:\\SOUNDS\\click.wav" },
        { "beep.wav", "T:\\Sounds;..\\Shared\\Sounds\\",
            "T:\\Course\\..\\Shared\\Sounds\\beep.wav" },
        { "beep.wav", "T:\\Sounds", nullptr },
        { "beep.wav", "", nullptr },
        { "click.wav", nullptr, nullptr },
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::string(c.name) + " in " + (c.list ? c.list : "null"));
        FileSpec* found = reinterpret_cast<FileSpec*>(1);
        int result = file_find_in_folder_list(spec(c.name), c.list, &found);
        EXPECT_EQ(result, c.found ? 1 : 0);
        if (c.found) {
            EXPECT_EQ(path_of(hold(found)), c.found);
        } else {
            EXPECT_EQ(found, nullptr);
        }
    }
    fspec_manager_set_piece(nullptr);
}

TEST_F(FileOpsTest, FindsANameInTheStandardFolders)
{
    put("Course/local.dat", "x");
    fspec_manager_set_piece(spec("T:\\Course\\intro.v5r"));
    FileSpec* found = nullptr;
    EXPECT_EQ(file_find_in_standard_folders(spec("LOCAL.DAT"), &found), 1);
    EXPECT_EQ(path_of(hold(found)), "T:\\Course\\LOCAL.DAT");
    EXPECT_EQ(file_find_in_standard_folders(spec("no-such-file.dat"), &found), 0);
    EXPECT_EQ(found, nullptr);
    fspec_manager_set_piece(nullptr);

    // The program's own folder comes next.
    FileSpec* exe = nullptr;
    ASSERT_EQ(fspec_new_exe(&exe), 0);
    hold(exe);
    char name[kPathBufferSize];
    ASSERT_EQ(fspec_get_name(exe, name, sizeof name), 0);
    EXPECT_EQ(file_find_in_standard_folders(spec(name), &found), 1);
    EXPECT_EQ(fspec_equal(hold(found), exe), 1);
    FileSpec* folder = nullptr;
    ASSERT_EQ(fspec_new_exe_folder(&folder), 0);
    EXPECT_EQ(fspec_same_folder(hold(folder), exe), 1);
    EXPECT_EQ(fspec_get_name(folder, name, sizeof name), 2);
}

TEST_F(FileOpsTest, CurrentFoldersAndDrives)
{
    make_folder("Work/Here");
    EXPECT_EQ(file_set_current_folder(spec("t:\\work\\here\\x.v5r")), 0u);
    FileSpec* out = spec("name.txt");
    EXPECT_EQ(file_get_current_folder(0, out), 0);
    EXPECT_EQ(path_of(out), "T:\\work\\here\\name.txt");
    EXPECT_EQ(file_get_current_folder('T' - 'A' + 1, out), 0);
    EXPECT_EQ(path_of(out), "T:\\work\\here\\name.txt");
    EXPECT_EQ(file_get_current_folder('Q' - 'A' + 1, out), 0);
    EXPECT_EQ(path_of(out), "name.txt");
    EXPECT_EQ(file_set_current_folder(spec("T:\\absent\\x")), 2u);
    EXPECT_EQ(file_set_current_folder(spec("T:\\absent\\deeper\\x")), 3u);

    EXPECT_EQ(file_drive_type(spec("T:\\x")), uint32_t(plat::DRIVE_FIXED));
    EXPECT_EQ(file_drive_type(spec("Q:\\x")), uint32_t(plat::DRIVE_NO_ROOT_DIR));
    EXPECT_EQ(file_drive_type(spec("x")), 0u);
    EXPECT_EQ(file_volume_ready(spec("T:\\x")), 1);
    EXPECT_EQ(file_volume_ready(spec("Q:\\x")), 0);
    // A fixed disk is never checked or touched.
    EXPECT_EQ(file_check_removable(
                  spec("T:\\new\\x.rec"), kRemovableCreateFolders | kRemovableCreateFile),
        0u);
    EXPECT_FALSE(exists("new"));
}

TEST_F(FileOpsTest, WriteProtectedFolders)
{
    make_folder("Open");
    make_folder("Closed");
    EXPECT_EQ(file_folder_write_protected(spec("T:\\Open\\x")), 0);
    EXPECT_TRUE(std::filesystem::is_empty(host("Open")));
    EXPECT_EQ(file_folder_write_protected(spec("x")), 0);
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the superuser";
    std::filesystem::permissions(
        host("Closed"), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_EQ(file_folder_write_protected(spec("T:\\Closed\\x")), 1);
    std::filesystem::permissions(host("Closed"), std::filesystem::perms::owner_all);
}

} // namespace
