// What opening and closing a piece calls in the subsystems above this library: the learner's
// records, the display engine, the presentation window, the engine and the plug-in host. Each
// fills its own entries at start-up (piece_set_hooks with the whole table, after copying the
// current one). An empty entry does nothing and answers as noted: today a piece opens without
// learner's records and the window keeps its size. OLE has no entry: it does not exist here.
#pragma once
#include "platform/window/window.h"
#include "runtime/files/fspec.h"

#include <cstddef>

struct PieceHooks {
    // --- the program -------------------------------------------------------------------
    // The main window (null: none yet); the close request that posts WM_CLOSE to it.
    plat::WindowHandle (*main_window)();
    void (*request_quit)();

    // --- learner's records (empty: the piece opens without them) --------------------------
    // Finds the records folder for the piece about to open; 0 or an error.
    int (*records_set_folder)(const FileSpec* piece);
    // A new spec of the piece's records file in that folder (caller frees); 0 or an error
    // (1118 for a name that does not fit). Empty: no records file (*out stays null).
    int (*records_make_path)(const FileSpec* piece, FileSpec** out);
    // Resume from the records (force: restore even when the piece does not ask); 0 or error.
    int (*records_resume)(FileSpec* records, int force);
    // Start fresh with the records file (null: in memory only); 0 or an error.
    int (*records_start_fresh)(FileSpec* records);
    // Releases the learner's records (saving is the records module's business).
    void (*records_close_all)();

    // --- display engine ----------------------------------------------------------------
    // Back to the defaults, as a piece starts to open; 0 or an error (ignored).
    int (*font_map_reset)();
    // Loads the font map of the piece in the slot (its record, else FONTMAP.TXT beside it).
    int (*font_map_load)(int slot);
    // Drops the cached palette of the piece.
    void (*palette_forget_piece)();
    // Applies the piece's background colour to the presentation window.
    void (*background_apply)();
    // Flushes the bitmap cache (piece close).
    void (*bitmap_cache_flush)();
    // Frees the piece's custom cursors and buttons (piece close).
    void (*cursors_free)();

    // --- presentation window -----------------------------------------------------------
    // The compact window metrics, when the piece asks for them.
    void (*compact_metrics)();
    // Places and sizes the main window from the piece's settings (flags bit 1: only when the
    // size changed) and takes the presentation area. Empty: the window keeps its size.
    void (*window_place)(int flags);
    // 1 when the presentation window exists (empty: 0, so no resume icon runs).
    int (*presentation_exists)();
    // WM_CREATE and WM_SHOWWINDOW to the presentation handler, as if from the system.
    void (*presentation_first_messages)();
    // The window loses its caption (the piece's title-bar option is off).
    void (*caption_remove)();

    // --- engine ------------------------------------------------------------------------
    // Runs the piece's resume icon.
    void (*resume_icon_run)();
    // The text of the piece's SearchPath variable (folders separated by ";"); the length
    // written, 0 for none.
    int (*search_path)(char* buffer, size_t size);
    // Forgets every scripting plug-in instance (piece close, unless asked to keep them).
    void (*scripting_forget_all)();
    // Frees the user-code libraries the piece loaded.
    void (*user_code_free)();

    // --- plug-in host ------------------------------------------------------------------
    // Unloads the movies that no display object uses.
    void (*movies_unload_unused)();
    // Clears the plug-in asset cache.
    void (*assets_clear)();
};

// Installs a copy of the table (null: every entry empty).
void piece_set_hooks(const PieceHooks* hooks);
// The installed table; entries may be null.
const PieceHooks& piece_hooks();
