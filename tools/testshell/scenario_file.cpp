#include "testshell/scenario_file.h"

#include <cstdint>
#include <cerrno>
#include <cstdlib>
#include <optional>
#include <vector>

namespace tabulon::testshell {

namespace {

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos) return parts;
        text.remove_prefix(at + 1);
    }
}

std::optional<long long> ParseNumber(std::string_view text) {
    if (text.empty()) return std::nullopt;
    const std::string copy(text);
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(copy.c_str(), &end, 0);
    if (errno || *end) return std::nullopt;
    return value;
}

std::optional<HRESULT> ParseHresult(std::string_view text) {
    const auto value = ParseNumber(text);
    if (!value || *value < INT32_MIN || *value > UINT32_MAX) return std::nullopt;
    return static_cast<HRESULT>(static_cast<std::uint32_t>(*value));
}

std::optional<Property> ParseProperty(std::string_view text) {
    if (text == "Path") return Property::kPath;
    if (text == "LocationName") return Property::kLocationName;
    if (text == "LocationURL") return Property::kLocationUrl;
    return std::nullopt;
}

bool ParseValue(std::string_view field, Value& value, std::string& error) {
    if (field.empty() || field[0] != '%') {
        value = Value::Str(FromUtf8(field));
        return true;
    }
    const std::string_view rest = field.substr(1);
    if (!rest.empty() && (rest[0] == '%' || rest[0] == '#' || rest[0] == '!')) {
        value = Value::Str(FromUtf8(rest));
        return true;
    }
    if (rest == "null") {
        value = Value::Null();
    } else if (rest == "empty") {
        value = Value::Empty();
    } else if (rest == "nullbstr") {
        value = Value::NullBstr();
    } else if (rest.starts_with("i4:")) {
        const auto n = ParseNumber(rest.substr(3));
        if (!n || *n < INT32_MIN || *n > INT32_MAX) {
            error = "bad %i4 number";
            return false;
        }
        value = Value::I4(static_cast<LONG>(*n));
    } else if (rest.starts_with("fail:")) {
        const std::string_view spec = rest.substr(5);
        const std::size_t colon = spec.find(':');
        const auto code = ParseHresult(spec.substr(0, colon));
        if (!code || SUCCEEDED(*code)) {
            error = "bad %fail code (a failure HRESULT is needed)";
            return false;
        }
        value = Value::Failing(
            *code, colon == std::string_view::npos ? Text() : FromUtf8(spec.substr(colon + 1)));
    } else {
        error = "unknown value " + std::string(field);
        return false;
    }
    return true;
}

bool ParseWindow(std::string_view line, Scenario& scenario, std::string& error) {
    const auto fields = Split(line, '\t');
    if (fields.size() > 3) {
        error = "more than three fields";
        return false;
    }
    Window window;
    Value* targets[] = {&window.path, &window.title, &window.address};
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (!ParseValue(fields[i], *targets[i], error)) return false;
    scenario.windows.push_back(std::move(window));
    return true;
}

bool ParseDirective(std::string_view line, Scenario& scenario, std::string& error) {
    std::vector<std::string_view> words;
    for (std::string_view word : Split(line, ' '))
        if (!word.empty()) words.push_back(word);
    const std::string_view verb = words.empty() ? std::string_view() : words[0];

    auto failure = [&](std::size_t index, HRESULT fallback) -> std::optional<HRESULT> {
        if (index >= words.size()) return fallback;
        const auto code = ParseHresult(words[index]);
        if (!code || SUCCEEDED(*code)) return std::nullopt;
        return code;
    };

    if ((verb == "create" || verb == "windows" || verb == "newenum") && words.size() == 2) {
        const auto code = failure(1, E_FAIL);
        if (!code) {
            error = "bad failure code";
            return false;
        }
        (verb == "create"    ? scenario.create_shell
         : verb == "windows" ? scenario.windows_call
                             : scenario.new_enum) = *code;
        return true;
    }
    if (verb == "next" && (words.size() == 2 || words.size() == 3)) {
        const auto k = ParseNumber(words[1]);
        const auto code = failure(2, E_FAIL);
        if (!k || *k < 1 || *k > INT32_MAX || !code) {
            error = "expected: !next <k> [<hresult>]";
            return false;
        }
        scenario.next_fails_at = static_cast<int>(*k);
        scenario.next_failure = *code;
        return true;
    }
    if (verb == "close" && words.size() == 5 && words[2] == "after") {
        const auto n = ParseNumber(words[1]);
        const auto property = ParseProperty(words[3]);
        const auto k = ParseNumber(words[4]);
        if (n && property && k && *n >= 1 && *k >= 1 && *n <= INT32_MAX && *k <= INT32_MAX) {
            scenario.closings.push_back(
                Closing{static_cast<int>(*n), static_cast<int>(*k), *property});
            return true;
        }
    }
    error = "unknown or malformed directive";
    return false;
}

}  // namespace

bool ParseScenario(std::string_view text, Scenario& scenario, std::string& error) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    Scenario parsed;
    int number = 0;
    for (std::string_view line : Split(text, '\n')) {
        ++number;
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (line.empty() || line[0] == '#') continue;
        std::string why;
        const bool ok = line[0] == '!' ? ParseDirective(line.substr(1), parsed, why)
                                       : ParseWindow(line, parsed, why);
        if (!ok) {
            error = "line " + std::to_string(number) + ": " + why;
            return false;
        }
    }
    scenario = std::move(parsed);
    return true;
}

}  // namespace tabulon::testshell
