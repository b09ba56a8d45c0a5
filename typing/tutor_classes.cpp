#include "typing/tutor_classes.h"

#include "typing/bmp_button.h"
#include "typing/bmp_menu.h"
#include "typing/game_edit.h"
#include "typing/intro.h"

bool tutor_classes_register()
{
    return intro_register() && game_edit_register() && bmp_menu_register() && bmp_button_register();
}
