#pragma once
#define IDI_CONSOLE 1
#define IDM_MAIN 100
#define IDA_MAIN 101
#define IDD_CONNECT 102
#define IDC_SERVERNAME 200
#define IDC_CONNECT 300
#define IDC_DISCONNECT 301
#define IDC_EXIT 302
#define IDC_ABOUT 303
#define IDC_LOG 400
