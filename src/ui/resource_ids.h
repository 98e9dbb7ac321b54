#pragma once
// Resource ids of TB.dll, shared by the resource scripts and the code that loads them.

// The logo picture (a JPEG file) of the options and about dialogs.
#define IDR_LOGO 101
