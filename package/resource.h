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
#define IDC_FILTER_BAR 102

// The menu bar
#define ID_OPEN_CHANGELOG 200
#define ID_OPEN_EULA 201
#define ID_EXIT 202
#define ID_OPEN_HOMEPAGE 203
#define ID_SHOW_ABOUT 204
#define ID_SHOW_IPV6_ENDPOINTS 205
#define ID_FIND 206
#define ID_FIND_NEXT 207
#define ID_SELECT_ALL 208
#define ID_FILTER_BAR 209
#define ID_SHOW_UNCONNECTED 210
#define ID_SHOW_WAITING 211

// The context menu, top to bottom (separators have no command)
#define ID_REFRESH 300
#define ID_DISABLE_AUTO_REFRESH 301
#define ID_TERMINATE_PROCESS 302
#define ID_CLOSE_SELECTED_CONNECTIONS 303
#define ID_CLOSE_PROCESS_CONNECTIONS 304
#define ID_CLOSE_ALL_CONNECTIONS 305
#define ID_SHOW_PROCESS_PROPERTIES 306
#define ID_LOCATE_PROCESS_FILE 307
#define ID_SEARCH_PROCESS_HASH 308
#define ID_CHECK_PROCESS_HASH_REPUTATION 309
#define ID_SEARCH_REMOTE_ADDRESS 310
#define ID_SEARCH_REMOTE_PORT 311
#define ID_OPEN_IP_BLACKLIST_CHECK 312
#define ID_OPEN_IP_GEOLOCATION 313
#define ID_OPEN_IP_WHOIS 314
#define ID_COPY_REMOTE_ADDRESS 315
#define ID_COPY_SELECTED_ROWS 316
#define ID_SAVE_REPORT 317

// The About window: its pictures (PNG as RCDATA) and its controls.
#define IDR_ABOUT_MAKER_NAME 400
#define IDR_ABOUT_LIKE 401
#define IDR_ABOUT_TWEET 402
#define IDC_ABOUT_MAKER_NAME 410
#define IDC_ABOUT_PRODUCT_NAME 411
#define IDC_ABOUT_VERSION 412
#define IDC_ABOUT_COPYRIGHT 413
#define IDC_ABOUT_HOMEPAGE_LINK 414
#define IDC_ABOUT_EULA_LINK 415
#define IDC_ABOUT_FACEBOOK_LINK 416
#define IDC_ABOUT_TWITTER_LINK 417
