#include "runtime/icons/icons.h"

#include "runtime/icons/icon_display.h"

void icons_install()
{
    icon_display_install();
}
