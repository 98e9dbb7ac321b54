#include "testbrowser/scenario.h"

#include <oleacc.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <utility>

namespace tabulon::testbrowser {

namespace {

// Beyond these a scenario is surely a typo, and would only exhaust memory.
constexpr long long kMaxRepeat = 1000000;
constexpr long long kMaxNest = 100000;
constexpr long long kMaxStall = 600000;

struct NamedValue {
    std::string_view name;
    LONG value;
};

constexpr NamedValue kRoles[] = {
    {"titlebar", ROLE_SYSTEM_TITLEBAR},
    {"menubar", ROLE_SYSTEM_MENUBAR},
    {"scrollbar", ROLE_SYSTEM_SCROLLBAR},
    {"grip", ROLE_SYSTEM_GRIP},
    {"sound", ROLE_SYSTEM_SOUND},
    {"cursor", ROLE_SYSTEM_CURSOR},
    {"caret", ROLE_SYSTEM_CARET},
    {"alert", ROLE_SYSTEM_ALERT},
    {"window", ROLE_SYSTEM_WINDOW},
    {"client", ROLE_SYSTEM_CLIENT},
    {"menupopup", ROLE_SYSTEM_MENUPOPUP},
    {"menuitem", ROLE_SYSTEM_MENUITEM},
    {"tooltip", ROLE_SYSTEM_TOOLTIP},
    {"application", ROLE_SYSTEM_APPLICATION},
    {"document", ROLE_SYSTEM_DOCUMENT},
    {"pane", ROLE_SYSTEM_PANE},
    {"chart", ROLE_SYSTEM_CHART},
    {"dialog", ROLE_SYSTEM_DIALOG},
    {"border", ROLE_SYSTEM_BORDER},
    {"grouping", ROLE_SYSTEM_GROUPING},
    {"separator", ROLE_SYSTEM_SEPARATOR},
    {"toolbar", ROLE_SYSTEM_TOOLBAR},
    {"statusbar", ROLE_SYSTEM_STATUSBAR},
    {"table", ROLE_SYSTEM_TABLE},
    {"columnheader", ROLE_SYSTEM_COLUMNHEADER},
    {"rowheader", ROLE_SYSTEM_ROWHEADER},
    {"column", ROLE_SYSTEM_COLUMN},
    {"row", ROLE_SYSTEM_ROW},
    {"cell", ROLE_SYSTEM_CELL},
    {"link", ROLE_SYSTEM_LINK},
    {"helpballoon", ROLE_SYSTEM_HELPBALLOON},
    {"character", ROLE_SYSTEM_CHARACTER},
    {"list", ROLE_SYSTEM_LIST},
    {"listitem", ROLE_SYSTEM_LISTITEM},
    {"outline", ROLE_SYSTEM_OUTLINE},
    {"outlineitem", ROLE_SYSTEM_OUTLINEITEM},
    {"pagetab", ROLE_SYSTEM_PAGETAB},
    {"propertypage", ROLE_SYSTEM_PROPERTYPAGE},
    {"indicator", ROLE_SYSTEM_INDICATOR},
    {"graphic", ROLE_SYSTEM_GRAPHIC},
    {"statictext", ROLE_SYSTEM_STATICTEXT},
    {"text", ROLE_SYSTEM_TEXT},
    {"pushbutton", ROLE_SYSTEM_PUSHBUTTON},
    {"checkbutton", ROLE_SYSTEM_CHECKBUTTON},
    {"radiobutton", ROLE_SYSTEM_RADIOBUTTON},
    {"combobox", ROLE_SYSTEM_COMBOBOX},
    {"droplist", ROLE_SYSTEM_DROPLIST},
    {"progressbar", ROLE_SYSTEM_PROGRESSBAR},
    {"dial", ROLE_SYSTEM_DIAL},
    {"hotkeyfield", ROLE_SYSTEM_HOTKEYFIELD},
    {"slider", ROLE_SYSTEM_SLIDER},
    {"spinbutton", ROLE_SYSTEM_SPINBUTTON},
    {"diagram", ROLE_SYSTEM_DIAGRAM},
    {"animation", ROLE_SYSTEM_ANIMATION},
    {"equation", ROLE_SYSTEM_EQUATION},
    {"buttondropdown", ROLE_SYSTEM_BUTTONDROPDOWN},
    {"buttonmenu", ROLE_SYSTEM_BUTTONMENU},
    {"buttondropdowngrid", ROLE_SYSTEM_BUTTONDROPDOWNGRID},
    {"whitespace", ROLE_SYSTEM_WHITESPACE},
    {"pagetablist", ROLE_SYSTEM_PAGETABLIST},
    {"clock", ROLE_SYSTEM_CLOCK},
    {"splitbutton", ROLE_SYSTEM_SPLITBUTTON},
    {"ipaddress", ROLE_SYSTEM_IPADDRESS},
    {"outlinebutton", ROLE_SYSTEM_OUTLINEBUTTON},
};

constexpr NamedValue kStates[] = {
    {"unavailable", STATE_SYSTEM_UNAVAILABLE},
    {"selected", STATE_SYSTEM_SELECTED},
    {"focused", STATE_SYSTEM_FOCUSED},
    {"pressed", STATE_SYSTEM_PRESSED},
    {"checked", STATE_SYSTEM_CHECKED},
    {"mixed", STATE_SYSTEM_MIXED},
    {"readonly", STATE_SYSTEM_READONLY},
    {"hottracked", STATE_SYSTEM_HOTTRACKED},
    {"default", STATE_SYSTEM_DEFAULT},
    {"expanded", STATE_SYSTEM_EXPANDED},
    {"collapsed", STATE_SYSTEM_COLLAPSED},
    {"busy", STATE_SYSTEM_BUSY},
    {"floating", STATE_SYSTEM_FLOATING},
    {"marqueed", STATE_SYSTEM_MARQUEED},
    {"animated", STATE_SYSTEM_ANIMATED},
    {"invisible", STATE_SYSTEM_INVISIBLE},
    {"offscreen", STATE_SYSTEM_OFFSCREEN},
    {"sizeable", STATE_SYSTEM_SIZEABLE},
    {"moveable", STATE_SYSTEM_MOVEABLE},
    {"selfvoicing", STATE_SYSTEM_SELFVOICING},
    {"focusable", STATE_SYSTEM_FOCUSABLE},
    {"selectable", STATE_SYSTEM_SELECTABLE},
    {"linked", STATE_SYSTEM_LINKED},
    {"traversed", STATE_SYSTEM_TRAVERSED},
    {"multiselectable", STATE_SYSTEM_MULTISELECTABLE},
    {"extselectable", STATE_SYSTEM_EXTSELECTABLE},
    {"alert_low", STATE_SYSTEM_ALERT_LOW},
    {"alert_medium", STATE_SYSTEM_ALERT_MEDIUM},
    {"alert_high", STATE_SYSTEM_ALERT_HIGH},
    {"protected", STATE_SYSTEM_PROTECTED},
    {"haspopup", STATE_SYSTEM_HASPOPUP},
};

template <std::size_t N>
std::optional<LONG> Lookup(const NamedValue (&table)[N], std::string_view name) {
    for (const NamedValue& entry : table)
        if (entry.name == name) return entry.value;
    return std::nullopt;
}

// Whole decimal (or, with base 16, hex after "0x") numbers only.
std::optional<long long> ParseNumber(std::string_view text, int base = 10) {
    if (base == 16) {
        if (!text.starts_with("0x") && !text.starts_with("0X")) return std::nullopt;
        text.remove_prefix(2);
    }
    if (text.empty() || text.size() > 20) return std::nullopt;
    const std::string copy(text);
    if (copy[0] == '+' || copy[0] == ' ') return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(copy.c_str(), &end, base);
    if (errno || *end) return std::nullopt;
    return value;
}

bool ToUtf16(std::string_view text, std::wstring& out) {
    out.clear();
    if (text.empty()) return true;
    const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                         static_cast<int>(text.size()), nullptr, 0);
    if (size <= 0) return false;
    out.resize(static_cast<std::size_t>(size));
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                               static_cast<int>(text.size()), out.data(), size) == size;
}

// One word of a line: `word`, `"text"`, `key=word` or `key="text"`.
struct Token {
    std::string key;
    std::string value;
    bool has_key = false;
    bool quoted = false;
};

bool Tokenize(std::string_view line, std::vector<Token>& tokens, std::string& error) {
    std::size_t i = 0;
    auto quoted = [&](std::string& out) {
        ++i;  // the opening quote
        for (; i < line.size(); ++i) {
            const char c = line[i];
            if (c == '"') {
                ++i;
                if (i < line.size() && line[i] != ' ') {
                    error = "a quoted text must be followed by a space";
                    return false;
                }
                return true;
            }
            if (c == '\\') {
                if (i + 1 >= line.size() || (line[i + 1] != '"' && line[i + 1] != '\\')) {
                    error = "only \\\" and \\\\ are escapes";
                    return false;
                }
                ++i;
            }
            out += line[i];
        }
        error = "unterminated quoted text";
        return false;
    };
    while (i < line.size()) {
        if (line[i] == ' ') {
            ++i;
            continue;
        }
        if (line[i] == '\t') {
            error = "tabs are not allowed";
            return false;
        }
        Token token;
        if (line[i] == '"') {
            token.quoted = true;
            if (!quoted(token.value)) return false;
            tokens.push_back(std::move(token));
            continue;
        }
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '=' && line[i] != '"') ++i;
        std::string word(line.substr(start, i - start));
        if (i < line.size() && line[i] == '"') {
            error = "a quote inside a word";
            return false;
        }
        if (i < line.size() && line[i] == '=') {
            ++i;
            token.has_key = true;
            token.key = std::move(word);
            if (i < line.size() && line[i] == '"') {
                token.quoted = true;
                if (!quoted(token.value)) return false;
            } else {
                const std::size_t value_start = i;
                while (i < line.size() && line[i] != ' ') {
                    if (line[i] == '"' || line[i] == '=') {
                        error = "a quote or '=' inside a value";
                        return false;
                    }
                    ++i;
                }
                token.value = std::string(line.substr(value_start, i - value_start));
            }
        } else {
            token.value = std::move(word);
        }
        tokens.push_back(std::move(token));
    }
    return true;
}

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
        std::optional<LONG> bits = Lookup(kStates, name);
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
    if (const auto named = Lookup(kRoles, role.value)) {
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
