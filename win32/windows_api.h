#pragma once
// The Windows API, as every file of the Windows front end includes it. windows.h turns the name
// ReplaceFile into the system's ReplaceFileW in everything after it, the settings store's method
// of that name included; the system call is never used under that name here.

#include <windows.h>

#undef ReplaceFile
