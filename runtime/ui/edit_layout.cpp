#include "runtime/ui/edit_access.h"

void edit_apply_pending_offset(EditField* f)
{
    for (int32_t i = 0; i <= f->line_count; i++) {
        EditLine& line = f->lines_ptr[i];
        line.top += f->pending_dy;
        line.baseline += f->pending_dy;
        line.x += f->pending_dx;
    }
    f->pending_dx = f->pending_dy = 0;
    f->layout_state = kEditLayoutDone;
}
