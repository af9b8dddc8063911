#include "platform/framework/message_map.h"

namespace {

const AFX_MSGMAP_ENTRY kNoEntries[] = {{0, 0, 0, 0, nullptr}};

bool Matches(const AFX_MSGMAP_ENTRY& entry, UINT message, UINT nCode, UINT nID)
{
    if (entry.nMessage != message)
        return false;
    if (message != WM_COMMAND)
        return true;
    return entry.nCode == nCode && nID >= entry.nID && nID <= entry.nLastID;
}

}  // namespace

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap()
{
    static const AFX_MSGMAP messageMap = {nullptr, &kNoEntries[0]};
    return &messageMap;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const
{
    return GetThisMessageMap();
}

const AFX_MSGMAP_ENTRY* CCmdTarget::FindMessageEntry(UINT message, UINT nCode, UINT nID) const
{
    for (const AFX_MSGMAP* map = GetMessageMap(); map;
         map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* entry = map->lpEntries; entry->pfnHandler; ++entry) {
            if (Matches(*entry, message, nCode, nID))
                return entry;
        }
    }
    return nullptr;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode)
{
    const AFX_MSGMAP_ENTRY* entry = FindMessageEntry(WM_COMMAND, UINT(nCode), nID);
    if (!entry)
        return FALSE;
    entry->pfnHandler(this, 0, 0);
    return TRUE;
}
