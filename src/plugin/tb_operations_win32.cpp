#include "plugin/tb_operations_win32.h"

#include <cstdint>

#include "common/bstr_win32.h"
#include "common/com_error_win32.h"
#include "plugin/command_table.h"
#include "report/site_report.h"
#include "report/windows_directory_win32.h"
#include "settings/registry_settings_store_win32.h"
#include "settings/settings_store.h"
#include "ui/frm_about_win32.h"
#include "ui/frm_options_win32.h"
#include "ui/frm_web_win32.h"

namespace tabulon {

TBOperations::TBOperations() : discovery_([this] { return GetWinDir(); }) {}

bool TBOperations::Initialize() {
    // The collection itself is not used: each report asks for a fresh one.
    discovery_.OpenWindowCollection();
    RegistrySettingsStore store;
    SeedSettings(store);
    return true;
}

Text TBOperations::GetWinDir() { return QueryWindowsDirectory(); }

bool TBOperations::ParseCommand(TextView sCommand, BSTR* sResult) {
    RegistrySettingsStore store;
    const std::int16_t mode = ReadDisplayMode(store);
    sBefore = ReadSetting(store, kBeforeKey);
    sAfter = ReadSetting(store, kAfterKey);

    const auto command = MatchCommand(sCommand);
    if (!command) return false;
    switch (*command) {
        case Command::kPickWebsite: {
            FrmWeb::ForThread().ShowModal();
            // Whatever the picker holds once its window has closed: the pick, the
            // empty text after Cancel, or the previous pick when it was closed
            // another way.
            ReplaceBstr(sResult, FrmWeb::ForThread().sPickedText);
            return true;
        }
        case Command::kAllWebsites: {
            Text report;
            try {
                ComposeReport(mode, sBefore, sAfter, report, discovery_);
            } catch (...) {
                // The caller keeps the report as far as it was built.
                ReplaceBstr(sResult, report);
                throw;
            }
            ReplaceBstr(sResult, report);
            return true;
        }
        case Command::kOptions:
            FrmOptions::ForThread().ShowModal();
            ReplaceBstr(sResult, u"");
            return true;
        case Command::kAbout:
            FrmAbout::ForThread().ShowModal();
            ReplaceBstr(sResult, u"");
            return true;
    }
    return false;
}

}  // namespace tabulon
