// The search text that Locate and Lookup hand to the engine's FindFirst.
//
// One condition per key field, joined by " AND ": the field's name in square brackets, then
//   " IS NULL"                   for a null key value,
//   " = \"text\""                for a text or memo field,
//   " LIKE \"text*\""            for a text or memo field searched by a partial key,
//   " = text"                    for any other field,
// where text is FormatLocateValue(value) for other fields and, for text and memo fields, the
// value's text under the current format settings (7.5 is "7,5" under pt_BR's, as CStr wrote
// it into the column); a double quote inside a quoted text is written twice. Whether text is compared with regard to
// case is the engine's rule, not an option.
#pragma once

#include <string>
#include <vector>

#include "db/Field.h"
#include "rtl/Variant.h"

namespace pavana {

// The text of a key value: a date at midnight as "#mm/dd/yyyy#", any other date as
// "#mm/dd/yyyy hh:mm:ss am/pm#", any other value in its text form; always with the invariant
// separators ("/", ":", "."), which the engine reads, never the locale's.
std::string FormatLocateValue(const Variant& value);

// Builds the search text for `fields` (value i of `values` for field i) into `text` and
// gives whether it is not empty; no fields give an empty text. Fails with EVariantError
// "Variant or safe array index out of bounds" when there are fewer values than fields.
bool BuildLocateCriteria(const std::vector<TField*>& fields, const std::vector<Variant>& values, bool partialKey,
                         std::string& text);

}  // namespace pavana
