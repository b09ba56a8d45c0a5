// The system functions that drive the engine's synchronisation clock: SyncPoint and SyncWait.
#pragma once

// Binds their handlers into the system-function table (start-up, after the table is built).
void engine_bind_system_functions();
