#pragma once
// A field's text as it goes into a document next to other texts (a printout line, a heading, a
// unit after a currency). Directional controls in a stored text (a right-to-left override in the
// currency, a name stored reversed behind one) would otherwise reorder everything after them on
// the line, and a line break would cut a heading in two. Every document the program makes puts
// each field's text through this, so no field can reach beyond its own place.

#include <string>
#include <string_view>

namespace pyrelto {

// `text` with every line break (CR LF as one) turned into a space and the explicit directional
// embeddings, overrides and isolates (U+202A..U+202E, U+2066..U+2069) removed, so the characters
// show in their natural order. A text with right-to-left characters is then enclosed in FIRST
// STRONG ISOLATE ... POP DIRECTIONAL ISOLATE, which keeps its reordering inside it; any other text
// comes back with no characters added.
std::u16string isolatedFieldText(std::u16string_view text);

} // namespace pyrelto
