#include "platform/modules.h"

#include "framework/afxwin.h"

namespace {

BOOL SetLayeredWindowAttributesImpl(HWND h, COLORREF, BYTE alpha, DWORD flags) {
    CWnd* w = CWnd::FromHandle(h);
    if (!w || !(flags & LWA_ALPHA) || !(w->GetExStyle() & WS_EX_LAYERED))
        return FALSE;
    return w->SetLayeredAlpha(alpha);
}

// The one module there is: "USER32.DLL" (any case), counted by reference,
// offering "SetLayeredWindowAttributes" while a reference is held.
class ModuleTable final : public platform::ModulePort {
public:
    HMODULE Load(const CString& name) override {
        if (name.compare(QLatin1String("USER32.DLL"), Qt::CaseInsensitive) != 0)
            return nullptr;
        ++m_user32Refs;
        return &m_user32Tag;
    }
    BOOL Free(HMODULE module) override {
        if (module != &m_user32Tag || m_user32Refs == 0)
            return FALSE;
        --m_user32Refs;
        return TRUE;
    }
    FARPROC EntryPoint(HMODULE module, const char* name) override {
        if (module != &m_user32Tag || m_user32Refs == 0 || !name)
            return nullptr;
        if (qstrcmp(name, "SetLayeredWindowAttributes") == 0)
            return reinterpret_cast<FARPROC>(&SetLayeredWindowAttributesImpl);
        return nullptr;
    }

private:
    int m_user32Refs = 0;
    int m_user32Tag = 0;
};

}  // namespace

HMODULE LoadLibraryW(const CString& name) {
    return platform::ModulesInUse().Load(name);
}

BOOL FreeLibrary(HMODULE module) {
    return platform::ModulesInUse().Free(module);
}

FARPROC GetProcAddress(HMODULE module, const char* name) {
    return platform::ModulesInUse().EntryPoint(module, name);
}

namespace platform {

ModulePort& RealModules() {
    static auto* modules = new ModuleTable();
    return *modules;
}

}  // namespace platform
