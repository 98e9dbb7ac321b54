#include "testbrowser/scenario.h"

#include <oleacc.h>

#include <cstdint>
#include <utility>

#include "testbrowser/scenario_words.h"

namespace tabulon::testbrowser {

namespace {

// Beyond these a scenario is surely a typo, and would only exhaust memory.
constexpr long long kMaxRepeat = 1000000;
constexpr long long kMaxNest = 100000;
constexpr long long kMaxStall = 600000;

bool ParseWindowLine(const std::vector<Token>& tokens, Window& window, std::string& error) {
    if (tokens.size() < 3 || tokens[1].has_key || tokens[1].quoted || tokens[1].value.empty() ||
        tokens[2].has_key || !tokens[2].quoted) {
        error =
            "expected: window <class> \"<title>\" [hidden] [hang] [refuse] [enum] "
            "[ie_url=\"text\"] [ie_title=\"text\"] [ie_hidden]";
        return false;
    }
    if (!ToUtf16(tokens[1].value, window.class_name) || !ToUtf16(tokens[2].value, window.title)) {
        error = "not UTF-8";
        return false;
    }
    if (window.class_name.size() > 255) {
        error = "class name longer than 255 characters";
        return false;
    }
    for (std::size_t i = 3; i < tokens.size(); ++i) {
        const Token& flag = tokens[i];
        if (flag.has_key && flag.quoted && (flag.key == "ie_url" || flag.key == "ie_title")) {
            InternetExplorerServer& server =
                window.ie_server ? *window.ie_server : window.ie_server.emplace();
            if (!ToUtf16(flag.value, flag.key == "ie_url" ? server.url : server.title)) {
                error = "not UTF-8";
                return false;
            }
            continue;
        }
        bool* target = nullptr;
        if (!flag.has_key && !flag.quoted && flag.value == "ie_hidden") {
            window.ie_server_hidden = true;
            continue;
        }
        if (!flag.has_key && !flag.quoted) {
            if (flag.value == "hidden") target = &window.hidden;
            if (flag.value == "hang") target = &window.hang;
            if (flag.value == "refuse") target = &window.refuse;
            if (flag.value == "enum") target = &window.enumerable;
        }
        if (!target) {
            error = "unknown window flag " + (flag.has_key ? flag.key + "=" : "") + flag.value;
            return false;
        }
        *target = true;
    }
    return true;
}

// An element line before repeat and nest are applied.
struct Node {
    Element element;
    long long repeat = 1;
    long long nest = 0;
    int line = 0;
    std::vector<Node> children;
};

bool ParseState(std::string_view text, LONG& state, std::string& error) {
    state = 0;
    for (;;) {
        const std::size_t comma = text.find(',');
        const std::string_view name = text.substr(0, comma);
        std::optional<LONG> bits = StateNamed(name);
        if (!bits) {
            const auto hex = ParseNumber(name, 16);
            if (hex && *hex >= 0 && *hex <= 0xFFFFFFFFll)
                bits = static_cast<LONG>(static_cast<std::uint32_t>(*hex));
        }
        if (!bits) {
            error = "unknown state " + std::string(name);
            return false;
        }
        state |= *bits;
        if (comma == std::string_view::npos) return true;
        text.remove_prefix(comma + 1);
    }
}

bool ParseElementLine(const std::vector<Token>& tokens, Node& node, std::string& error) {
    Element& e = node.element;
    const Token& role = tokens[0];
    if (role.has_key || role.quoted) {
        error = "an element line starts with its role";
        return false;
    }
    if (const auto named = RoleNamed(role.value)) {
        e.role = *named;
    } else if (const auto number = ParseNumber(role.value);
               number && *number >= INT32_MIN && *number <= INT32_MAX) {
        e.role = static_cast<LONG>(*number);
    } else {
        error = "unknown role " + role.value;
        return false;
    }

    auto number = [&](const Token& t, long long low, long long high, long long& out) {
        const auto n = t.quoted ? std::nullopt : ParseNumber(t.value);
        if (!n || *n < low || *n > high) {
            error = t.key + " needs a whole number from " + std::to_string(low) + " to " +
                    std::to_string(high);
            return false;
        }
        out = *n;
        return true;
    };

    for (std::size_t i = 1; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        if (!t.has_key) {
            bool* flag = nullptr;
            if (!t.quoted) {
                if (t.value == "fail") flag = &e.fail;
                if (t.value == "exit") flag = &e.exit;
                if (t.value == "simple") flag = &e.simple;
                if (t.value == "rolebstr") flag = &e.role_bstr;
            }
            if (!flag) {
                error = "unknown element flag " + t.value;
                return false;
            }
            *flag = true;
            continue;
        }
        std::optional<std::wstring>* text = nullptr;
        if (t.key == "name") text = &e.name;
        if (t.key == "value") text = &e.value;
        if (t.key == "shortcut") text = &e.shortcut;
        if (t.key == "description") text = &e.description;
        if (text) {
            if (!t.quoted) {
                error = t.key + " needs a quoted text";
                return false;
            }
            if (!ToUtf16(t.value, text->emplace())) {
                error = "not UTF-8";
                return false;
            }
            continue;
        }
        long long n = 0;
        if (t.key == "state") {
            if (t.quoted || !ParseState(t.value, e.state, error)) {
                if (t.quoted) error = "state needs names or a hex number, unquoted";
                return false;
            }
        } else if (t.key == "stall") {
            if (!number(t, 0, kMaxStall, n)) return false;
            e.stall_ms = static_cast<DWORD>(n);
        } else if (t.key == "count") {
            if (!number(t, 0, INT32_MAX, n)) return false;
            e.count = static_cast<LONG>(n);
        } else if (t.key == "repeat") {
            if (!number(t, 1, kMaxRepeat, node.repeat)) return false;
        } else if (t.key == "nest") {
            if (!number(t, 0, kMaxNest, node.nest)) return false;
        } else {
            error = "unknown key " + t.key;
            return false;
        }
    }
    return true;
}

bool Expand(Node& node, Element& out, std::string& error, int& error_line) {
    Element inner = std::move(node.element);
    if (inner.simple && !node.children.empty()) {
        error = "a simple element has no children";
        error_line = node.line;
        return false;
    }
    for (Node& child : node.children) {
        Element expanded;
        if (!Expand(child, expanded, error, error_line)) return false;
        for (long long k = 1; k < child.repeat; ++k) inner.children.push_back(expanded);
        inner.children.push_back(std::move(expanded));
    }
    for (long long k = 0; k < node.nest; ++k) {
        Element wrapper;
        wrapper.role = inner.role;
        wrapper.state = inner.state;
        wrapper.children.push_back(std::move(inner));
        inner = std::move(wrapper);
    }
    out = std::move(inner);
    return true;
}

struct PendingWindow {
    Window window;
    std::vector<Node> roots;
    int line = 0;
};

bool Finish(PendingWindow& pending, Scenario& scenario, std::string& error, int& error_line) {
    if (!pending.roots.empty()) {
        Node& root = pending.roots.front();
        if (pending.roots.size() > 1 || root.repeat > 1) {
            error = "a window has one root element";
            error_line = pending.roots.size() > 1 ? pending.roots[1].line : root.line;
            return false;
        }
        if (root.element.simple) {
            error = "the root element cannot be simple";
            error_line = root.line;
            return false;
        }
        if (!Expand(root, pending.window.root.emplace(), error, error_line)) return false;
    }
    scenario.windows.push_back(std::move(pending.window));
    return true;
}

}  // namespace

bool ParseScenario(std::string_view text, Scenario& scenario, std::string& error) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    Scenario parsed;
    std::optional<PendingWindow> pending;
    std::vector<Node*> open;  // the last element of each level, level 1 first
    int number = 0;
    int error_line = 0;
    std::string why;

    auto fail = [&](int line) {
        error = "line " + std::to_string(line) + ": " + why;
        return false;
    };

    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++number;
        if (line.ends_with('\r')) line.remove_suffix(1);
        const std::size_t indent = line.find_first_not_of(' ');
        if (indent == std::string_view::npos || line[indent] == '#') continue;

        std::vector<Token> tokens;
        if (!Tokenize(line.substr(indent), tokens, why)) return fail(number);

        if (indent == 0) {
            if (tokens[0].has_key || tokens[0].quoted || tokens[0].value != "window") {
                why = "expected a window line (elements are indented)";
                return fail(number);
            }
            if (pending && !Finish(*pending, parsed, why, error_line)) return fail(error_line);
            pending.emplace();
            pending->line = number;
            open.clear();
            if (!ParseWindowLine(tokens, pending->window, why)) return fail(number);
            continue;
        }
        if (indent % 2) {
            why = "indentation is two spaces a level";
            return fail(number);
        }
        const std::size_t level = indent / 2;
        if (!pending) {
            why = "an element before the first window line";
            return fail(number);
        }
        if (level > open.size() + 1) {
            why = "indented more than one level below the element above";
            return fail(number);
        }
        Node node;
        node.line = number;
        if (!ParseElementLine(tokens, node, why)) return fail(number);
        open.resize(level - 1);
        std::vector<Node>& siblings = open.empty() ? pending->roots : open.back()->children;
        siblings.push_back(std::move(node));
        open.push_back(&siblings.back());
    }
    if (pending && !Finish(*pending, parsed, why, error_line)) return fail(error_line);
    scenario = std::move(parsed);
    return true;
}

}  // namespace tabulon::testbrowser
