// stages: the three stages the entry routine runs, in order.
#pragma once

// Step 0 of loading: opens the archive, before the console exists.
void loading_open_archive();
// The rest of loading; false when input could not be started.
bool loading_sequence();
// Reads the opening's caption lines (captions.txt), during loading.
void opening_load_captions();
// The music-clocked opening; false when Esc ended it (shutdown has run).
bool opening_sequence();
// The menu and page loop; returns after shutdown has run.
void menu_loop();
