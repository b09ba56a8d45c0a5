#include "runtime/pieces/piece_start.h"

#include "platform/kernel/resource.h"
#include "runtime/base/errcode.h"
#include "runtime/base/str.h"
#include "runtime/files/file_ops.h"
#include "runtime/files/fspec_func.h"
#include "runtime/files/msg.h"
#include "runtime/pieces/filedlg.h"
#include "runtime/pieces/piece.h"
#include "runtime/pieces/piece_hooks.h"
#include "runtime/store/fhdr.h"

#include <string>
#include <vector>

namespace {

constexpr uint32_t kStringPieceExtension = 1473; // "v5r"
constexpr int kPieceFilter = 1; // string 6759

// Options that take the next word as their value.
const char* const kValueOptions[] = {"-TARGETWINDOW", "-TARGETICON"};

} // namespace

static void request_quit()
{
    if (piece_hooks().request_quit)
        piece_hooks().request_quit();
}

// Words of the tail; a quoted run is one word without its quotes.
static std::vector<std::string> tail_words(const char* text)
{
    std::vector<std::string> words;
    const char* p = text ? text : "";
    while (*p) {
        while (*p == ' ' || *p == '\t')
            p++;
        if (!*p)
            break;
        std::string word;
        bool quoted = *p == '"';
        if (quoted) {
            for (p++; *p && *p != '"'; p++)
                word += *p;
            if (*p == '"')
                p++;
            words.push_back(quoted && word.empty() ? std::string() : word);
            continue;
        }
        for (; *p && *p != ' ' && *p != '\t'; p++)
            word += *p;
        words.push_back(word);
    }
    return words;
}

static bool takes_value(const std::string& word)
{
    for (const char* option : kValueOptions)
        if (str_compare_nocase(word.c_str(), option) == 0)
            return true;
    return false;
}

std::string piece_command_line_name(const char* command_line)
{
    std::vector<std::string> words = tail_words(command_line);
    std::string name;
    for (size_t i = 0; i < words.size(); i++) {
        if (!words[i].empty() && words[i][0] == '-') {
            if (takes_value(words[i]))
                i++;
            continue;
        }
        if (words[i].empty())
            continue;
        name += name.empty() ? words[i] : " " + words[i];
    }
    return name;
}

// The piece appended to the program file: 1 when one was there (opened or not).
static bool open_appended(int* result)
{
    FileSpec* program = nullptr;
    if (fspec_new_exe(&program) != kErrOk || fhdr_exe_data_offset(program, FileHandle {}) <= 0) {
        fspec_free(program);
        return false;
    }
    *result = piece_open(program, nullptr, 0);
    fspec_free(program);
    return true;
}

// The tail's file: its folder becomes the current folder; a missing file with an extension
// is tried with the extension v5r. 0 or the error.
static int open_named(const std::string& name)
{
    FileSpec* spec = nullptr;
    if (fspec_from_path(name.c_str(), &spec) != kErrOk) {
        fspec_free(spec);
        return kErrBadValue;
    }
    FileSpec* current = fspec_new();
    char folder[kPathBufferSize];
    if (fspec_get_folder(spec, folder, sizeof folder) != kErrOk) {
        if (current && file_get_current_folder(0, current) == kErrOk)
            fspec_get_folder(current, folder, sizeof folder), fspec_set_folder(spec, folder);
    } else {
        FileSpec* there = nullptr;
        if (fspec_from_folder(folder, &there) == kErrOk)
            file_set_current_folder(there);
        fspec_free(there);
    }
    fspec_free(current);
    char extension[8];
    fspec_get_extension(spec, extension, sizeof extension);
    if (extension[0] && !file_exists(spec)) {
        char v5r[8];
        plat::load_string(msg_resource_module(), kStringPieceExtension, v5r, sizeof v5r);
        spec->set_extension(v5r);
    }
    int result = piece_open(spec, nullptr, 0);
    fspec_free(spec);
    return result;
}

void piece_open_dialog_loop()
{
    for (;;) {
        FileDialogSpec dialog;
        dialog.filter_index = kPieceFilter;
        if (!filedlg_run(dialog)) {
            request_quit();
            return;
        }
        int result = piece_open(dialog.result, nullptr, 0);
        fspec_free(dialog.result);
        if (result == kErrOk)
            return;
    }
}

int app_open_start_piece(const char* command_line)
{
    int result = 0;
    if (open_appended(&result)) {
        if (result == kErrOk)
            return 0;
        request_quit();
    }
    std::string name = piece_command_line_name(command_line);
    if (!name.empty() && open_named(name) == kErrOk)
        return 0;
    piece_open_dialog_loop();
    return 0;
}
