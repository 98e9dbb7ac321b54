#pragma once
// The words of a scenario line, and the names of roles and states it may use.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tabulon::testbrowser {

// One word of a line: `word`, `"text"`, `key=word` or `key="text"`.
struct Token {
    std::string key;
    std::string value;
    bool has_key = false;
    bool quoted = false;
};

// Splits a line into its words; false, and why in error, on a malformed one.
bool Tokenize(std::string_view line, std::vector<Token>& tokens, std::string& error);

// ROLE_SYSTEM_ and STATE_SYSTEM_ values by their names in lower case.
std::optional<LONG> RoleNamed(std::string_view name);
std::optional<LONG> StateNamed(std::string_view name);

// Whole decimal (or, with base 16, hex after "0x") numbers only.
std::optional<long long> ParseNumber(std::string_view text, int base = 10);
bool ToUtf16(std::string_view text, std::wstring& out);

}  // namespace tabulon::testbrowser
