#include "report/browser_page.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "common/failure.h"

namespace tabulon {

void PrintTo(const BrowserPage& page, std::ostream* out) {
    *out << '"' << ToUtf8(page.title) << "\" at \"" << ToUtf8(page.address) << '"';
}

namespace {

using namespace msaa;
using enum BrowserFamily;

// A tree written as data; its elements count their role reads and can be made to fail.
struct Node {
    long role = 0;
    std::uint32_t state = 0;
    Text name, value, shortcut;
    std::vector<Node> children;
    bool fails = false;  // every read of this element fails

    Node& Name(Text text) { return name = std::move(text), *this; }
    Node& Value(Text text) { return value = std::move(text), *this; }
    Node& State(std::uint32_t bits) { return state = bits, *this; }
    Node& Shortcut(Text text) { return shortcut = std::move(text), *this; }
    Node& Failing() { return fails = true, *this; }
};

Node N(long role, std::vector<Node> children = {}) {
    return {role, 0, {}, {}, {}, std::move(children)};
}

constexpr long kClient = 0x0A, kGrouping = 0x14, kPageTabList = 0x3C, kPane = 0x10;

class FakeElement : public AccessibleElement {
  public:
    FakeElement(const Node& node, std::size_t& reads) : node_(node), reads_(reads) {}

    long Role() override { return ++reads_, Check().role; }
    std::uint32_t State() override { return Check().state; }
    Text Name() override { return Check().name; }
    Text Value() override { return Check().value; }
    Text KeyboardShortcut() override { return Check().shortcut; }
    std::vector<std::unique_ptr<AccessibleElement>> Children(std::size_t limit) override {
        std::vector<std::unique_ptr<AccessibleElement>> out;
        for (const Node& child : Check().children) {
            if (out.size() == limit) break;
            out.push_back(std::make_unique<FakeElement>(child, reads_));
        }
        return out;
    }

  private:
    const Node& Check() const {
        if (node_.fails) throw Failure(status::kFail, u"gone");
        return node_;
    }
    const Node& node_;
    std::size_t& reads_;
};

Node ChromiumBar(Text shown) { return N(kRoleText).Shortcut(u"Ctrl+L").Value(std::move(shown)); }
Node Doc(Text title, Text address) {
    return N(kRoleDocument).Name(std::move(title)).Value(std::move(address));
}
Node Tab(Text title, bool selected) {
    return N(kRolePageTab).Name(std::move(title)).State(selected ? kStateSelected : 0);
}

struct Case {
    const char* name;
    BrowserFamily family;
    Node root;
    std::optional<BrowserPage> expected;
};

std::optional<BrowserPage> Page(Text title, Text address) {
    return BrowserPage{std::move(title), std::move(address)};
}

std::optional<BrowserPage> Find(const Node& root, BrowserFamily family,
                                std::size_t* reads = nullptr, WalkLimits limits = {}) {
    std::size_t count = 0;
    FakeElement element(root, count);
    auto page = FindBrowserPage(element, family, u"Window title - Browser", limits);
    if (reads) *reads = count;
    return page;
}

TEST(BrowserPageTest, ShapesOfTheBrowsersOwnTrees) {
    const std::vector<Case> cases = {
        {"Chromium: the document gives title and address", kChromium,
         N(kClient, {N(kRoleToolBar, {ChromiumBar(u"example.com")}),
                     N(kPane, {Doc(u"Example Domain", u"https://example.com/")})}),
         Page(u"Example Domain", u"https://example.com/")},
        {"Chromium before its web tree: the bar as shown and the selected tab", kChromium,
         N(kClient, {N(kPageTabList, {Tab(u"Other", false), Tab(u"Example", true)}),
                     N(kRoleToolBar, {ChromiumBar(u"example.com/a b")})}),
         Page(u"Example", u"example.com/a b")},
        {"no selected tab: the window title", kChromium,
         N(kClient, {N(kPageTabList, {Tab(u"Other", false)}), ChromiumBar(u"example.com")}),
         Page(u"Window title - Browser", u"example.com")},
        {"the shortcut is matched without regard to case", kChromium,
         N(kClient, {N(kRoleText).Shortcut(u"ctrl+l").Value(u"a.example")}),
         Page(u"Window title - Browser", u"a.example")},
        {"a read-only text with the shortcut is no address bar", kChromium,
         N(kClient, {ChromiumBar(u"x").State(kStateReadOnly)}), std::nullopt},
        {"an Electron program: a document and no address bar", kChromium,
         N(kClient, {Doc(u"notes.txt - Editor", u"file:///app/index.html")}), std::nullopt},
        {"a field planted inside the page is never the address bar", kChromium,
         N(kClient, {N(kRoleDocument, {ChromiumBar(u"evil.example")}).Name(u"Page").Value(u"")}),
         std::nullopt},
        {"an invisible document (a background tab) is passed over", kChromium,
         N(kClient,
           {ChromiumBar(u"b.example"), Doc(u"Hidden", u"https://a.example/").State(kStateInvisible),
            N(kGrouping, {Doc(u"Shown", u"https://b.example/")})}),
         Page(u"Shown", u"https://b.example/")},
        {"a document inside an invisible one is not the page", kChromium,
         N(kClient,
           {ChromiumBar(u"b.example"),
            N(kRoleDocument, {Doc(u"Frame", u"https://frame.example/")}).State(kStateInvisible)}),
         Page(u"Window title - Browser", u"b.example")},
        {"Firefox: the editable text in a tool bar", kFirefox,
         N(kClient, {N(kRoleToolBar, {N(kRoleText).Value(u"https://example.org/")}),
                     Doc(u"Example", u"https://example.org/")}),
         Page(u"Example", u"https://example.org/")},
        {"Firefox: a combo box holding the text, which shows nothing itself", kFirefox,
         N(kClient, {N(kPageTabList, {Tab(u"Org", true)}),
                     N(kRoleToolBar, {N(kRoleComboBox, {N(kRoleText)}).Value(u"example.org")})}),
         Page(u"Org", u"example.org")},
        {"Firefox: a text with a value of its own keeps it inside a combo box", kFirefox,
         N(kClient,
           {N(kRoleToolBar,
              {N(kRoleComboBox, {N(kRoleText).Value(u"example.org/a")}).Value(u"example.org")})}),
         Page(u"Window title - Browser", u"example.org/a")},
        {"Firefox: a text outside any tool bar is no address bar", kFirefox,
         N(kClient, {N(kGrouping, {N(kRoleText).Value(u"find me")}), Doc(u"Mail", u"imap://x")}),
         std::nullopt},
        {"Firefox: the first tool bar text wins over the search box after it", kFirefox,
         N(kClient, {N(kRoleToolBar,
                       {N(kRoleText).Value(u"example.net"), N(kRoleText).Value(u"search words")})}),
         Page(u"Window title - Browser", u"example.net")},
        {"the other family's rule does not apply", kFirefox,
         N(kClient, {ChromiumBar(u"example.com")}), std::nullopt},
        {"an element that fails is skipped, its siblings still count", kChromium,
         N(kClient, {N(kGrouping, {ChromiumBar(u"x")}).Failing(), ChromiumBar(u"y.example"),
                     Doc(u"Broken", u"").Failing(), Doc(u"Y", u"https://y.example/")}),
         Page(u"Y", u"https://y.example/")},
        {"a root that fails is no browser", kChromium, N(kClient).Failing(), std::nullopt},
        {"buttons, links and labels are not looked into", kChromium,
         N(kClient, {N(kRolePushButton, {ChromiumBar(u"a.example")}),
                     N(kRoleLink, {ChromiumBar(u"b.example")}),
                     N(kRoleStaticText, {ChromiumBar(u"c.example")}),
                     N(kGrouping, {ChromiumBar(u"d.example")})}),
         Page(u"Window title - Browser", u"d.example")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Find(c.root, c.family), c.expected);
    }
}

TEST(BrowserPageTest, TheWalkStaysWithinItsLimitsAndStopsWhenDone) {
    // A wide tab strip and a deep chain, with the address bar after them.
    Node wide = N(kPageTabList);
    for (int i = 0; i < 5000; ++i) wide.children.push_back(Tab(u"t", false));
    Node deep = ChromiumBar(u"deep.example");
    for (int i = 0; i < 100; ++i) deep = N(kGrouping, {std::move(deep)});

    std::size_t reads = 0;
    EXPECT_EQ(Find(N(kClient, {wide, ChromiumBar(u"a.example")}), kChromium, &reads), std::nullopt);
    EXPECT_LE(reads, WalkLimits{}.elements);

    EXPECT_EQ(Find(N(kClient, {deep}), kChromium, &reads), std::nullopt);
    EXPECT_LE(reads, static_cast<std::size_t>(WalkLimits{}.depth) + 1);
    EXPECT_EQ(Find(N(kClient, {deep}), kChromium, nullptr, {200, 2000}),
              Page(u"Window title - Browser", u"deep.example"));

    // Once the bar and the document are found, nothing more is read.
    EXPECT_EQ(
        Find(N(kClient, {ChromiumBar(u"a"), Doc(u"A", u"https://a/"), wide}), kChromium, &reads),
        Page(u"A", u"https://a/"));
    EXPECT_EQ(reads, 3u);
}

}  // namespace
}  // namespace tabulon
