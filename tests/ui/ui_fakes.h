#pragma once
// Stand-ins for the settings store and the shell's windows, for the windows' state tests.
#include <map>
#include <string>
#include <vector>

#include "common/failure.h"
#include "report/site_report.h"
#include "settings/settings_store.h"

namespace tabulon::testing_ui {

// A settings store in memory that logs every write ("Show= 2") and can refuse one key.
class MemoryStore : public SettingsStore {
  public:
    std::map<Text, Text> values;
    std::vector<std::string> writes;
    Text refuse_key;

    Text Read(TextView key) override {
        auto it = values.find(Text(key));
        return it == values.end() ? Text() : it->second;
    }
    void Write(TextView key, TextView value) override {
        if (!refuse_key.empty() && key == refuse_key)
            throw Failure(status::kFail, u"The store refused the write.");
        writes.push_back(ToUtf8(key) + "=" + ToUtf8(value));
        values[Text(key)] = Text(value);
    }
};

struct Page {
    Text title;
    Text address;
};

// Browser windows that count their reads; fail_at makes the read of that window's
// title (1-based) fail.
class PageSource : public BrowserWindowSource {
  public:
    explicit PageSource(std::vector<Page> pages = {}) : pages_(std::move(pages)) {}

    int reads = 0;
    int fail_at = 0;

    void EnumerateBrowserWindows(const std::function<void(SiteWindow&)>& visit) override {
        for (std::size_t i = 0; i < pages_.size(); ++i) {
            Window window(*this, pages_[i], static_cast<int>(i) + 1);
            visit(window);
        }
    }

  private:
    class Window : public SiteWindow {
      public:
        Window(PageSource& owner, const Page& page, int number)
            : owner_(owner), page_(page), number_(number) {}
        Text Title() override {
            ++owner_.reads;
            if (owner_.fail_at == number_)
                throw Failure(status::kTypeMismatch, u"The title cannot be read.");
            return page_.title;
        }
        Text Address() override {
            ++owner_.reads;
            return page_.address;
        }

      private:
        PageSource& owner_;
        const Page& page_;
        int number_;
    };

    std::vector<Page> pages_;
};

}  // namespace tabulon::testing_ui
