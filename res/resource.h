// Identifiers of the program's resources, shared by the C++ sources and the
// resource script.
#pragma once

#define IDD_MAIN 102
#define IDP_SOCKETS_INIT_FAILED 103
#define IDR_MAINFRAME 128

#define IDC_SOURCE_EDIT 1000
#define IDC_TARGET_EDIT 1001
#define IDC_BROWSE_SOURCE 1002
#define IDC_BROWSE_TARGET 1003
#define IDC_COPY_PROGRESS 1004
#define IDC_START 1005
#define IDC_STOP 1006
#define IDC_STATUS 1008

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
