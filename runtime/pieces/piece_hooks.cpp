#include "runtime/pieces/piece_hooks.h"

static PieceHooks s_hooks = {};

void piece_set_hooks(const PieceHooks* hooks)
{
    s_hooks = hooks ? *hooks : PieceHooks{};
}

const PieceHooks& piece_hooks() { return s_hooks; }
