#include "platform/X11IdleClock.h"

#include <dlfcn.h>
#include <QGuiApplication>
#include <X11/extensions/scrnsaver.h>

namespace glimora::platform {

struct X11IdleClock::Library
{
    using OpenDisplay = Display* (*)(const char*);
    using CloseDisplay = int (*)(Display*);
    using DefaultRoot = Window (*)(Display*);
    using Free = int (*)(void*);
    using QueryExtension = Bool (*)(Display*, int*, int*);
    using AllocInfo = XScreenSaverInfo* (*)();
    using QueryInfo = Status (*)(Display*, Drawable, XScreenSaverInfo*);

    void* x11 = nullptr;
    void* xss = nullptr;
    OpenDisplay openDisplay = nullptr;
    CloseDisplay closeDisplay = nullptr;
    DefaultRoot defaultRoot = nullptr;
    Free free = nullptr;
    QueryExtension queryExtension = nullptr;
    AllocInfo allocInfo = nullptr;
    QueryInfo queryInfo = nullptr;
    Display* display = nullptr;
    XScreenSaverInfo* info = nullptr;

    ~Library()
    {
        if (info)
            free(info);
        if (display)
            closeDisplay(display);
        if (xss)
            dlclose(xss);
        if (x11)
            dlclose(x11);
    }

    template <typename Function> static bool resolve(void* handle, const char* name, Function& function)
    {
        function = reinterpret_cast<Function>(dlsym(handle, name));
        return function != nullptr;
    }

    bool load()
    {
        x11 = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
        xss = dlopen("libXss.so.1", RTLD_NOW | RTLD_LOCAL);
        if (!x11 || !xss)
            return false;
        if (!resolve(x11, "XOpenDisplay", openDisplay) || !resolve(x11, "XCloseDisplay", closeDisplay)
            || !resolve(x11, "XDefaultRootWindow", defaultRoot) || !resolve(x11, "XFree", free)
            || !resolve(xss, "XScreenSaverQueryExtension", queryExtension)
            || !resolve(xss, "XScreenSaverAllocInfo", allocInfo)
            || !resolve(xss, "XScreenSaverQueryInfo", queryInfo))
            return false;
        display = openDisplay(nullptr);
        if (!display)
            return false;
        int eventBase = 0;
        int errorBase = 0;
        if (!queryExtension(display, &eventBase, &errorBase))
            return false;
        info = allocInfo();
        return info != nullptr;
    }
};

std::unique_ptr<X11IdleClock> X11IdleClock::open()
{
    // Under Wayland or offscreen an X connection would only see other X programs.
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto library = std::make_unique<Library>();
    if (!library->load())
        return nullptr;
    return std::unique_ptr<X11IdleClock>(new X11IdleClock(std::move(library)));
}

X11IdleClock::X11IdleClock(std::unique_ptr<Library> library)
    : m_library(std::move(library))
{
}

X11IdleClock::~X11IdleClock() = default;

quint32 X11IdleClock::tickCount() const
{
    return monotonicTick();
}

quint32 X11IdleClock::lastInputTick() const
{
    const quint32 now = monotonicTick();
    Library& library = *m_library;
    if (!library.queryInfo(library.display, library.defaultRoot(library.display), library.info))
        return now; // No answer: better to keep the visitor's screen than to blank it.
    return now - quint32(library.info->idle);
}

} // namespace glimora::platform
