#pragma once

// Resource and command ids, shared by the program, its portable command
// controller and the end-to-end tests. Plain macros: the resource compiler
// reads this file too.

#define IDI_APPLICATION_ICON 1
#define IDM_MAIN_MENU 2
#define IDM_POPUP_MENU 3
#define IDA_SHORTCUTS 4

// Controls of the main window.
#define IDC_LIST 100
#define IDC_STATUS_BAR 101

// MainMenu1
#define ID_OPEN_CHANGELOG1 200
#define ID_OPEN_EULA1 201
#define ID_EXIT1 202
#define ID_HOMEPAGE1 203
#define ID_ABOUT1 204

// PopupMenu1, top to bottom (separators have no command)
#define ID_REFRESH1 300
#define ID_DISABLE_AUTO_REFRESH1 301
#define ID_ERMINATE_PROCESS1 302
#define ID_CLOSE_CONNECTION1 303
#define ID_CLOSE_ALL_CONNECTIONS_FOR_SELECTED_PROCESS1 304
#define ID_CLOSE_ALL_CONNECTIONS1 305
#define ID_SHOW_PROCESS_PROPERTIES1 306
#define ID_LOCATE_PROCESS_IN_EXPLORER1 307
#define ID_LOOKUP_PROCESS_HASH_ON_GOOGLE1 308
#define ID_LOOKUP_PROCESS_HASH_ON_VIRUS_TOTAL1 309
#define ID_LOOKUP_REMOTE_IP_ON_GOOGLE1 310
#define ID_LOOKUP_REMOTE_PORT_ON_GOOGLE1 311
#define ID_IP_BLACKLIST_CHECK_IPVOID1 312
#define ID_GEOLOCATE_IP_ADDRESS_IPVOID1 313
#define ID_IP_WHOIS_LOOKUP_IPVOID1 314
#define ID_COPY_REMOTE_IP_ADDRESS_TO_CLIPBOARD1 315
#define ID_COPY_CLIPBOARD1 316
#define ID_SAVE1 317

// The About window: its pictures (PNG as RCDATA) and its controls.
#define IDR_ABOUT_MAKER_NAME 400
#define IDR_ABOUT_LIKE 401
#define IDR_ABOUT_TWEET 402
#define IDC_ABOUT_IMAGE1 410
#define IDC_ABOUT_LABEL1 411
#define IDC_ABOUT_LABEL7 412
#define IDC_ABOUT_LABEL2 413
#define IDC_ABOUT_LABEL3 414
#define IDC_ABOUT_LABEL4 415
#define IDC_ABOUT_IMG_FACEBOOK_LIKE 416
#define IDC_ABOUT_IMG_TWEET 417
