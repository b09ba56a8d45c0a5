#include "runtime/icons/icons.h"

#include "runtime/icons/icon_clock.h"

void icons_install()
{
    icon_clock_install();
}
