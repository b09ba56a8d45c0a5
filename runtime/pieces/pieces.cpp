#include "runtime/pieces/pieces.h"

#include "runtime/files/fspec.h"
#include "runtime/nodes/node_files.h"
#include "runtime/pieces/fileref.h"
#include "runtime/pieces/lib.h"
#include "runtime/pieces/piece_current.h"

static int links_load(int slot) { return lib_links_load(slot); }
static void links_release(int slot) { lib_links_release(slot); }
static IconId resolve_icon(IconId icon) { return lib_resolve_icon(icon); }
static IconId resolve_for_property(IconId icon, uint16_t tag) { return lib_resolve_icon_for_attr(icon, tag); }

int pieces_init()
{
    pfs_fileref_install();
    NodeServices services = node_services();
    services.links_load = links_load;
    services.links_release = links_release;
    services.resolve_icon = resolve_icon;
    services.resolve_for_property = resolve_for_property;
    node_set_services(&services);
    return lib_init();
}

void pieces_term()
{
    // The record store closed every file before: only the tables go.
    lib_term();
    piece_current_clear();
    NodeServices services = node_services();
    services.links_load = nullptr;
    services.links_release = nullptr;
    services.resolve_icon = nullptr;
    services.resolve_for_property = nullptr;
    node_set_services(&services);
    fspec_set_fileref_service(nullptr);
}
