// The piece maker's icons: turns the described icon tree into the records of a file's node
// store, written field by field from the layouts, independently of the runtime's readers: the
// node directory (record 1), a header group and a property group for every group that holds
// an icon, the title pool, the title hash and the title sets.
#pragma once
#include "tools/piecemaker/pm_desc.h"

#include <string>

constexpr int kPieceFramework = 12;

// The icon kind a description names ("display" ... "guidepack", or 1 to 15); 0 for none.
int pm_kind_number(const std::string& word);
// The description's word for a kind; "free" for 0, "kind N" outside 0 to 15.
std::string pm_kind_name(int kind);

// Numbers the icons, links the tree and appends the node store's records to the description's
// records (numbered from 2 up, around the numbers the description gives). True, or false with
// "line N: ..." in error.
bool pm_icons_build(PieceDescription& piece, std::string& error);
