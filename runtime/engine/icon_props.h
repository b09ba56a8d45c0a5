// Compiled expressions kept in icon properties (tags 1000 and up): a Wait icon's time limit,
// conditions, the calculation attached to an icon. Evaluated with the icon as context.
#pragma once
#include "runtime/nodes/node_files.h"

#include <cstdint>

struct ScriptValue;

constexpr uint16_t kPropAttachedCalc = 1001;
constexpr uint16_t kPropWaitLimit = 1007;
constexpr int kErrNoProperty = 1000;
// Computed attribute 1: the icon has an attached calculation.
constexpr uint32_t kAttrHasCalc = 1;

// 0 or the calculation's error; 1000 with an empty value when the property is missing.
int icon_eval_property(IconId icon, uint16_t property, ScriptValue& out);
// The default only when the property is missing; after another error the value as left.
int32_t icon_eval_property_bool(IconId icon, uint16_t property, int32_t fallback);
int32_t icon_eval_property_int(IconId icon, uint16_t property, int32_t fallback);
double icon_eval_property_real(IconId icon, uint16_t property, double fallback);
// A layer kept in 16 bits: -32768..32767, and at least 1 for a Movie icon (its pictures lie
// in front of the backdrop).
int32_t icon_clamp_layer(IconId icon, int32_t value);
// icon_eval_property_int with the default 0, clamped as icon_clamp_layer.
int32_t icon_eval_property_int16(IconId icon, uint16_t property);
// Runs the icon's attached calculation, when it has one, then re-evaluates dirty triggers.
// The trace shows "kernel calc NODE ERROR".
void icon_run_attached_calc(IconId icon);
