// The engine at start-up and at the window's close: its modules take their slots, and the
// subsystems below it (opening pieces, the calculation language) get their hooks into it.
#pragma once
class FileSpec;

// Registers the engine's modules and fills the hooks the pieces library and the calculation
// language left for it. 1.
int engine_init();
// Empties the slots and the hooks again.
void engine_term();
// The presentation window goes: the learner's records are saved (not forced) and every
// module hears WindowClosing; nothing while no records are open.
void engine_window_closing();
// The records resume for opening a piece: records that are damaged (5000) or that the modules
// cannot take in memory (8) are kept aside (NAME.bak) and the piece starts fresh (5001).
int engine_resume_records(FileSpec* records, int force);
