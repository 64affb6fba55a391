#pragma once

// Resource and command ids, shared by the program and the end-to-end tests.

#define IDI_APPLICATION_ICON 1

// Controls of the main window.
#define IDC_LIST 100
#define IDC_STATUS_BAR 101
