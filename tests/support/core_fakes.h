#pragma once
// Stand-ins for the settings store and the shell's browser windows, shared by the
// portable tests.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/failure.h"
#include "report/site_report.h"
#include "settings/settings_store.h"

namespace tabulon::testing {

// Logs every write as "Show= 2" and refuses any write to refuse_key.
class MemoryStore : public SettingsStore {
  public:
    std::map<Text, Text> values;
    std::vector<std::string> writes;
    Text refuse_key;

    Text Read(TextView key) override {
        const auto found = values.find(Text(key));
        return found == values.end() ? Text() : found->second;
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
    bool fail_title = false;
    bool fail_address = false;
};

// Browser windows showing pages, in order. Every read is logged ("T1" is the title
// of window 1, "U1" its address); fail_before makes the walk fail before that window.
// The source stands in for each window in turn.
class FakeSource : public BrowserWindowSource, SiteWindow {
  public:
    explicit FakeSource(std::vector<Page> shown = {}) : pages(std::move(shown)) {}

    std::vector<Page> pages;
    std::vector<std::string> log;
    std::size_t fail_before = 0;

    void EnumerateBrowserWindows(const std::function<void(SiteWindow&)>& visit) override {
        for (current_ = 0; current_ < pages.size(); ++current_) {
            if (fail_before == current_ + 1) throw Failure(status::kFail, u"The walk failed.");
            visit(*this);
        }
    }

  private:
    Text Title() override { return Read('T', pages[current_].title, pages[current_].fail_title); }
    Text Address() override {
        return Read('U', pages[current_].address, pages[current_].fail_address);
    }
    Text Read(char what, const Text& value, bool fails) {
        log.push_back(what + std::to_string(current_ + 1));
        if (fails) throw Failure(status::kTypeMismatch, u"The window cannot be read.");
        return value;
    }

    std::size_t current_ = 0;
};

// The Failure that call throws; a test failure when it throws none.
template <typename Call>
Failure FailureOf(Call&& call) {
    try {
        call();
    } catch (const Failure& failure) {
        return failure;
    }
    ADD_FAILURE() << "no Failure was thrown";
    return Failure(0, u"");
}

}  // namespace tabulon::testing
