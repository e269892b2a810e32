#pragma once
// The ODBC headers, in the one order both systems accept: on Windows sql.h needs the types of
// <windows.h> first. Only the ODBC layer includes this file.
#ifdef _WIN32
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>
