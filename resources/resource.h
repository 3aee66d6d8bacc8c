// Resource identifiers of tavrin.rc, shared by the program and its tests.
#pragma once

// Strings
#define IDS_APP_TITLE 1
#define IDS_WINDOW_CLASS 2
#define IDS_SOFTKEY_EXIT 103
#define IDS_SOFTKEY_MENU 104
#define IDS_INI_SECTION 1000
#define IDS_INI_DEFAULT_FILE 1001
#define IDS_KEY_URL 1002
#define IDS_KEY_BROWSER 1003
#define IDS_KEY_AUTOCONNECT 1004
#define IDS_KEY_AUTOBROWSER 1005
#define IDS_KEY_CONNECTWAIT 1006
#define IDS_KEY_STARTUPALL 1007
#define IDS_KEY_UNUSED 1008
#define IDS_KEY_BROWSERWAIT 1009
#define IDS_KEY_LOCATEEASY 1010
#define IDS_KEY_URLINDEX 1011
#define IDS_KEY_BROWSERINDEX 1012
#define IDS_KEY_FORMAT 1013
#define IDS_KEY_FORMATINDEX 1014
#define IDS_KEY_SERVICEURL 1015
#define IDS_KEY_PORT 1016
#define IDS_KEY_LOOKUPCACHE 1017
#define IDS_KEY_MODULE 1018
#define IDS_KEY_BAUD 1019
#define IDS_KEY_FIXWAIT 1020
#define IDS_KEY_GEOLOCATEURL 1021

// Texts the user reads (common/texts.h), one range and one STRINGTABLE block of tavrin.rc per
// area. An entry that takes values names them in its comment, in order: %1, %2, ...

// 2000-2499: the main window, its menu and commands, the send job, the browser


// 2500-2999: the data connection, its dialog and the carrier's lookup


// 3000-3299: the serial port, the W-SIM and the wait for a device
#define IDS_SERIAL_WRITE_FAILED 3000 // %1 the port


// 3300-3599: GNSS receivers, on a serial port or on the network
// Where the receiver is (PORT): why a value is refused. %1: the value.
#define IDS_ADDRESS_UNKNOWN_SCHEME 3300
#define IDS_ADDRESS_NO_HOST 3301
#define IDS_ADDRESS_BAD_HOST 3302
#define IDS_ADDRESS_IPV6_BRACKETS 3303
#define IDS_ADDRESS_HOST_ON_UDP 3304
#define IDS_ADDRESS_NO_PORT 3305
#define IDS_ADDRESS_BAD_PORT 3306
// %1: the value. A network form for the W-SIM or a modem.
#define IDS_ADDRESS_SERIAL_ONLY 3307
// What the log adds behind a fix no satellite measured.
#define IDS_FIX_DEAD_RECKONING 3320
#define IDS_FIX_MANUAL 3321
#define IDS_FIX_SIMULATED 3322
// A receiver on the network: %1 is always the address (tcp://host:port, udp://:port,
// gpsd://host:port).
// %1, %2: the host name
#define IDS_NET_NAME_NOT_RESOLVED 3340
#define IDS_NET_REFUSED 3341
#define IDS_NET_UNREACHABLE 3342
// %1, %2: seconds
#define IDS_NET_CONNECT_TIMEOUT 3343
#define IDS_NET_CLOSED 3344
#define IDS_NET_PORT_IN_USE 3345
// %1, %2: the error number
#define IDS_NET_FAILED 3346
// %1, %2: seconds
#define IDS_NET_SILENT 3347
#define IDS_NET_NO_DATAGRAM 3348
#define IDS_NET_NOT_NMEA 3349
// %1, %2: FIXWAIT's seconds
#define IDS_NET_NO_FIX 3350
#define IDS_GPSD_NOT_GPSD 3351
#define IDS_GPSD_NO_DEVICE 3352
// %1, %2: FIXWAIT's seconds
#define IDS_GPSD_NO_FIX 3353


// 3600-3899: cellular modems and the geolocation service
#define IDS_MODEM_PROGRESS 3700 // %1 the port
#define IDS_MODEM_SILENT 3701 // %1 the port
#define IDS_MODEM_TIMEOUT 3702 // %1 seconds
#define IDS_MODEM_NOT_REGISTERED 3703 // %1 the status (IDS_MODEM_STATUS_...)
#define IDS_MODEM_STATUS_NOT_SEARCHING 3704
#define IDS_MODEM_STATUS_SEARCHING 3705
#define IDS_MODEM_STATUS_DENIED 3706
#define IDS_MODEM_STATUS_UNKNOWN 3707
#define IDS_MODEM_STATUS_EMERGENCY 3708
#define IDS_MODEM_STATUS_NUMBER 3709 // %1 the status's number
#define IDS_MODEM_NO_CELL 3710
#define IDS_MODEM_NO_REGISTRATION 3711
#define IDS_MODEM_NO_OPERATOR 3712
#define IDS_MODEM_NO_ANSWER 3713
#define IDS_MODEM_REFUSED 3714 // %1 the modem's final result line
#define IDS_MODEM_CME_ERROR 3715 // %1 the error's number or text
#define IDS_MODEM_CME_ERROR_REASON 3716 // %1 the error's number, %2 its reason (IDS_MODEM_CME_...)
#define IDS_MODEM_CME_NO_SIM 3717
#define IDS_MODEM_CME_SIM_PIN 3718
#define IDS_MODEM_CME_SIM_PUK 3719
#define IDS_MODEM_CME_SIM_FAILURE 3720
#define IDS_MODEM_CME_NO_SERVICE 3721
// What the log adds behind a position the service guessed from the cell's area, and one it
// guessed otherwise (its "fallback").
#define IDS_GEO_FALLBACK_AREA 3820
#define IDS_GEO_FALLBACK_OTHER 3821


// 4000-4499: the settings file and the settings screen
// Why a file could not be read or written (the last line of the file boxes).
#define IDS_FILE_NOT_FOUND 4000
#define IDS_FILE_NO_ACCESS 4001
#define IDS_FILE_TOO_LARGE 4002
#define IDS_FILE_DISK_FULL 4003
#define IDS_FILE_NO_MEMORY 4004
// %1: the platform's error code
#define IDS_FILE_ERROR_CODE 4005
#define IDS_FILE_NOT_TEXT 4006
#define IDS_FILE_UNKNOWN_ENCODING 4007
#define IDS_FILE_NO_SECTION 4008
// Why the settings screen refuses a value, one per key it shows. %1, %2: the lowest and the
// highest value the key takes.
#define IDS_SETTING_BAD_CONNECTWAIT 4020
#define IDS_SETTING_BAD_FIXWAIT 4021
#define IDS_SETTING_BAD_BAUD 4022
#define IDS_SETTING_BAD_SERVICEURL 4023
#define IDS_SETTING_BAD_GEOLOCATEURL 4024
#define IDS_SETTING_BAD_PORT 4025
// The settings screen: the speed field's first choice, the module field's rows, its soft keys.
#define IDS_SETTINGS_SPEED_AUTO 4030
#define IDS_SETTINGS_MODULE_WSIM 4031
#define IDS_SETTINGS_MODULE_NMEA 4032
#define IDS_SETTINGS_MODULE_MODEM 4033
#define IDS_SETTINGS_SOFTKEY_OK 4034
#define IDS_SETTINGS_SOFTKEY_CANCEL 4035


// 4500-4799: the port search
// What a port holds, in the list's second column.
#define IDS_SEARCH_KIND_SEARCHING 4500
#define IDS_SEARCH_KIND_RECEIVER 4501
#define IDS_SEARCH_KIND_WSIM 4502
#define IDS_SEARCH_KIND_MODEM 4503
#define IDS_SEARCH_KIND_UNKNOWN 4504
#define IDS_SEARCH_KIND_SILENT 4505
#define IDS_SEARCH_KIND_IN_USE 4506
#define IDS_SEARCH_KIND_UNUSABLE 4507
#define IDS_SEARCH_KIND_STOPPED 4508
// %1: the line speed
#define IDS_SEARCH_SPEED 4520
// The list's column headings.
#define IDS_SEARCH_COLUMN_PORT 4530
#define IDS_SEARCH_COLUMN_KIND 4531
#define IDS_SEARCH_COLUMN_SPEED 4532
#define IDS_SEARCH_COLUMN_DEVICE 4533
// The line above the list. %1: ports still being tried, %2: all ports
#define IDS_SEARCH_RUNNING 4540
#define IDS_SEARCH_DONE 4541
#define IDS_SEARCH_STOPPED 4542
#define IDS_SEARCH_NO_PORTS 4543
// The "中断" button once the search has ended.
#define IDS_SEARCH_CLOSE 4550
// A device wait's box when nothing answered on the port, asking whether to search. %1: the port
#define IDS_SEARCH_OFFER_RECEIVER 4560
#define IDS_SEARCH_OFFER_MODEM 4561


// 4800-4999: the list editor, the file chooser and the about box


// Icon, menu, soft-key bar, accelerators
#define IDI_TAVRIN 101
#define IDM_MAIN 102
#define IDR_MENUBAR 102
#define IDR_SETTINGS_MENUBAR 140
#define IDA_MAIN 2

// Dialog templates
#define IDD_ABOUT 105
#define IDD_ABOUT_WIDE 106
#define IDD_MAIN 129
#define IDD_PROGRESS 130
#define IDD_LIST_EDITOR 131
#define IDD_PORT_SEARCH 134
#define IDD_PORT_SEARCH_WIDE 135
#define IDD_SETTINGS 132
#define IDD_SETTINGS_WIDE 133

// Menu and soft-key commands
#define IDM_OPEN 32772
#define IDM_SAVE 32774
#define IDM_EXIT 40000
#define IDM_MENU 40001
#define IDM_ABOUT 40002
#define IDM_CACHE_USE 40003
#define IDM_CACHE_CLEAR 40004
// What is on the port: one choice of three, in this order (CheckMenuRadioItem takes the range).
#define IDM_MODULE_WSIM 40005
#define IDM_MODULE_NMEA 40006
#define IDM_MODULE_MODEM 40007
#define IDM_SETTINGS 40008

// Main window controls (template 129)
#define IDC_STATIC_URL 204
#define IDC_STATIC_BROWSER 205
#define IDC_URL_COMBO 1029
#define IDC_URL_EDIT 1023
#define IDC_BROWSER_COMBO 1030
#define IDC_BROWSER_EDIT 1031
#define IDC_GET_LOCATION 1008
#define IDC_LOCATE_EASY 1018
#define IDC_AUTO_CONNECT 1004
#define IDC_AUTO_BROWSER 1005
#define IDC_STARTUP_ALL 1006
#define IDC_STATIC_WAIT1 1019
#define IDC_CONNECT_WAIT 1020
#define IDC_STATIC_WAIT2 1021
#define IDC_CONNECT 1013
#define IDC_SEND 1009
#define IDC_GET_AND_SEND 1016
#define IDC_LOG 1014

// Progress dialog (template 130)
#define IDC_PROGRESS_TEXT 1015

// About box (templates 105, 106)
#define IDC_ABOUT_ICON 201
#define IDC_ABOUT_NAME 202
#define IDC_ABOUT_COPYRIGHT 203

// List editor (template 131)
#define IDC_LIST 1022
#define IDC_LIST_ADD 1016
#define IDC_LIST_DELETE 1025
#define IDC_LIST_REPLACE 1026
#define IDC_LIST_UP 1027
#define IDC_LIST_DOWN 1028
#define IDC_LIST_LABEL0 1039
#define IDC_LIST_FIELD0 1036
#define IDC_LIST_LABEL1 1040
#define IDC_LIST_FIELD1 1024
#define IDC_LIST_BROWSE 1032
#define IDC_LIST_LABEL2 1041
#define IDC_LIST_FIELD2 1037

// Port search (templates 134 and 135, the same controls in both)
#define IDC_SEARCH_STATUS 1080
#define IDC_SEARCH_LIST 1081
// Settings screen (templates 132 and 133, the same controls in both)
#define IDC_SET_MODULE_LABEL 1050
#define IDC_SET_MODULE 1051
#define IDC_SET_PORT_LABEL 1052
#define IDC_SET_PORT 1053
#define IDC_SET_SPEED_LABEL 1054
#define IDC_SET_SPEED 1055
#define IDC_SET_FIXWAIT_LABEL 1056
#define IDC_SET_FIXWAIT 1057
#define IDC_SET_FIXWAIT_UNIT 1058
#define IDC_SET_CONNECTWAIT_LABEL 1059
#define IDC_SET_CONNECTWAIT 1060
#define IDC_SET_CONNECTWAIT_UNIT 1061
#define IDC_SET_CACHE 1062
#define IDC_SET_SERVICE_LABEL 1063
#define IDC_SET_SERVICE 1064
#define IDC_SET_GEOLOCATE_LABEL 1065
#define IDC_SET_GEOLOCATE 1066
// Opens the port search (templates 134 and 135).
#define IDC_SET_SEARCH 1067

// Private window messages
#define WM_TAVRIN_ANSWER 0x8001
#define WM_TAVRIN_CONNECTED 0x8002
#define WM_TAVRIN_CONNECT_ENDED 0x8003
// To the main window: start loading the libraries of wParam (SystemLibrary flags), and the
// lookup cache when lParam is not 0.
#define WM_TAVRIN_PRELOAD 0x8004
// A worker task of a dialog is done; lParam names the task (CWorkerTask::Is).
#define WM_TAVRIN_TASK_DONE 0x8005
// To the acquisition dialog: the serial reader found errors (CCsId::TakeReadErrors).
#define WM_TAVRIN_SERIAL_ERROR 0x8006
// To the acquisition dialog: a write on the port's writer thread failed.
#define WM_TAVRIN_WRITE_FAILED 0x8007
// To the main window: a device's box asked to search the ports; the settings screen opens with
// the search once the command that showed the box has ended.
#define WM_TAVRIN_SEARCH_PORTS 0x8008
