#pragma once
// A settings store in memory that remembers every write, in order.
#include <map>
#include <utility>
#include <vector>

#include "common/failure.h"
#include "settings/settings_store.h"

namespace tabulon::testing {

class MemorySettingsStore : public SettingsStore {
  public:
    Text Read(TextView key) override {
        ++reads;
        const auto found = values.find(Text(key));
        return found == values.end() ? Text() : found->second;
    }

    void Write(TextView key, TextView value) override {
        if (fail_writes) throw Failure(status::kFail, u"The store refused the write.");
        writes.emplace_back(key, value);
        values[Text(key)] = Text(value);
    }

    std::map<Text, Text> values;
    std::vector<std::pair<Text, Text>> writes;
    int reads = 0;
    bool fail_writes = false;
};

}  // namespace tabulon::testing
