#pragma once

// <windows.h> for the Windows-only code. The API's A/W name macros are
// removed so that they cannot rename the operations of src/platform, which
// share their names; the code here calls the W functions by their full names.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <shellapi.h>

#undef GetSystemDirectory
#undef GetWindowsDirectory
#undef GetModuleHandle
#undef LoadLibraryEx
#undef MessageBox
#undef GetComputerName
#undef QueryDosDevice
#undef ExpandEnvironmentStrings
#undef CreateFile
#undef ShellExecute
#undef ShellExecuteEx
#undef RegCreateKeyEx
#undef RegOpenKeyEx
#undef RegQueryValueEx
#undef RegSetValueEx
#undef GetModuleFileName
