// The dialog application framework: the subset of it the program uses,
// written over the Windows API of platform/winapi.h.
#pragma once

#include "platform/framework/controls.h"
#include "platform/framework/cstring.h"
#include "platform/framework/data_exchange.h"
#include "platform/framework/dialog.h"
#include "platform/framework/message_map.h"
#include "platform/framework/paint_dc.h"
#include "platform/framework/win_app.h"
#include "platform/framework/wnd.h"
