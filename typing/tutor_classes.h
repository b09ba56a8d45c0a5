// The window classes of the screens' building blocks: the intro, the answer line, the picture
// selector with its popup and the picture button.
#pragma once

bool tutor_classes_register(); // false at the first class that cannot be registered
