#include "runtime/calc/icon_var.h"

#include "runtime/calc/calc_hooks.h"
#include "runtime/calc/interp.h"
#include "runtime/calc/value.h"
#include "runtime/nodes/node_files.h"
#include "runtime/nodes/node_title.h"
#include "runtime/nodes/node_tree.h"

#include "platform/kernel/byte_io.h"

constexpr uint32_t kLibraryRootNode = 2;

int eval_resolve_icon_title(int file_slot, const char* title, uint32_t* node)
{
    if (node)
        *node = 0;
    if (!title || !*title || node_title_is_reserved(title))
        return kEvalBadTitle;
    int unique = 1;
    IconId icon = node_find_by_title(file_slot, title, 0, &unique);
    if (icon == 0)
        return kEvalNoSuchIcon;
    if (!unique)
        return kEvalTitleNotUnique;
    if (node)
        *node = node_icon_number(icon);
    return 0;
}

namespace {

struct IconTarget {
    IconId icon;
    uint16_t variable;
};

bool in_library(IconId icon)
{
    return icon != 0 && node_has_ancestor(icon, node_make_icon(node_icon_slot(icon), kLibraryRootNode));
}

uint32_t eval_context_icon()
{
    auto get = calc_hooks().var_get_eval_context;
    return get ? get() : 0;
}

// The variable of the same name in the target's file: false when that file has none.
bool map_into_file(uint32_t context, IconTarget& target)
{
    int from = int(node_icon_slot(context)), to = int(node_icon_slot(target.icon));
    if (from == to)
        return true;
    auto map = calc_hooks().var_map_to_file;
    target.variable = map ? map(from, target.variable, to) : 0;
    return target.variable != 0;
}

// Library code looks titles up in the file of the icon it runs for, which then stands for the
// running code itself.
bool target_by_title(uint32_t context, const char* title, IconTarget& target)
{
    uint32_t eval_context = eval_context_icon();
    bool for_other = eval_context != 0 && in_library(context);
    int slot = int(node_icon_slot(for_other ? eval_context : context));
    uint32_t node = 0;
    if (eval_resolve_icon_title(slot, title, &node) != 0)
        return false;
    target.icon = node_make_icon(uint32_t(slot), node);
    if (!for_other)
        return true;
    if (target.icon == eval_context) {
        target.icon = context;
        return true;
    }
    return map_into_file(context, target);
}

bool target_by_id(uint32_t context, IconId icon, IconTarget& target)
{
    if (!node_is_valid(icon))
        return false;
    target.icon = icon;
    if (!in_library(context))
        return node_icon_slot(icon) == node_icon_slot(context);
    if (in_library(icon))
        return icon == context;
    if (icon == eval_context_icon()) {
        target.icon = context;
        return true;
    }
    return map_into_file(context, target);
}

bool find_target(uint32_t context, const ScriptValue& named, IconTarget& target)
{
    if (val_type(named) == kValString) {
        const char* title = var_lock_value_data(named);
        bool found = target_by_title(context, title, target);
        var_unlock_value_data(named);
        return found;
    }
    ScriptValue id;
    if (val_copy(id, named) != 0)
        return false;
    val_convert(id, kValInteger);
    bool found = val_type(id) == kValInteger && target_by_id(context, uint32_t(val_integer(id)), target);
    val_free(id);
    return found;
}

} // namespace

void eval_icon_variable(uint32_t context, const uint8_t* ref, int as_reference)
{
    ScriptValue* top = eval_peek();
    if (!top)
        return;
    IconTarget target { 0, plat::load_u16le(ref) };
    ScriptValue result;
    val_init(result);
    if (find_target(context, *top, target)) {
        uint16_t node = uint16_t(node_icon_number(target.icon));
        bool other_file = node_icon_slot(target.icon) != node_icon_slot(context);
        if (as_reference) {
            // A reference carries no file: one into another file could not be followed.
            if (!other_file)
                val_set_reference(target.variable, 0, node, result);
        } else {
            uint8_t record[6] = { uint8_t(target.variable), uint8_t(target.variable >> 8), 0, 0, uint8_t(node), uint8_t(node >> 8) };
            eval_read_variable(other_file ? target.icon : context, record, result);
        }
    }
    val_free(*top);
    *top = result;
}
