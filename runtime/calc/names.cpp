#include "runtime/calc/names.h"

#include "platform/kernel/byte_io.h"
#include "platform/kernel/resource.h"
#include "runtime/base/str.h"
#include "runtime/calc/calc_hooks.h"
#include "runtime/calc/sysfn_table.h"
#include "runtime/nodes/node_files.h"
#include "runtime/nodes/node_title.h"
#include "runtime/nodes/node_tree.h"

#include <cstring>
#include <string>

namespace {

constexpr uint32_t kErrorTextEntry = 8720;
constexpr uint32_t kDeletedVariableEntry = 1236;
constexpr uint32_t kDeletedFunctionEntry = 7715;
constexpr int kErrorArgumentMax = 409;
constexpr int kLibraryRoot = 2;

CalcNameHooks s_names;

std::string load_entry(uint32_t entry)
{
    char buffer[512];
    plat::load_string(plat::ModuleHandle {}, entry, buffer, int(sizeof buffer));
    return buffer;
}

bool is_system(uint16_t id) { return id >= kVarFirstSystem && id < kVarFirstCustom; }

uint32_t traits_of(uint16_t id)
{
    if (!is_system(id))
        return 0;
    return s_names.sysvar_traits ? s_names.sysvar_traits(id) : kSysVarAtAllowed;
}

int find_variable(int slot, const char* name, uint16_t* id)
{
    return s_names.var_find_id && s_names.var_find_id(slot, name, id);
}

// Steps 5 and 6 for a variable the lookup found: what its "@" part may be and the reference.
int finish_reference(uint32_t context, uint16_t id, const char* at_text, uint16_t node, VariableRef* out)
{
    uint32_t traits = traits_of(id);
    if (traits & kSysVarReserved)
        return 31;
    *out = VariableRef { id, 0, 0 };
    if (!at_text)
        return 0;
    if (is_system(id)) {
        bool other_icon = at_text[0] && node != node_icon_number(context);
        if (other_icon && eval_in_library(context))
            return 32;
        if (!(traits & kSysVarAtAllowed))
            return 24;
    }
    if (at_text[0])
        out->icon = node;
    else
        out->at_flag = 1;
    return 0;
}

} // namespace

void calc_set_name_hooks(const CalcNameHooks* hooks) { s_names = hooks ? *hooks : CalcNameHooks {}; }

const CalcNameHooks& calc_name_hooks() { return s_names; }

void var_ref_store(const VariableRef& ref, uint8_t* out)
{
    plat::store_u16le(out, ref.id);
    plat::store_u16le(out + 2, ref.at_flag);
    plat::store_u16le(out + 4, ref.icon);
}

VariableRef var_ref_load(const uint8_t* in)
{
    return VariableRef { plat::load_u16le(in), plat::load_u16le(in + 2), plat::load_u16le(in + 4) };
}

int eval_in_library(uint32_t context)
{
    if (context == 0)
        return 0;
    IconId icon = context;
    // Bounded: a damaged tree must not loop.
    for (int depth = 0; icon && depth < 65536; ++depth) {
        if (node_icon_number(icon) == kLibraryRoot)
            return 1;
        icon = node_parent(icon);
    }
    return 0;
}

int eval_resolve_icon_title(int file_slot, const char* title, uint16_t* node)
{
    *node = 0;
    if (!title[0] || node_title_is_reserved(title))
        return 28;
    int unique = 1;
    IconId icon = node_find_by_title(file_slot, title, 0, &unique);
    if (!icon)
        return 23;
    if (!unique)
        return 26;
    *node = uint16_t(node_icon_number(icon));
    return 0;
}

int eval_resolve_variable_name(uint32_t context, const char* name, const char* at_text, VariableRef* out)
{
    *out = VariableRef {};
    int slot = int(context >> 16);
    uint16_t id = 0;
    if (name[0]) {
        if (str_char_count(name) > kVarNameMax)
            return 27;
        const CalcHooks& engine = calc_hooks();
        bool suspended = engine.engine_suspended && engine.engine_suspended();
        if (!eval_in_library(context) && !suspended && s_names.var_find_custom
            && s_names.var_find_custom(name, &id)) {
            if (at_text)
                return 25;
            *out = VariableRef { id, 0, 0 };
            return 0;
        }
    } else {
        id = kVarIconOfTitle;
    }
    uint16_t node = 0;
    if (at_text && at_text[0]) {
        if (int error = eval_resolve_icon_title(slot, at_text, &node))
            return error;
    }
    if (id == 0 && !find_variable(slot, name, &id))
        return 22;
    return finish_reference(context, id, at_text, node, out);
}

int eval_is_assignable(const VariableRef& ref)
{
    if (ref.id == 0)
        return 0;
    if (!is_system(ref.id))
        return 1;
    return (traits_of(ref.id) & kSysVarAssignable) != 0;
}

int eval_is_calc_only_variable(const VariableRef& ref) { return (traits_of(ref.id) & kSysVarCalcOnly) != 0; }

void eval_append_quoted_title(std::string& out, const char* title)
{
    out += '"';
    for (const char* p = title; *p;) {
        const char* next = str_next_char(p);
        if (next == p + 1 && (*p == '"' || *p == '\\'))
            out += '\\';
        out.append(p, next);
        p = next;
    }
    out += '"';
}

void eval_variable_display_name(uint32_t context, char* out, size_t size, const VariableRef& ref)
{
    int slot = int(context >> 16);
    char name[256] = "";
    if (!s_names.var_display_name || !s_names.var_display_name(slot, ref.id, name, sizeof name))
        name[0] = 0;
    std::string text = ref.id == kVarIconOfTitle ? std::string() : std::string(name);
    if (ref.id != kVarIconOfTitle && text.empty())
        text = load_entry(kDeletedVariableEntry);
    if (ref.at_flag) {
        text += '@';
    } else if (ref.icon) {
        char title[256] = "";
        node_title_text(node_make_icon(uint32_t(slot), ref.icon), title, sizeof title);
        text += '@';
        eval_append_quoted_title(text, title);
    }
    str_copy_bounded(out, text.c_str(), int(size));
}

void eval_function_display_name(int id, char* out, size_t size)
{
    if (size)
        out[0] = 0;
    if (sysfn_is_id(id))
        sysfn_name(out, size, id);
    else if (s_names.ucode_function_name)
        s_names.ucode_function_name(id, out, size);
    if (size && !out[0])
        str_copy_bounded(out, load_entry(kDeletedFunctionEntry).c_str(), int(size));
}

MemHandle eval_error_text(int code, const char* text, int offset, int length)
{
    std::string argument;
    if (code < 0 || code > 57) {
        argument = std::to_string(code);
        code = 18;
    } else if (length > 0 && text) {
        int chars = str_char_count(text);
        offset = offset < 0 ? 0 : offset > chars ? chars : offset;
        length = length > chars - offset ? chars - offset : length;
        length = length > kErrorArgumentMax ? kErrorArgumentMax : length;
        int total = int(std::strlen(text));
        int from = str_char_offset(text, total, offset);
        int to = str_char_offset(text, total, offset + length);
        argument.assign(text + from, text + to);
    }
    std::string message = load_entry(kErrorTextEntry + uint32_t(code));
    size_t at = message.find("%s");
    if (at != std::string::npos)
        message.replace(at, 2, argument);
    return mem_alloc_copy(message.c_str(), message.size() + 1);
}
