// The don't-show-again store of the message dialogs.
//
// One number per message, named by the message's cleaned text, under the key
// "SOFTWARE\<program name>\Dialogos" of the machine-wide store: 0 means do not show, 1 show.
// The store is an INI file through QSettings: the file named by the environment variable
// PAVANA_REGISTRY when set; otherwise the system configuration scope when this process may
// write there, else the user's (as the platform redirects machine-wide writes of
// unprivileged programs). A store that cannot be written counts as not opened: reading then
// answers "show" and writing does nothing. Store failures are never reported.
#pragma once

#include <string>
#include <string_view>

namespace pavana {

// Replaces every character outside "!#$%&-0-9@A-Z^_a-z~" (and ".", ":" and "\" when
// `keepPath`) by a space, then trims spaces at both ends. Every character of code 128 and
// above (every accented letter) becomes one space, however many bytes it takes in UTF-8.
std::string CleanStoreName(std::string_view text, bool keepPath);

// "SOFTWARE\" + the program file's name up to its first "." (the whole name when it has
// none) + "\Dialogos".
const std::string& DefaultStoreKey();

// Whether the message `identity` is to be shown; an empty key means the default key.
// Raises Exception("DSAIdentsGetState gravando especificador em branco") when the key or
// the identity is empty after cleaning.
bool DSAIdentsGetState(std::string_view key, std::string_view identity);

// Records whether `identity` is to be shown again; same failure with "DSAIdentsSetState".
void DSAIdentsSetState(std::string_view key, std::string_view identity, bool show);

}  // namespace pavana
