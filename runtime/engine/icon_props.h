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
// Runs the icon's attached calculation, when it has one, then re-evaluates dirty triggers.
// The trace shows "kernel calc NODE ERROR".
void icon_run_attached_calc(IconId icon);
