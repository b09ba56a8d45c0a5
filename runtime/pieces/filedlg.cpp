#include "runtime/pieces/filedlg.h"

#include "platform/controls/filedlg.h"
#include "platform/kernel/resource.h"
#include "platform/window/metrics.h"
#include "platform/window/window.h"
#include "platform/window/winpos.h"
#include "runtime/base/errcode.h"
#include "runtime/base/fmt.h"
#include "runtime/base/str.h"
#include "runtime/files/err.h"
#include "runtime/files/fspec_func.h"
#include "runtime/files/msg.h"

#include <cstdio>
#include <string>

namespace {

constexpr int kDefaultTemplate = 1000;
constexpr uint32_t kTitleBase = 1264;
constexpr uint32_t kFilterBase = 6758;
constexpr uint32_t kExtensionBase = 1472;
constexpr int kTitleMax = 64;
constexpr uint32_t kMsgNoFileName = 91;
constexpr uint32_t kMsgBadName = 239;
constexpr int kErrUnusableName = 1118;

FileDialogSpec* s_current = nullptr;

} // namespace

FileDialogSpec* filedlg_current_spec() { return s_current; }

static std::string load_text(uint32_t id)
{
    char buffer[512];
    plat::load_string(msg_resource_module(), id, buffer, sizeof buffer);
    return buffer;
}

std::string filedlg_filter_pairs(const std::string& filter)
{
    if (filter.empty())
        return std::string(2, '\0');
    char separator = filter.back();
    std::string out;
    for (const char* p = filter.c_str(); *p;) {
        const char* next = str_next_char(p);
        if (next == p + 1 && *p == separator)
            out += '\0';
        else
            out.append(p, size_t(next - p));
        p = next;
    }
    out += '\0';
    return out;
}

std::string filedlg_filter_extension(const char* filter)
{
    std::string pairs = filedlg_filter_pairs(filter ? filter : "");
    size_t pattern = pairs.find('\0');
    if (pattern == std::string::npos || pattern + 1 >= pairs.size())
        return {};
    std::string text(pairs.c_str() + pattern + 1);
    size_t dot = text.find('.');
    if (dot == std::string::npos)
        return {};
    std::string extension = text.substr(dot + 1, 3);
    size_t end = extension.find(';');
    if (end != std::string::npos)
        extension.resize(end);
    if (extension.empty() || extension[0] == '*' || extension[0] == '?')
        return {};
    return extension;
}

static plat::LResult center_hook(plat::WindowHandle dialog, uint32_t message, plat::WParam, plat::LParam)
{
    if (message != plat::WM_INITDIALOG)
        return 0;
    plat::Rect r;
    plat::get_window_rect(dialog, r);
    int x = (plat::get_system_metrics(plat::SM_CXSCREEN) - (r.right - r.left)) / 2;
    int y = (plat::get_system_metrics(plat::SM_CYSCREEN) - (r.bottom - r.top)) / 2;
    plat::set_window_pos(dialog, {}, x, y, 0, 0, plat::SWP_NOSIZE | plat::SWP_NOZORDER | plat::SWP_NOACTIVATE);
    return 1;
}

static std::string dialog_title(const FileDialogSpec& spec, const char* text)
{
    std::string format = spec.title_index > 0 ? load_text(kTitleBase + uint32_t(spec.title_index))
                                              : std::string(spec.title_format ? spec.title_format : "");
    char title[kTitleMax + 1];
    fmt_print(title, sizeof title, format.c_str(), text ? text : "");
    return title;
}

// One run of the platform dialog: 1 chosen (path filled), 0 cancelled or failed.
static int run_once(FileDialogSpec& spec, const std::string& filter, const std::string& extension,
    const std::string& title, char* path)
{
    plat::OpenFileName ofn;
    ofn.instance = msg_resource_module();
    ofn.filter = filter.c_str();
    ofn.file = path;
    ofn.max_file = kPathBufferSize;
    ofn.title = spec.title_index > 0 || spec.title_format ? title.c_str() : nullptr;
    ofn.flags = plat::OFN_HIDEREADONLY | plat::OFN_ENABLEHOOK | plat::OFN_ENABLETEMPLATE
        | plat::OFN_PATHMUSTEXIST | plat::OFN_FILEMUSTEXIST;
    ofn.default_ext = extension.empty() ? nullptr : extension.c_str();
    ofn.hook = spec.hook ? spec.hook : center_hook;
    ofn.template_name = plat::ResourceId(spec.template_id ? spec.template_id : kDefaultTemplate);
    if (plat::get_open_file_name(ofn))
        return 1;
    uint32_t error = plat::comm_dlg_extended_error();
    if (error != 0 && error != plat::CDERR_DIALOGFAILURE)
        msg_show(kMsgNoFileName, int32_t(error));
    return 0;
}

int filedlg_run(FileDialogSpec& spec, const char* text)
{
    std::string filter = filedlg_filter_pairs(spec.filter_index > 0
            ? load_text(kFilterBase + uint32_t(spec.filter_index))
            : std::string(spec.filter_text ? spec.filter_text : ""));
    std::string extension;
    if (spec.default_extension)
        extension = load_text(kExtensionBase + uint32_t(spec.default_extension_index));
    if (extension.empty())
        extension = filedlg_filter_extension(filter.c_str());
    std::string title = dialog_title(spec, text);
    FileDialogSpec* previous = s_current;
    s_current = &spec;
    int chosen = 0;
    for (;;) {
        char path[kPathBufferSize] = {};
        fspec_copy_text(path, sizeof path, spec.initial_name ? spec.initial_name : "");
        if (!run_once(spec, filter, extension, title, path))
            break;
        FileSpec* result = nullptr;
        if (fspec_from_path(path, &result) == kErrOk && fspec_is_valid(result)) {
            spec.result = result;
            chosen = 1;
            break;
        }
        fspec_free(result);
        msg_show(kMsgBadName, 2, msg_error_text(kErrUnusableName));
    }
    s_current = previous;
    return chosen;
}
