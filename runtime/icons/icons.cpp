#include "runtime/icons/icons.h"

void icons_install()
{
}
