#pragma once
// The plugin object's state and the work of its operations, apart from the COM
// plumbing of class TB. Every method may throw a Failure.
#include <windows.h>
#include <oaidl.h>

#include "common/text.h"
#include "report/browser_discovery_win32.h"

namespace tabulon {

class TBOperations {
  public:
    TBOperations();

    // Creates the shell object if need be, asks it for its windows once, then seeds
    // the settings on first run. Returns True.
    bool Initialize();

    // The Windows directory as the system reports it, without a trailing backslash.
    Text GetWinDir();

    // Reads the settings, then carries out the command if it is one of ours. Writes
    // sResult only for our commands; returns whether the command was ours.
    bool ParseCommand(TextView sCommand, BSTR* sResult);

  private:
    // oShell, oWindow, sPath and sWinDir: the shell object and the working state of
    // the all-sites report's walk.
    BrowserDiscovery discovery_;
    // The Before and After texts as the last command read them.
    Text sBefore;
    Text sAfter;
};

}  // namespace tabulon
