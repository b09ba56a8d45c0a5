#include "runtime/engine/icon_props.h"

#include "runtime/base/mem.h"
#include "runtime/calc/interp.h"
#include "runtime/calc/value.h"
#include "runtime/engine/exec_hooks.h"
#include "runtime/engine/exec_trace.h"
#include "runtime/nodes/node_attr.h"
#include "runtime/nodes/node_group.h"
#include "runtime/nodes/node_tree.h"

#include <algorithm>
#include <string>
#include <vector>

int icon_eval_property(IconId icon, uint16_t property, ScriptValue& out)
{
    out = ScriptValue {};
    MemHandle copy = node_get_prop(icon, property);
    if (!copy || copy == kMemFailed)
        return kErrNoProperty;
    size_t size = mem_size(copy);
    const auto* code = static_cast<const uint8_t*>(mem_lock(copy));
    if (!code) {
        mem_free(copy);
        return kErrNoProperty;
    }
    // The block may move while the code runs: run a copy of its bytes.
    std::vector<uint8_t> bytes(code, code + size);
    mem_unlock(copy);
    mem_free(copy);
    return eval_code(icon, bytes.data(), bytes.size(), out, 1);
}

int32_t icon_eval_property_bool(IconId icon, uint16_t property, int32_t fallback)
{
    ScriptValue value;
    if (icon_eval_property(icon, property, value) == kErrNoProperty)
        return fallback;
    int32_t truth = val_is_true(value);
    val_free(value);
    return truth;
}

int32_t icon_eval_property_int(IconId icon, uint16_t property, int32_t fallback)
{
    ScriptValue value;
    if (icon_eval_property(icon, property, value) == kErrNoProperty)
        return fallback;
    val_convert(value, kValInteger);
    int32_t result = val_integer(value);
    val_free(value);
    return result;
}

double icon_eval_property_real(IconId icon, uint16_t property, double fallback)
{
    ScriptValue value;
    if (icon_eval_property(icon, property, value) == kErrNoProperty)
        return fallback;
    val_convert(value, kValReal);
    double result = val_real(value);
    val_free(value);
    return result;
}

int32_t icon_clamp_layer(IconId icon, int32_t value)
{
    int32_t low = node_kind(icon) == kKindMovie ? 1 : -32768;
    return std::clamp(value, low, int32_t(32767));
}

int32_t icon_eval_property_int16(IconId icon, uint16_t property)
{
    return icon_clamp_layer(icon, icon_eval_property_int(icon, property, 0));
}

void icon_run_attached_calc(IconId icon)
{
    if (!node_get_attr(icon, kAttrHasCalc))
        return;
    ScriptValue value;
    int error = icon_eval_property(icon, kPropAttachedCalc, value);
    if (error == kErrNoProperty)
        return;
    if (exec_trace_on(kTraceKernel))
        exec_trace(kTraceKernel, "kernel calc " + std::to_string(node_icon_number(icon)) + " " + std::to_string(error));
    val_free(value);
    if (exec_hooks().trig_update)
        exec_hooks().trig_update();
}
