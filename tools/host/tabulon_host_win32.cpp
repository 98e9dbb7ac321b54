// tabulon-host: does what the chat client's add-on host does with a plug-in, and
// nothing more. It creates the plug-in, initialises it, reads its name and command
// table, then hands it one slash command per line (from the command line, or
// standard input) and prints what the plug-in answers. `tabulon-host --help` lists
// its options.
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
#include "dll_class_win32.h"
#include "late_bound/late_bound_win32.h"

using tabulon::Bstr;
using tabulon::Text;
using tabulon::TextView;
using tabulon::late_bound::Args;
using tabulon::late_bound::Object;
using tabulon::late_bound::Outcome;

namespace {

constexpr char kUsage[] =
    "usage: tabulon-host [OPTION...] [\"/command argument\" ...]\n"
    "Drives a plug-in as the chat client's add-on host does: creates it, calls\n"
    "Initialize, prints its name and command table, then hands it each command (one\n"
    "a line from standard input when none is given) and prints what it answers.\n"
    "\n"
    "  --progid NAME   create the registered class NAME (default Quenlar.TB)\n"
    "  --dll PATH      create the class through PATH's DllGetClassObject, with no\n"
    "                  registration: the first class the DLL's type library names\n"
    "                  (PATH as Windows sees it; under Wine Z:\\ is the Unix root)\n"
    "  --clsid {GUID}  with --dll: this class instead\n"
    "  --autopilot N   a stand-in user answers the plug-in's windows: picks item N\n"
    "                  in a list and presses OK, for runs with no one at the screen\n"
    "  --help          this text\n"
    "\n"
    "Exit status: 0 every command answered, 1 the plug-in could not be created or\n"
    "initialised, 2 a wrong command line, 3 a command failed.\n";

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

Text FromWide(const std::wstring& text) {
    return Text(reinterpret_cast<const char16_t*>(text.c_str()), text.size());
}

Text GuidText(const GUID& guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, ARRAYSIZE(text));
    return FromWide(text);
}

struct Options {
    std::wstring progId = L"Quenlar.TB";
    std::wstring dll;
    bool hasClsid = false;
    CLSID clsid{};
    int autopilotPick = -1;
    std::vector<Text> lines;
};

// False, with the reason on standard error, for a command line that makes no sense.
bool ParseOptions(int argc, wchar_t** argv, Options* options, bool* help) {
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == L"--help" || arg == L"-h") {
            *help = true;
        } else if (arg == L"--progid" && hasValue) {
            options->progId = argv[++i];
        } else if (arg == L"--dll" && hasValue) {
            options->dll = argv[++i];
        } else if (arg == L"--clsid" && hasValue) {
            if (FAILED(CLSIDFromString(argv[++i], &options->clsid))) {
                std::fprintf(
                    stderr, "tabulon-host: --clsid wants {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}\n");
                return false;
            }
            options->hasClsid = true;
        } else if (arg == L"--autopilot" && hasValue) {
            options->autopilotPick = _wtoi(argv[++i]) - 1;
        } else if (arg.rfind(L"--", 0) == 0) {
            std::fprintf(stderr, "tabulon-host: %s: unknown option or missing value (see --help)\n",
                         tabulon::ToUtf8(FromWide(arg)).c_str());
            return false;
        } else {
            options->lines.push_back(FromWide(arg));
        }
    }
    if (options->hasClsid && options->dll.empty()) {
        std::fprintf(stderr, "tabulon-host: --clsid goes with --dll\n");
        return false;
    }
    return true;
}

// The plug-in by ProgID through the registry, or straight from its DLL; a null
// object after the reason has been printed.
Object CreatePlugin(const Options& options) {
    if (options.dll.empty()) {
        HRESULT hr = S_OK;
        Object plugin = Object::Create(options.progId.c_str(), &hr);
        if (!plugin)
            PrintLine(u"Cannot create " + FromWide(options.progId) + u": " +
                      tabulon::HexStatus(hr));
        return plugin;
    }
    const tabulon::host::DllClass made =
        tabulon::host::CreateFromDll(options.dll, options.hasClsid ? &options.clsid : nullptr);
    const Text what =
        (IsEqualGUID(made.clsid, GUID_NULL) ? Text(u"a class") : GuidText(made.clsid)) + u" from " +
        FromWide(options.dll);
    if (!made.object) {
        PrintLine(u"Cannot create " + what + u": " + FromWide(made.failure) + u" " +
                  tabulon::HexStatus(made.hr));
        return {};
    }
    PrintLine(u"Created " + what + u" through DllGetClassObject, unregistered");
    return Object(made.object);
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
    Options options;
    bool help = false;
    if (!ParseOptions(argc, argv, &options, &help)) return 2;
    if (help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    const bool fromStdin = options.lines.empty();

    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
    int failures = 0;
    {
        std::unique_ptr<tabulon::host::Autopilot> autopilot;
        if (options.autopilotPick >= 0)
            autopilot = std::make_unique<tabulon::host::Autopilot>(options.autopilotPick);
        Object plugin = CreatePlugin(options);
        if (!plugin || !Handshake(plugin)) {
            plugin.Reset();
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
            for (const Text& line : options.lines) failures += SendCommand(plugin, line) ? 0 : 1;
        }
        Args none;
        plugin.Call(L"Uninitialize", none);
    }
    CoUninitialize();
    return failures == 0 ? 0 : 3;
}
