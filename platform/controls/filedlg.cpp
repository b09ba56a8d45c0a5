#include "platform/controls/filedlg.h"

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/kernel/codepage.h"
#include "platform/controls/controls.h"
#include "platform/controls/ctl_button.h"
#include "platform/controls/ctl_combo.h"
#include "platform/controls/ctl_listbox.h"
#include "platform/controls/dlgmgr.h"
#include "platform/kernel/error.h"
#include "platform/kernel/file.h"
#include "platform/window/focus.h"
#include "platform/kernel/log.h"
#include "platform/controls/msgbox.h"
#include "platform/kernel/path.h"
#include "platform/backend/script.h"
#include "platform/window/window.h"

namespace plat {

// A filter block is read no further than this: one never ended must not run on through memory.
constexpr size_t kFilterMaxBytes = 0x10000;
constexpr const char* kRunProperty = "PlatFileDialog";

enum class FileDialogKind { open, save };

struct Filter {
    std::string name;
    std::string patterns; // "*.txt;*.doc"
};

// One dialog's run, reached from its window through kRunProperty (hooks own DWLP_USER).
struct FileDialogRun {
    OpenFileName* ofn = nullptr;
    FileDialogKind kind = FileDialogKind::open;
    std::string folder; // shown, ends with a separator
    std::vector<Filter> filters;
    size_t filter = 0;
    std::string typed_pattern; // a name with wildcards typed in stands for the filter
    std::string result;
};

struct FileDialogState {
    uint32_t error = 0;
};

static FileDialogState s_filedlg;

uint32_t comm_dlg_extended_error() { return s_filedlg.error; }

void filedlg_reset() { s_filedlg = FileDialogState {}; }

// One NUL-ended text of the block at `at`; false at the empty text that ends the block.
static bool read_filter_text(const char* block, size_t& at, std::string& text)
{
    if (at >= kFilterMaxBytes)
        return false;
    size_t length = strnlen(block + at, kFilterMaxBytes - at);
    text.assign(block + at, length);
    at += length + 1;
    return !text.empty();
}

// filter -> { name patterns } "" ; a name without patterns is dropped.
static std::vector<Filter> parse_filters(const char* block)
{
    std::vector<Filter> out;
    size_t at = 0;
    Filter entry;
    while (block && read_filter_text(block, at, entry.name)
        && read_filter_text(block, at, entry.patterns))
        out.push_back(entry);
    return out;
}

static std::string with_separator(std::string folder)
{
    if (!folder.empty() && path_name_offset(folder) != folder.size())
        folder += '\\';
    return folder;
}

static bool is_folder(const std::string& path)
{
    uint32_t attributes = get_file_attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

static bool exists(const std::string& path)
{
    return get_file_attributes(path) != INVALID_FILE_ATTRIBUTES;
}

static bool has_wildcards(const std::string& name)
{
    return name.find_first_of("*?") != std::string::npos;
}

// The typed name's last part: a '.' anywhere in it (a final one too) means no default extension.
static bool has_extension(const std::string& name)
{
    return name.find('.', path_name_offset(name)) != std::string::npos;
}

static std::string initial_name(const OpenFileName& ofn)
{
    return std::string(ofn.file, strnlen(ofn.file, ofn.max_file));
}

// The initial folder, else the initial name's, else the current one; each only when it exists.
static std::string initial_folder(const OpenFileName& ofn)
{
    if (ofn.initial_dir && *ofn.initial_dir && is_folder(ofn.initial_dir))
        return with_separator(get_full_path_name(ofn.initial_dir));
    std::string name = initial_name(ofn);
    size_t name_at = path_name_offset(name);
    if (name_at > 0 && is_folder(name.substr(0, name_at)))
        return with_separator(get_full_path_name(name.substr(0, name_at)));
    return with_separator(get_current_directory());
}

// Patterns are ';'-separated, blanks around them ignored; matched in host text as finds are.
static bool matches(const std::string& patterns, const std::string& name)
{
    std::string host_name = path_text_to_host(name);
    size_t start = 0;
    for (;;) {
        size_t end = patterns.find(';', start);
        std::string pattern
            = patterns.substr(start, end == std::string::npos ? std::string::npos : end - start);
        size_t first = pattern.find_first_not_of(' ');
        size_t last = pattern.find_last_not_of(' ');
        if (first != std::string::npos
            && path_wildcard_match(
                path_text_to_host(pattern.substr(first, last - first + 1)), host_name))
            return true;
        if (end == std::string::npos)
            return false;
        start = end + 1;
    }
}

static std::string current_patterns(const FileDialogRun& run)
{
    if (!run.typed_pattern.empty())
        return run.typed_pattern;
    return run.filter < run.filters.size() ? run.filters[run.filter].patterns : std::string("*.*");
}

static void add_item(WindowHandle dialog, int id, const std::string& text)
{
    send_dlg_item_message(dialog, id, LB_ADDSTRING, 0, reinterpret_cast<LParam>(text.c_str()));
}

// The folder's files that the patterns match, and its folders ("[..]" goes up); hidden
// names are left out as the desktop's own dialogs leave them.
static void fill_lists(WindowHandle dialog, const FileDialogRun& run)
{
    set_dlg_item_text(dialog, kFileFolderText, run.folder.c_str());
    send_dlg_item_message(dialog, kFileList, LB_RESETCONTENT, 0, 0);
    send_dlg_item_message(dialog, kFolderList, LB_RESETCONTENT, 0, 0);
    std::string patterns = current_patterns(run);
    FindData data;
    FindHandle search = find_first_file(run.folder + "*", data);
    for (bool more = bool(search); more; more = find_next_file(search, data)) {
        if (data.name == "..")
            add_item(dialog, kFolderList, "[..]");
        else if (data.name == "." || (data.attributes & FILE_ATTRIBUTE_HIDDEN))
            continue;
        else if (data.attributes & FILE_ATTRIBUTE_DIRECTORY)
            add_item(dialog, kFolderList, "[" + data.name + "]");
        else if (matches(patterns, data.name))
            add_item(dialog, kFileList, data.name);
    }
    if (search)
        find_close(search);
}

static FileDialogRun* run_of(WindowHandle dialog)
{
    return reinterpret_cast<FileDialogRun*>(get_prop(dialog, kRunProperty));
}

// The folder becomes the one shown and the current one, as the hooks of old programs expect.
static bool open_folder(WindowHandle dialog, FileDialogRun& run, const std::string& path)
{
    std::string folder = with_separator(get_full_path_name(path));
    if (folder.empty() || !is_folder(folder))
        return false;
    run.folder = folder;
    set_current_directory(folder);
    fill_lists(dialog, run);
    return true;
}

static std::string list_text(WindowHandle dialog, int id)
{
    LResult index = send_dlg_item_message(dialog, id, LB_GETCURSEL, 0, 0);
    if (index < 0)
        return {};
    LResult length = send_dlg_item_message(dialog, id, LB_GETTEXTLEN, WParam(index), 0);
    if (length < 0)
        return {};
    std::string text(size_t(length) + 1, '\0');
    send_dlg_item_message(
        dialog, id, LB_GETTEXT, WParam(index), reinterpret_cast<LParam>(text.data()));
    text.resize(strlen(text.c_str()));
    return text;
}

static std::string typed_name(WindowHandle dialog)
{
    std::string name = controls_text(get_dlg_item(dialog, kFileName));
    size_t first = name.find_first_not_of(' ');
    size_t last = name.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : name.substr(first, last - first + 1);
}

static bool is_absolute(const std::string& name)
{
    return name.empty() || name[0] == '\\' || name[0] == '/' || (name.size() > 1 && name[1] == ':');
}

static std::string full_path(const FileDialogRun& run, const std::string& name)
{
    return get_full_path_name(is_absolute(name) ? name : run.folder + name);
}

// A refusal is told in a box and leaves the dialog open.
static bool refuse(WindowHandle dialog, const std::string& text)
{
    message_box(dialog, text.c_str(), controls_text(dialog).c_str(), MB_OK | MB_ICONEXCLAMATION);
    return false;
}

// The checks the flags ask for, the replacing of a file confirmed last.
static bool name_passes(WindowHandle dialog, const FileDialogRun& run, const std::string& path)
{
    uint32_t flags = run.ofn->flags;
    set_last_error(0);
    if (path.empty() || (path_to_host(path).empty() && get_last_error() == ERROR_INVALID_NAME))
        return refuse(dialog, path + "\r\nThe file name is not valid.");
    std::string folder = path.substr(0, path_name_offset(path));
    if ((flags & (OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST)) && !is_folder(folder))
        return refuse(
            dialog, path + "\r\nThe path does not exist.\r\nCheck the path and try again.");
    if (run.kind == FileDialogKind::open && (flags & OFN_FILEMUSTEXIST) && !exists(path))
        return refuse(
            dialog, path + "\r\nThe file does not exist.\r\nCheck the name and try again.");
    if (run.kind == FileDialogKind::save && (flags & OFN_OVERWRITEPROMPT) && exists(path)) {
        std::string question = path + " already exists.\r\nDo you want to replace it?";
        return message_box(dialog, question.c_str(), controls_text(dialog).c_str(),
                   MB_YESNO | MB_ICONEXCLAMATION)
            == IDYES;
    }
    return true;
}

// A typed pattern filters the lists (in the folder typed before it, if any).
static void take_pattern(WindowHandle dialog, FileDialogRun& run, const std::string& name)
{
    size_t name_at = path_name_offset(name);
    run.typed_pattern = name.substr(name_at);
    if (name_at == 0 || !open_folder(dialog, run, full_path(run, name.substr(0, name_at))))
        fill_lists(dialog, run);
}

// OK: a pattern filters the lists, a folder is opened, a name that passes the checks ends
// the dialog.
static void press_ok(WindowHandle dialog, FileDialogRun& run)
{
    std::string name = typed_name(dialog);
    if (name.empty())
        return;
    if (has_wildcards(name)) {
        take_pattern(dialog, run, name);
        return;
    }
    std::string path = full_path(run, name);
    if (!path.empty() && is_folder(path)) {
        set_dlg_item_text(dialog, kFileName, "");
        open_folder(dialog, run, path);
        return;
    }
    const char* extension = run.ofn->default_ext;
    if (!path.empty() && !has_extension(name) && extension && *extension)
        path += std::string(".") + extension;
    if (!(run.ofn->flags & OFN_NOVALIDATE) && !name_passes(dialog, run, path))
        return;
    run.result = path;
    end_dialog(dialog, IDOK);
}

static void open_selected_folder(WindowHandle dialog, FileDialogRun& run)
{
    std::string entry = list_text(dialog, kFolderList);
    if (entry.size() > 2)
        open_folder(dialog, run, run.folder + entry.substr(1, entry.size() - 2));
}

static void choose_filter(WindowHandle dialog, FileDialogRun& run)
{
    LResult chosen = send_dlg_item_message(dialog, kFileTypes, CB_GETCURSEL, 0, 0);
    if (chosen < 0 || size_t(chosen) >= run.filters.size())
        return;
    run.filter = size_t(chosen);
    run.typed_pattern.clear();
    fill_lists(dialog, run);
}

static LResult on_command(WindowHandle dialog, FileDialogRun& run, WParam wparam)
{
    int id = int(loword(wparam));
    uint32_t code = hiword(wparam);
    if (id == kFileList && code == LBN_SELCHANGE)
        set_dlg_item_text(dialog, kFileName, list_text(dialog, kFileList).c_str());
    else if (id == kFileList && code == LBN_DBLCLK)
        press_ok(dialog, run);
    else if (id == kFolderList && code == LBN_DBLCLK)
        open_selected_folder(dialog, run);
    else if (id == kFileTypes && code == CBN_SELCHANGE)
        choose_filter(dialog, run);
    else if (id == IDOK && get_focus() == get_dlg_item(dialog, kFolderList))
        open_selected_folder(dialog, run); // Enter in the folder list goes into the folder
    else if (id == IDOK)
        press_ok(dialog, run);
    else if (id == IDCANCEL)
        end_dialog(dialog, IDCANCEL);
    else
        return 0;
    return 1;
}

static void press_button(WindowHandle dialog, int id)
{
    send_message(dialog, WM_COMMAND, make_wparam(uint32_t(id), BN_CLICKED),
        LParam(get_dlg_item(dialog, id).id));
}

// The script's file is typed into the name and OK pressed, as a person would choose it.
static void take_script_file(WindowHandle dialog)
{
    std::string path;
    if (!run_of(dialog) || !script_take_chosen_file(path))
        return;
    if (path.empty()) {
        press_button(dialog, IDCANCEL);
        return;
    }
    WindowHandle name = get_dlg_item(dialog, kFileName);
    if (!name) {
        log_event("script error "
            + log_quote_utf8("choose-file " + path + ": the dialog has no name field"));
        return;
    }
    set_window_text(name, utf8_to_code_page(CP_ACP, path).c_str());
    dialog_set_focus(dialog, name);
    press_button(dialog, IDOK);
}

static LResult on_init(WindowHandle dialog, FileDialogRun& run)
{
    set_prop(dialog, kRunProperty, reinterpret_cast<uintptr_t>(&run));
    if (DialogInfo* info = dialog_info(dialog))
        info->script_poll = take_script_file;
    if (run.ofn->title && *run.ofn->title)
        set_window_text(dialog, run.ofn->title);
    for (const Filter& filter : run.filters)
        send_dlg_item_message(
            dialog, kFileTypes, CB_ADDSTRING, 0, reinterpret_cast<LParam>(filter.name.c_str()));
    send_dlg_item_message(dialog, kFileTypes, CB_SETCURSEL, WParam(run.filter), 0);
    std::string given = initial_name(*run.ofn);
    std::string name = given.substr(path_name_offset(given));
    if (has_wildcards(name))
        run.typed_pattern = name;
    set_dlg_item_text(dialog, kFileName, name.c_str());
    fill_lists(dialog, run);
    log_event(
        "file dialog " + log_quote(controls_text(dialog)) + " opened in " + log_quote(run.folder));
    if ((run.ofn->flags & OFN_ENABLEHOOK) && run.ofn->hook)
        return run.ofn->hook(dialog, WM_INITDIALOG, WParam(get_dlg_item(dialog, kFileName).id),
            reinterpret_cast<LParam>(run.ofn));
    return 1;
}

// The hook sees every message after WM_INITDIALOG first.
static LResult file_dialog_proc(WindowHandle dialog, uint32_t message, WParam wparam, LParam lparam)
{
    if (message == WM_INITDIALOG)
        return on_init(dialog, *reinterpret_cast<FileDialogRun*>(lparam));
    FileDialogRun* run = run_of(dialog);
    if (!run)
        return 0;
    DialogProc hook = (run->ofn->flags & OFN_ENABLEHOOK) ? run->ofn->hook : nullptr;
    LResult answer = hook ? hook(dialog, message, wparam, lparam) : 0;
    if (message == WM_NCDESTROY)
        remove_prop(dialog, kRunProperty);
    if (answer || !(run = run_of(dialog)))
        return answer;
    return message == WM_COMMAND ? on_command(dialog, *run, wparam) : 0;
}

static DialogControl make_control(const char* class_name, const char* text, int id, uint32_t style,
    int16_t x, int16_t y, int16_t cx, int16_t cy)
{
    DialogControl control;
    control.class_name = class_name;
    control.text = text;
    control.id = uint16_t(id);
    control.style = WS_CHILD | WS_VISIBLE | style;
    control.x = x;
    control.y = y;
    control.cx = cx;
    control.cy = cy;
    return control;
}

// Name and files on the left, folders on the right, the filters below, the buttons aside; the
// labels' mnemonics reach the control after each.
static DialogTemplate own_template(FileDialogKind kind)
{
    DialogTemplate t;
    t.style = DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE;
    t.cx = 264;
    t.cy = 134;
    t.font_size = 8;
    t.font_face = "MS Sans Serif";
    t.caption = kind == FileDialogKind::save ? "Save As" : "Open";
    uint32_t list = LBS_SORT | LBS_NOTIFY | WS_VSCROLL | WS_BORDER | WS_TABSTOP;
    t.controls = {
        make_control(kStaticClass, "File &name:", -1, SS_LEFT, 6, 6, 92, 9),
        make_control(
            kEditClass, "", kFileName, WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP, 6, 16, 92, 12),
        make_control(kListBoxClass, "", kFileList, list, 6, 32, 92, 68),
        make_control(kStaticClass, "&Folders:", -1, SS_LEFT, 106, 6, 92, 9),
        make_control(
            kStaticClass, "", kFileFolderText, SS_LEFTNOWORDWRAP | SS_NOPREFIX, 106, 18, 92, 9),
        make_control(kListBoxClass, "", kFolderList, list, 106, 32, 92, 68),
        make_control(kStaticClass, "List files of &type:", -1, SS_LEFT, 6, 104, 92, 9),
        make_control(kComboBoxClass, "", kFileTypes, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 6,
            114, 92, 60),
        make_control(
            kButtonClass, "OK", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, 208, 6, 50, 14),
        make_control(kButtonClass, "Cancel", IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, 208, 24, 50, 14),
    };
    return t;
}

// 0, or the error of a program's template that cannot be used.
static uint32_t dialog_template(const OpenFileName& ofn, FileDialogKind kind, DialogTemplate& t)
{
    if (!(ofn.flags & OFN_ENABLETEMPLATE)) {
        t = own_template(kind);
        return 0;
    }
    ResourceBytes bytes = find_resource(ofn.instance, RT_DIALOG, ofn.template_name);
    if (!bytes.data)
        return CDERR_FINDRESFAILURE;
    return read_dialog_template(bytes, t) ? 0u : uint32_t(CDERR_LOADRESFAILURE);
}

// The name without its folder, cut to the buffer without splitting a double-byte character.
static void give_title(OpenFileName& ofn, const std::string& title)
{
    if (!ofn.file_title || ofn.max_file_title == 0)
        return;
    size_t length = 0;
    while (length < title.size()) {
        size_t next = size_t(char_next(title.c_str() + length) - title.c_str());
        if (next >= ofn.max_file_title)
            break;
        length = next;
    }
    std::memcpy(ofn.file_title, title.data(), length);
    ofn.file_title[length] = '\0';
}

// The chosen path goes back with where its name and extension start; false (with the error
// set) when the buffer cannot hold it.
static bool give_result(OpenFileName& ofn, const FileDialogRun& run)
{
    const std::string& path = run.result;
    if (path.size() >= ofn.max_file) {
        s_filedlg.error = FNERR_BUFFERTOOSMALL;
        size_t needed = std::min<size_t>(path.size() + 1, 0xFFFF);
        ofn.file[0] = char(needed & 0xFF);
        if (ofn.max_file >= 2)
            ofn.file[1] = char(needed >> 8);
        return false;
    }
    std::memcpy(ofn.file, path.c_str(), path.size() + 1);
    size_t name_at = path_name_offset(path);
    size_t dot = path.rfind('.');
    ofn.file_offset = uint16_t(name_at);
    ofn.file_extension
        = uint16_t(dot != std::string::npos && dot >= name_at ? dot + 1 : path.size());
    give_title(ofn, path.substr(name_at));
    if (!run.filters.empty())
        ofn.filter_index = uint32_t(run.filter + 1);
    return true;
}

static bool fail(uint32_t error)
{
    s_filedlg.error = error;
    log_event("file dialog failed, error " + std::to_string(error));
    return false;
}

static bool run_file_dialog(OpenFileName& ofn, FileDialogKind kind)
{
    s_filedlg.error = 0;
    if (!ofn.file || ofn.max_file == 0)
        return fail(CDERR_INITIALIZATION);
    DialogTemplate t;
    if (uint32_t error = dialog_template(ofn, kind, t))
        return fail(error);
    FileDialogRun run;
    run.ofn = &ofn;
    run.kind = kind;
    run.filters = parse_filters(ofn.filter);
    run.filter = ofn.filter_index >= 1 && ofn.filter_index <= run.filters.size()
        ? ofn.filter_index - 1
        : 0;
    run.folder = initial_folder(ofn);
    std::string start_folder = get_current_directory();
    set_current_directory(run.folder);
    intptr_t shown = dlgmgr_run_modal(ofn.instance, t, ofn.owner, file_dialog_proc,
        reinterpret_cast<LParam>(&run), ModalScope::owner);
    bool given = shown == IDOK && !run.result.empty() && give_result(ofn, run);
    // A person who chose a file expects the next dialog in its folder; a cancel moves nothing.
    std::string chosen_folder = run.result.substr(0, path_name_offset(run.result));
    bool moved = given && !(ofn.flags & OFN_NOCHANGEDIR) && set_current_directory(chosen_folder);
    if (!moved)
        set_current_directory(start_folder);
    if (shown < 0)
        return fail(CDERR_DIALOGFAILURE);
    if (s_filedlg.error)
        return fail(s_filedlg.error);
    log_event(given ? "file dialog chose " + log_quote(run.result)
                    : std::string("file dialog cancelled"));
    return given;
}

bool get_open_file_name(OpenFileName& ofn) { return run_file_dialog(ofn, FileDialogKind::open); }

bool get_save_file_name(OpenFileName& ofn) { return run_file_dialog(ofn, FileDialogKind::save); }

} // namespace plat
