#include "ui/about_texts.h"

#include <gtest/gtest.h>

namespace tabulon {
namespace {

TEST(AboutTextsTest, ContactEntriesAreSpacedForTheLabelsWrap) {
    const Text expected = u"web  -  www.quenlar.example" + Text(35, u' ') +
                          u"msn  -  messenger@quenlar.example" + Text(4, u' ') +
                          u"email  -  mail@quenlar.example";
    EXPECT_EQ(AboutContactText(), expected);
    EXPECT_EQ(AboutVisitText(),
              u"Visit www.quenlar.example for news and updates and other software by Quenlar");
    EXPECT_EQ(kAboutDescription,
              u"Tabulon lets you easily tell your MSN contacts what websites your are currently "
              u"viewing in IE.");
}

}  // namespace
}  // namespace tabulon
