#include "testbrowser/scenario_words.h"

#include <oleacc.h>

#include <cerrno>
#include <cstdlib>

namespace tabulon::testbrowser {

namespace {

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

}  // namespace

std::optional<LONG> RoleNamed(std::string_view name) { return Lookup(kRoles, name); }
std::optional<LONG> StateNamed(std::string_view name) { return Lookup(kStates, name); }

std::optional<long long> ParseNumber(std::string_view text, int base) {
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

}  // namespace tabulon::testbrowser
