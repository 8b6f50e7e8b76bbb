// Upper-casing of names as the Windows registry does before it compares
// them: each UTF-16 unit on its own through the system's upcase table (no
// special casing: "ß" stays, one unit never becomes two).
#pragma once

#include <string>
#include <string_view>

namespace qm {

// The upper-case form of one UTF-16 unit (Latin, Greek, Cyrillic, Armenian,
// Latin Extended Additional, Roman numerals, circled and fullwidth letters).
char16_t UpcaseUnit(char16_t c);
// The 8-bit name (ANSI code page) as UTF-16, upper-cased unit by unit: the
// form two names that match without regard to case share.
std::u16string FoldedName(const std::string& name);
// True when two UTF-8 names (host file names) are equal but for letter case
// as Windows compares file names: each character through UpcaseUnit, for
// every script. A byte that is not part of well-formed UTF-8, and a
// character beyond U+FFFF, must be equal as it is.
bool SameUtf8NameIgnoringCase(std::string_view a, std::string_view b);
// The form two UTF-8 names share exactly when SameUtf8NameIgnoringCase finds
// them equal (a key for looking names up in a folder's listing).
std::string FoldedUtf8Name(std::string_view name);

}  // namespace qm
