#include "platform/HtmlHelp.h"

#include "platform/HelpLoader.h"

namespace glimora::platform {

WId HtmlHelpA(WId hwndCaller, const char* pszFile, unsigned int uCommand, quintptr dwData)
{
    return HelpLoader::instance().call(hwndCaller, pszFile, uCommand, dwData);
}

} // namespace glimora::platform
