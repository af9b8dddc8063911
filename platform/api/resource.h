// Resources on Linux: the program's resources are the image of a compiled
// resource file, linked into the program and looked up as on Windows.
#pragma once

#include "platform/api/types.h"

DECLARE_HANDLE(HRSRC);
typedef HANDLE HGLOBAL;

#define MAKEINTRESOURCEW(i) ((LPWSTR)((ULONG_PTR)((WORD)(i))))
#define MAKEINTRESOURCE MAKEINTRESOURCEW
#define IS_INTRESOURCE(r) ((((ULONG_PTR)(r)) >> 16) == 0)

#define RT_ICON MAKEINTRESOURCEW(3)
#define RT_DIALOG MAKEINTRESOURCEW(5)
#define RT_STRING MAKEINTRESOURCEW(6)
#define RT_GROUP_ICON MAKEINTRESOURCEW(14)
#define RT_VERSION MAKEINTRESOURCEW(16)
#define RT_MANIFEST MAKEINTRESOURCEW(24)

#define MAKELANGID(primary, sub) ((WORD)((((WORD)(sub)) << 10) | (WORD)(primary)))
#define LANG_NEUTRAL 0x00
#define LANG_CHINESE 0x04
#define LANG_ENGLISH 0x09
#define SUBLANG_NEUTRAL 0x00
#define SUBLANG_ENGLISH_US 0x01
#define SUBLANG_CHINESE_SIMPLIFIED 0x02

#define ERROR_MOD_NOT_FOUND 126L

// NULL names the program itself, the only module there is. The calls below
// take that handle or NULL for the program.
HMODULE WINAPI GetModuleHandleW(LPCWSTR lpModuleName);
// Takes the first language that has the resource.
HRSRC WINAPI FindResourceW(HMODULE hModule, LPCWSTR lpName, LPCWSTR lpType);
// Takes wLanguage exactly; LANG_NEUTRAL takes the first language there is.
HRSRC WINAPI FindResourceExW(HMODULE hModule, LPCWSTR lpType, LPCWSTR lpName, WORD wLanguage);
HGLOBAL WINAPI LoadResource(HMODULE hModule, HRSRC hResInfo);
LPVOID WINAPI LockResource(HGLOBAL hResData);
DWORD WINAPI SizeofResource(HMODULE hModule, HRSRC hResInfo);
// With cchBufferMax 0, lpBuffer receives a read-only pointer to the
// string's text, which is not terminated, and the result is its length.
int WINAPI LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax);
// The icon stays valid for the program's life; loading it again gives the
// same handle.
HICON WINAPI LoadIconW(HINSTANCE hInstance, LPCWSTR lpIconName);
