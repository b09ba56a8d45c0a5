#include "runtime/engine/engine_sysfn.h"

#include "runtime/calc/sysfn_table.h"
#include "runtime/calc/value.h"
#include "runtime/engine/session.h"

namespace {

constexpr int kIndexSyncPoint = 120;
constexpr int kIndexSyncWait = 121;

void fn_sync_point(int argc, ScriptValue* args, ScriptValue& result)
{
    exec_sync_point(argc >= 1, argc >= 1 ? val_integer(args[0]) : 0);
    val_set_integer(0, result);
}

void fn_sync_wait(int, ScriptValue* args, ScriptValue& result)
{
    exec_sync_wait(val_real(args[0]));
    val_set_integer(0, result);
}

} // namespace

void engine_bind_system_functions()
{
    sysfn_bind(kIndexSyncPoint, fn_sync_point);
    sysfn_bind(kIndexSyncWait, fn_sync_wait);
}
