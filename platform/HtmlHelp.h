#pragma once

#include <QtGlobal>
#include <qwindowdefs.h>

namespace glimora::platform {

// Commands of the HTML Help API that this program sends.
constexpr unsigned int HH_HELP_CONTEXT = 0x000F;

// The HTML Help API entry point: opens `pszFile` (relative to the current directory) for
// `uCommand`; with HH_HELP_CONTEXT, `dwData` is the context number of the topic.
// `hwndCaller` is the owner window, 0 for none. Returns the help window, or 0 when nothing
// was shown. The viewer is loaded on the first call; if that fails, every later call
// returns 0 at once.
WId HtmlHelpA(WId hwndCaller, const char* pszFile, unsigned int uCommand, quintptr dwData);

} // namespace glimora::platform
