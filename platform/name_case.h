// Upper-casing of names as the Windows registry does before it compares
// them: each UTF-16 unit on its own through the system's upcase table (no
// special casing: "ß" stays, one unit never becomes two).
#pragma once

#include <string>

namespace qm {

// The upper-case form of one UTF-16 unit (Latin, Greek, Cyrillic, Armenian,
// Latin Extended Additional, Roman numerals, circled and fullwidth letters).
char16_t UpcaseUnit(char16_t c);
// The 8-bit name (ANSI code page) as UTF-16, upper-cased unit by unit: the
// form two names that match without regard to case share.
std::u16string FoldedName(const std::string& name);

}  // namespace qm
