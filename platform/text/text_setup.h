// Joins the font and text modules to the layers below, which know nothing of them: the GDI
// table's hooks for font objects (the stock fonts every new DC selects), and the painter that
// draws window titles in the captions (the system font; tool windows, whose caption is too
// low for it, the small caption font), ending in "..." when the title is too long.
//
// It runs before main, and the platform library makes every program link it, so that a program
// that never draws text still shows its titles. The text modules also call text_setup on entry:
// what runs before main has no order, and the GDI table may only be made after it.
#pragma once

namespace plat {

void text_setup();

} // namespace plat
