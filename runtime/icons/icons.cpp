#include "runtime/icons/icons.h"

#include "runtime/icons/icon_clock.h"
#include "runtime/icons/icon_display.h"
#include "runtime/icons/icon_erase.h"

void icons_install()
{
    icon_clock_install();
    icon_display_install();
    icon_erase_install();
}
