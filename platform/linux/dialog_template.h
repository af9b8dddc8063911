// Dialog templates in memory, as RT_DIALOG resources hold them: the
// extended form (DLGTEMPLATEEX, DLGITEMTEMPLATEEX) and the classic one
// (DLGTEMPLATE, DLGITEMTEMPLATE), read into one description.
#pragma once

#include <string>
#include <vector>

#include "platform/api/types.h"

namespace platform {

struct DialogItemTemplate {
    DWORD helpId = 0, exStyle = 0, style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    int id = 0;                  // sign-extended: IDC_STATIC (-1) stays -1 in both forms
    std::u16string className;    // predefined ordinals given as their names ("Button", ...)
    std::u16string title;
    bool titleIsOrdinal = false;
    WORD titleOrdinal = 0;       // a resource id, e.g. of the icon a static shows
    std::vector<BYTE> creationData;
};

struct DialogTemplate {
    bool extended = false;
    DWORD helpId = 0, exStyle = 0, style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::u16string menu, className, title;  // ordinals as "#n"
    bool hasFont = false;                   // DS_SETFONT: the fields below are given
    WORD pointSize = 0, weight = 0;
    BYTE italic = 0, charset = 0;
    std::u16string typeface;
    std::vector<DialogItemTemplate> items;
};

// Reads the template in the size bytes at data. Returns false, leaving *out
// unspecified, for data that is not a template or is cut short; never reads
// past size.
bool ParseDialogTemplate(const void* data, size_t size, DialogTemplate* out);

}  // namespace platform
