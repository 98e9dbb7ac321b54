#pragma once
// The fixed texts of the about dialog and the titles the windows share.
#include "common/text.h"

namespace tabulon {

// The version in the title is project(VERSION) in CMakeLists.txt, as the product writes it.
inline constexpr TextView kProductTitle = u"Tabulon v1.1";

inline constexpr TextView kMakerWebAddress = u"www.quenlar.example";
inline constexpr TextView kMakerMessengerAddress = u"messenger@quenlar.example";
inline constexpr TextView kMakerMailAddress = u"mail@quenlar.example";

// "your are" is how users have always read it.
inline constexpr TextView kAboutDescription =
    u"Tabulon lets you easily tell your MSN contacts what websites your are currently viewing "
    u"in IE.";
inline constexpr TextView kAboutLogoCredit = u"Thanks to Zindle for the logo";

// "Visit <web address> for news and updates and other software by Quenlar".
Text AboutVisitText();

// The three contact entries on one line; the blanks between them place the
// entries where the label wraps.
Text AboutContactText();

}  // namespace tabulon
