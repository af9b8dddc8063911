// Message maps: each class lists the messages and commands it handles,
// and a message goes to the first entry that matches along the chain from
// the object's own class to its bases.
//
// An entry holds a small function made for the handler it names, so the
// handler is called with its own type, never through a cast.
#pragma once

#include "platform/winapi.h"

#define afx_msg

class CCmdTarget;

typedef LRESULT (*AFX_HANDLER)(CCmdTarget* target, WPARAM wParam, LPARAM lParam);

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;
    UINT nCode;    // for WM_COMMAND: the notification code
    UINT nID;      // for WM_COMMAND: the first and last command ids
    UINT nLastID;
    AFX_HANDLER pfnHandler;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;  // ends with an entry whose handler is null
};

// The root of every class with a message map.
class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;

    // Calls the handler of command nID with notification nCode; FALSE when
    // there is none.
    virtual BOOL OnCmdMsg(UINT nID, int nCode);

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;

    // The first entry for message (and for WM_COMMAND, nCode and nID).
    const AFX_MSGMAP_ENTRY* FindMessageEntry(UINT message, UINT nCode, UINT nID) const;
};

template <typename Handler>
struct AfxHandlerClass;
template <typename Class, typename Result>
struct AfxHandlerClass<Result (Class::*)()> {
    typedef Class type;
};

// A handler without arguments and without a result.
template <auto Handler>
LRESULT AfxCallVoidHandler(CCmdTarget* target, WPARAM, LPARAM)
{
    typedef typename AfxHandlerClass<decltype(Handler)>::type Class;
    (static_cast<Class*>(target)->*Handler)();
    return 0;
}

// A handler without arguments that returns a handle.
template <auto Handler>
LRESULT AfxCallHandleHandler(CCmdTarget* target, WPARAM, LPARAM)
{
    typedef typename AfxHandlerClass<decltype(Handler)>::type Class;
    return reinterpret_cast<LRESULT>((static_cast<Class*>(target)->*Handler)());
}

#define DECLARE_MESSAGE_MAP()                           \
protected:                                              \
    static const AFX_MSGMAP* GetThisMessageMap();       \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                     \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* theClass::GetThisMessageMap()                                \
    {                                                                              \
        using ThisClass [[maybe_unused]] = theClass;                               \
        using TheBaseClass = baseClass;                                            \
        static const AFX_MSGMAP_ENTRY messageEntries[] = {
#define END_MESSAGE_MAP()                                                                 \
            {0, 0, 0, 0, nullptr}};                                                       \
        static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &messageEntries[0]}; \
        return &messageMap;                                                               \
    }

#define ON_COMMAND(id, memberFxn) {WM_COMMAND, 0, UINT(id), UINT(id), &AfxCallVoidHandler<memberFxn>},
#define ON_BN_CLICKED(id, memberFxn) \
    {WM_COMMAND, BN_CLICKED, UINT(id), UINT(id), &AfxCallVoidHandler<memberFxn>},
#define ON_WM_PAINT() {WM_PAINT, 0, 0, 0, &AfxCallVoidHandler<&ThisClass::OnPaint>},
#define ON_WM_CLOSE() {WM_CLOSE, 0, 0, 0, &AfxCallVoidHandler<&ThisClass::OnClose>},
#define ON_WM_QUERYDRAGICON() \
    {WM_QUERYDRAGICON, 0, 0, 0, &AfxCallHandleHandler<&ThisClass::OnQueryDragIcon>},
