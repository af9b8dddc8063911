// Shell services on Linux.
#pragma once

#include "platform/api/types.h"

// Creates pszPath and every missing parent folder. Returns ERROR_SUCCESS,
// ERROR_ALREADY_EXISTS when the folder was already there, or the error
// that stopped the creation.
int WINAPI SHCreateDirectory(HWND hwnd, PCWSTR pszPath);

// The folder browser. An item list is the shell's name of the chosen item.
typedef struct _ITEMIDLIST ITEMIDLIST;
typedef ITEMIDLIST* LPITEMIDLIST;
typedef const ITEMIDLIST* LPCITEMIDLIST;
typedef ITEMIDLIST* PIDLIST_ABSOLUTE;
typedef const ITEMIDLIST* PCIDLIST_ABSOLUTE;
typedef const ITEMIDLIST* PCUIDLIST_ABSOLUTE;

typedef int(CALLBACK* BFFCALLBACK)(HWND hwnd, UINT uMsg, LPARAM lParam, LPARAM lpData);

typedef struct _browseinfoW {
    HWND hwndOwner;
    PCIDLIST_ABSOLUTE pidlRoot;
    LPWSTR pszDisplayName;
    LPCWSTR lpszTitle;
    UINT ulFlags;
    BFFCALLBACK lpfn;
    LPARAM lParam;
    int iImage;
} BROWSEINFOW, *LPBROWSEINFOW;

#define BIF_RETURNONLYFSDIRS 0x00000001

// Shows the folder browser modally; null when the user cancels. The item
// list is freed with CoTaskMemFree.
PIDLIST_ABSOLUTE WINAPI SHBrowseForFolderW(LPBROWSEINFOW lpbi);
// Copies the item's file-system path into pszPath (MAX_PATH units). FALSE
// for an item without one, or a path that does not fit.
BOOL WINAPI SHGetPathFromIDListW(PCIDLIST_ABSOLUTE pidl, LPWSTR pszPath);
LPVOID WINAPI CoTaskMemAlloc(SIZE_T cb);
void WINAPI CoTaskMemFree(LPVOID pv);
