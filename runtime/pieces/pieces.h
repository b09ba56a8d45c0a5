// Start-up and release of the pieces library: the library list and link tables, and what it
// lends the layers below it (the node store's link services, the file layer's file references).
#pragma once

// 1 ok / 0: the link tables and the lent services (the library list is lib_list_init).
int pieces_init();
// Frees the tables and forgets the piece (after the record store closed its files); the lent
// services are taken back.
void pieces_term();
