// What a new mesh means for the show's script: its rows name vertices by number, and a new
// mesh numbers its vertices anew.
#pragma once

#include <cstddef>
#include <string>

// A note for the author when the script beside the slot folder has rows for this slot, or an
// empty string when it has none (or there is no script, or the folder is no slot of the show).
std::string oldRowsNote(const std::string& folder, size_t vertices);
