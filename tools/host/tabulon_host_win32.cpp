// tabulon-host: does what the chat client's add-on host does with a plug-in, and
// nothing more. It creates the plug-in by ProgID, initialises it, reads its name
// and command table, then hands it one slash command per line (from the command
// line, or standard input) and prints what the plug-in answers.
//
//   tabulon-host [--progid Quenlar.TB] [--autopilot N] ["/command argument" ...]
//
// With --autopilot a stand-in user answers the plug-in's windows (picking item N
// of the picker, pressing OK in the dialogs), for runs with no one at the screen.
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "common/bstr_win32.h"
#include "common/com_error_win32.h"
#include "autopilot_win32.h"
#include "late_bound/late_bound_win32.h"

using tabulon::Bstr;
using tabulon::Text;
using tabulon::TextView;
using tabulon::late_bound::Args;
using tabulon::late_bound::Object;
using tabulon::late_bound::Outcome;

namespace {

void Print(TextView text) {
    const std::string utf8 = tabulon::ToUtf8(text);
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    std::fflush(stdout);
}

void PrintLine(TextView text) {
    Print(text);
    Print(u"\n");
}

// Failure as the host's user would be told: code and description.
void PrintFailure(TextView operation, const Outcome& outcome) {
    Text line = Text(operation) + u" failed: ";
    if (outcome.hr == DISP_E_EXCEPTION) {
        line += tabulon::HexStatus(outcome.scode) + u" " + outcome.description;
    } else {
        line += tabulon::HexStatus(outcome.hr);
    }
    PrintLine(line);
}

// The text the host would send, one line of output per line of text, so that
// empty lines and trailing line breaks stay visible.
void PrintResultText(TextView text) {
    PrintLine(u"  sResult, " + tabulon::FromUtf8(std::to_string(text.size())) + u" characters:");
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(u"\r\n", start);
        PrintLine(u"  | " +
                  Text(text.substr(start, end == TextView::npos ? TextView::npos : end - start)));
        if (end == TextView::npos) break;
        start = end + 2;
    }
}

bool Handshake(const Object& plugin) {
    {
        Args args;
        args.Long(0).String(u"user@example.invalid").Object(nullptr);
        const Outcome outcome = plugin.Call(L"Initialize", args);
        if (!outcome.ok()) {
            PrintFailure(u"Initialize", outcome);
            return false;
        }
    }
    Bstr name;
    LONG commands = 0, tags = 0;
    {
        Args args;
        args.StringRef(name.put()).LongRef(&commands).LongRef(&tags);
        const Outcome outcome = plugin.Call(L"GetPublishInfo", args);
        if (!outcome.ok()) {
            PrintFailure(u"GetPublishInfo", outcome);
            return false;
        }
    }
    PrintLine(u"Plug-in: " + name.text() + u" (" + tabulon::FromUtf8(std::to_string(commands)) +
              u" commands, " + tabulon::FromUtf8(std::to_string(tags)) + u" tags)");
    for (LONG i = 1; i <= commands; ++i) {
        Bstr label, word, help;
        Args args;
        args.Long(i).StringRef(label.put()).StringRef(word.put()).StringRef(help.put());
        const Outcome outcome = plugin.Call(L"GetPublishCommandInfo", args);
        if (!outcome.ok()) {
            PrintFailure(u"GetPublishCommandInfo", outcome);
            return false;
        }
        PrintLine(u"  " + tabulon::FromUtf8(std::to_string(i)) + u". /" + word.text() + u"  " +
                  label.text());
    }
    return true;
}

// Returns false when the call failed.
bool SendCommand(const Object& plugin, TextView line) {
    const size_t blank = line.find(u' ');
    const TextView command = line.substr(0, blank);
    const TextView argument = blank == TextView::npos ? TextView() : line.substr(blank + 1);
    PrintLine(u"> " + Text(line));

    Bstr result;  // the host hands over an empty text to be filled
    Args args;
    args.String(command).String(argument).Object(nullptr).StringRef(result.put());
    const Outcome outcome = plugin.Call(L"ParseCommand", args);
    if (!outcome.ok()) {
        PrintFailure(u"ParseCommand", outcome);
        return false;
    }
    PrintLine(outcome.Boolean() ? u"  True" : u"  False (not the plug-in's command)");
    if (outcome.Boolean()) PrintResultText(result.view());
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const wchar_t* progId = L"Quenlar.TB";
    int autopilotPick = -1;
    std::vector<Text> lines;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--progid" && i + 1 < argc) {
            progId = argv[++i];
        } else if (arg == L"--autopilot" && i + 1 < argc) {
            autopilotPick = _wtoi(argv[++i]) - 1;
        } else {
            lines.emplace_back(reinterpret_cast<const char16_t*>(arg.c_str()), arg.size());
        }
    }
    const bool fromStdin = lines.empty();

    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
    int failures = 0;
    {
        std::unique_ptr<tabulon::host::Autopilot> autopilot;
        if (autopilotPick >= 0)
            autopilot = std::make_unique<tabulon::host::Autopilot>(autopilotPick);
        HRESULT hr = S_OK;
        Object plugin = Object::Create(progId, &hr);
        if (!plugin) {
            Print(u"Cannot create ");
            PrintLine(Text(reinterpret_cast<const char16_t*>(progId)) + u": " +
                      tabulon::HexStatus(hr));
            CoUninitialize();
            return 1;
        }
        if (!Handshake(plugin)) {
            CoUninitialize();
            return 1;
        }
        if (fromStdin) {
            std::string utf8;
            while (std::getline(std::cin, utf8)) {
                if (!utf8.empty() && utf8.back() == '\r') utf8.pop_back();
                if (utf8.empty()) continue;
                failures += SendCommand(plugin, tabulon::FromUtf8(utf8)) ? 0 : 1;
            }
        } else {
            for (const Text& line : lines) failures += SendCommand(plugin, line) ? 0 : 1;
        }
        Args none;
        plugin.Call(L"Uninitialize", none);
    }
    CoUninitialize();
    return failures == 0 ? 0 : 3;
}
