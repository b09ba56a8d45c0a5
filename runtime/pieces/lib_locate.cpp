#include "runtime/pieces/lib_locate.h"

#include "platform/controls/dialog.h"
#include "runtime/base/fmt.h"
#include "runtime/pieces/filedlg.h"

namespace {

constexpr int kFindLibraryTemplate = 1001;
constexpr int kPromptItem = 200;
constexpr int kFindLibraryTitle = 5; // string 1269
constexpr int kLibraryFilter = 5; // string 6763

const char* s_library_name = "";

} // namespace

// Names the library in the prompt's own format, then lets the dialog be centred.
static plat::LResult find_library_hook(plat::WindowHandle dialog, uint32_t message, plat::WParam, plat::LParam)
{
    if (message != plat::WM_INITDIALOG)
        return 0;
    char format[256];
    char text[512];
    plat::get_dlg_item_text(dialog, kPromptItem, format, sizeof format);
    fmt_print(text, sizeof text, format, s_library_name);
    plat::set_dlg_item_text(dialog, kPromptItem, text);
    return 0;
}

int lib_locate(const char* library_name, FileSpec** out)
{
    FileDialogSpec spec;
    spec.template_id = kFindLibraryTemplate;
    spec.title_index = kFindLibraryTitle;
    spec.filter_index = kLibraryFilter;
    spec.hook = find_library_hook;
    const char* previous = s_library_name;
    s_library_name = library_name ? library_name : "";
    int chosen = filedlg_run(spec);
    s_library_name = previous;
    *out = chosen ? spec.result : nullptr;
    return chosen;
}
