// The open and save file dialogs (GetOpenFileName, GetSaveFileName): a modal dialog of the
// layer's own making (or the program's template, OFN_ENABLETEMPLATE, holding the controls
// below) with the name, the files of the current folder that the chosen filter or a typed
// pattern matches, the folders to go up and down, and the list of filters. OK checks the name
// as the flags ask (the file or folder must exist; a file to be replaced is confirmed with a
// message box) and adds the default extension to a name without one. A hook procedure sees
// the dialog's messages first (WM_INITDIALOG with the OpenFileName as its lparam, once the
// dialog is filled); a message it answers nonzero is its own. The current folder follows the
// folders opened, and goes back after a cancel or with OFN_NOCHANGEDIR.
// In headless runs the script's "choose-file PATH" types PATH (UTF-8; relative to the folder
// shown) into the name and presses OK, so that the checks, the hook and the default extension
// apply as for a person; "choose-file cancel", "answer Cancel" and "key Escape" cancel. Each
// dialog is logged as it opens (its title and folder) and with what it gave.
#pragma once
#include "platform/controls/dialog.h"
#include "platform/window/message.h"
#include "platform/kernel/resource.h"

#include <cstdint>

namespace plat {

enum : uint32_t {
    OFN_READONLY = 0x00000001,
    OFN_OVERWRITEPROMPT = 0x00000002,
    OFN_HIDEREADONLY = 0x00000004,
    OFN_NOCHANGEDIR = 0x00000008,
    OFN_ENABLEHOOK = 0x00000020,
    OFN_ENABLETEMPLATE = 0x00000040,
    OFN_NOVALIDATE = 0x00000100,
    OFN_PATHMUSTEXIST = 0x00000800,
    OFN_FILEMUSTEXIST = 0x00001000,
    OFN_EXPLORER = 0x00080000,
};

// CommDlgExtendedError codes.
enum : uint32_t {
    CDERR_DIALOGFAILURE = 0xFFFF,
    CDERR_INITIALIZATION = 0x0002,
    CDERR_FINDRESFAILURE = 0x0006, // OFN_ENABLETEMPLATE: no such template
    CDERR_LOADRESFAILURE = 0x0007, // OFN_ENABLETEMPLATE: a damaged template
    FNERR_INVALIDFILENAME = 0x3002,
    FNERR_BUFFERTOOSMALL = 0x3003,
};

// The dialog's controls, with the ids hooks know them by.
enum : int {
    kFileFolderText = 0x440, // stc1: the current folder
    kFileList = 0x460, // lst1
    kFolderList = 0x461, // lst2
    kFileTypes = 0x470, // cmb1
    kFileName = 0x480, // edt1
};

// OPENFILENAME: the filter is pairs of NUL-terminated texts (a name, then patterns such as
// "*.txt;*.doc") ended by an empty text; file holds the initial name and gets the chosen path.
struct OpenFileName {
    WindowHandle owner;
    ModuleHandle instance;
    const char* filter = nullptr;
    uint32_t filter_index = 1; // 1-based; the filter chosen comes back here
    char* file = nullptr;
    uint32_t max_file = 0;
    char* file_title = nullptr; // the name without its folder, when given
    uint32_t max_file_title = 0;
    const char* initial_dir = nullptr;
    const char* title = nullptr;
    uint32_t flags = 0;
    uint16_t file_offset = 0; // where the name starts in file
    uint16_t file_extension = 0; // where its extension starts (the path's end for none)
    const char* default_ext = nullptr;
    LParam cust_data = 0;
    DialogProc hook = nullptr; // with OFN_ENABLEHOOK
    ResourceId template_name = 0; // with OFN_ENABLETEMPLATE, in instance's resources
};

// True when a file was chosen (stored in file, its name in file_title cut to fit, the filter
// in filter_index); false for a cancel or a failure, which comm_dlg_extended_error tells apart
// (0 for a cancel). A buffer too small for the path fails with FNERR_BUFFERTOOSMALL and holds
// the size it needs (NUL included) in its first two bytes, low byte first.
bool get_open_file_name(OpenFileName& ofn);
bool get_save_file_name(OpenFileName& ofn);
uint32_t comm_dlg_extended_error();

void filedlg_reset();

} // namespace plat
