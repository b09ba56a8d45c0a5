// The open-file dialog the runtime asks the learner for files with: filter and title from
// the string table (or given texts), the program's dialog template, a hook procedure, and a
// default extension; the chosen file comes back as a FileSpec. The folders chosen are not
// remembered between runs.
#pragma once
#include "platform/controls/dialog.h"
#include "runtime/files/fspec.h"

struct FileDialogSpec {
    int template_id = 0; // 0: 1000
    int title_index = 0; // n > 0: string 1264 + n, formatted with the call's text
    const char* title_format = nullptr; // with index 0; null: no title
    int filter_index = 0; // n > 0: string 6758 + n
    const char* filter_text = nullptr; // with index 0: "Name|*.ext|...|", the last character
                                       // being the separator
    const char* initial_name = nullptr;
    bool default_extension = false; // string 1472 + default_extension_index
    int default_extension_index = 0;
    plat::DialogProc hook = nullptr; // null: the dialog is centred and nothing else
    FileSpec* result = nullptr; // out: the chosen file (the caller frees it)
};

// 1 when a file was chosen (spec.result holds it); 0 for Cancel or a failure (message 91).
// A chosen name that is no usable file shows message 239 and the dialog opens again. text
// fills a "%s" of the title.
int filedlg_run(FileDialogSpec& spec, const char* text = nullptr);
// The spec of the dialog being shown, for hook procedures (null outside a run).
FileDialogSpec* filedlg_current_spec();
// The extension of a filter's first entry ("v5r" of "Packaged|*.v5r|..."); "" when its
// pattern's extension starts with '*' or '?'.
std::string filedlg_filter_extension(const char* filter);
// A filter in the string table's form made into NUL-separated pairs ending in an empty text.
std::string filedlg_filter_pairs(const std::string& filter);
