// The executors of the icon kinds that show and erase things, above the display engine and the
// presentation. icons_install puts their handlers into the engine's and the display engine's
// hook tables; until it runs, those kinds show nothing.
#pragma once

void icons_install();
