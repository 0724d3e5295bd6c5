#include "framework/window.h"

namespace {
const char kThisProp[] = "KelvoWindowObject";
const UINT_PTR kSubclassId = 0x4B4C;
const UINT_PTR kCheckBoxImagesId = 0x4B43;

// Takes the check-box pictures away from the list before it lets them go (or, on some systems,
// would not), so that they are freed exactly once, here.
LRESULT CALLBACK CheckBoxImagesProc(HWND h, UINT msg, WPARAM w, LPARAM l, UINT_PTR, DWORD_PTR) {
    bool dropping = msg == WM_DESTROY;
    if (msg == LVM_SETEXTENDEDLISTVIEWSTYLE) {
        DWORD mask = w ? static_cast<DWORD>(w) : 0xFFFFFFFF;
        dropping = (mask & LVS_EX_CHECKBOXES) && !(static_cast<DWORD>(l) & LVS_EX_CHECKBOXES);
    }
    if (msg == WM_NCDESTROY) ::RemoveWindowSubclass(h, &CheckBoxImagesProc, kCheckBoxImagesId);
    if (!dropping) return ::DefSubclassProc(h, msg, w, l);
    auto pictures = reinterpret_cast<HIMAGELIST>(::SendMessageA(h, LVM_GETIMAGELIST, LVSIL_STATE, 0));
    if (pictures && (::SendMessageA(h, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_CHECKBOXES))
        ::SendMessageA(h, LVM_SETIMAGELIST, LVSIL_STATE, 0);
    else
        pictures = nullptr;
    LRESULT r = ::DefSubclassProc(h, msg, w, l);
    if (pictures) ::ImageList_Destroy(pictures);
    return r;
}
}  // namespace

bool FreeCheckBoxImagesWithList(HWND list) {
    return list && ::SetWindowSubclass(list, &CheckBoxImagesProc, kCheckBoxImagesId, 0);
}

HINSTANCE AppInstance() { return ::GetModuleHandleA(nullptr); }

std::string CWindow::Text() const {
    int n = ::GetWindowTextLengthA(m_hWnd);
    std::string s(n + 1, '\0');
    n = ::GetWindowTextA(m_hWnd, &s[0], n + 1);
    s.resize(n > 0 ? n : 0);
    return s;
}

std::string CWindow::ItemText(int id) const { return CWindow(Item(id)).Text(); }

RECT CWindow::ClientRect() const {
    RECT rc {};
    ::GetClientRect(m_hWnd, &rc);
    return rc;
}

RECT CWindow::WindowRect() const {
    RECT rc {};
    ::GetWindowRect(m_hWnd, &rc);
    return rc;
}

bool CMessageRoutes::Route(UINT msg, WPARAM w, LPARAM l, LRESULT& result) {
    if (msg == WM_COMMAND) {
        UINT id = LOWORD(w);
        for (auto& c : commands_) {
            if (c.id == id) { c.fn(); result = 0; return true; }
        }
    } else if (msg == WM_NOTIFY && l) {
        auto* h = reinterpret_cast<NMHDR*>(l);
        for (auto& n : notifies_) {
            if ((n.id == 0 || n.id == h->idFrom) && n.code == h->code) { result = n.fn(h); return true; }
        }
    } else if (msg == OCM_NOTIFY_MSG && l) {
        auto* h = reinterpret_cast<NMHDR*>(l);
        for (auto& n : reflected_) {
            if (n.code == h->code) { result = n.fn(h); return true; }
        }
    }
    for (auto& m : messages_) {
        if (m.msg == msg) { result = m.fn(w, l); return true; }
    }
    return false;
}

bool ReflectToChild(UINT msg, WPARAM w, LPARAM l, LRESULT& result) {
    HWND child = nullptr;
    if (msg == WM_NOTIFY && l) child = reinterpret_cast<NMHDR*>(l)->hwndFrom;
    else if (msg == WM_COMMAND && l) child = reinterpret_cast<HWND>(l);
    if (!child || !::GetPropA(child, kThisProp)) return false;
    result = ::SendMessageA(child, WM_REFLECT_BASE + msg, w, l);
    return true;
}

CWindowImpl::~CWindowImpl() {
    if (m_hWnd && ::IsWindow(m_hWnd)) {
        HWND h = m_hWnd;
        Detach();
        ::DestroyWindow(h);
    }
}

HWND CWindowImpl::Create(HWND parent, const RECT& rc, const char* title, DWORD style, DWORD exStyle,
                         HMENU menuOrId) {
    WNDCLASSEXA wc {};
    wc.cbSize = sizeof wc;
    if (!::GetClassInfoExA(AppInstance(), ClassName(), &wc)) {
        wc = WNDCLASSEXA {};
        wc.cbSize = sizeof wc;
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = &CWindowImpl::StartProc;
        wc.hInstance = AppInstance();
        wc.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = ClassName();
        AdjustClass(wc);
        if (!::RegisterClassExA(&wc)) return nullptr;
    }
    return ::CreateWindowExA(exStyle, ClassName(), title, style, rc.left, rc.top, rc.right - rc.left,
                             rc.bottom - rc.top, parent, menuOrId, AppInstance(), this);
}

HWND CWindowImpl::CreateControl(const char* className, HWND parent, const RECT& rc, const char* title,
                                DWORD style, DWORD exStyle, UINT id) {
    HWND h = ::CreateWindowExA(exStyle, className, title, style, rc.left, rc.top, rc.right - rc.left,
                               rc.bottom - rc.top, parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                               AppInstance(), nullptr);
    if (h && !Subclass(h)) {
        ::DestroyWindow(h);
        return nullptr;
    }
    return h;
}

bool CWindowImpl::Subclass(HWND hwnd) {
    if (!::SetWindowSubclass(hwnd, &CWindowImpl::SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this)))
        return false;
    m_hWnd = hwnd;
    subclassed_ = true;
    ::SetPropA(hwnd, kThisProp, reinterpret_cast<HANDLE>(this));
    return true;
}

void CWindowImpl::Detach() {
    if (!m_hWnd) return;
    if (::IsWindow(m_hWnd)) {
        ::RemovePropA(m_hWnd, kThisProp);
        if (subclassed_) ::RemoveWindowSubclass(m_hWnd, &CWindowImpl::SubclassProc, kSubclassId);
        else ::SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, 0);
    }
    subclassed_ = false;
    m_hWnd = nullptr;
}

void CWindowImpl::Destroy() {
    if (m_hWnd && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
}

LRESULT CWindowImpl::Default() { return DefaultFor(current_.msg, current_.w, current_.l); }

LRESULT CWindowImpl::DefaultFor(UINT msg, WPARAM w, LPARAM l) {
    if (subclassed_) return ::DefSubclassProc(m_hWnd, msg, w, l);
    return ::DefWindowProcA(m_hWnd, msg, w, l);
}

LRESULT CWindowImpl::WindowProc(UINT msg, WPARAM w, LPARAM l) {
    LRESULT r = 0;
    if (Route(msg, w, l, r)) return r;
    if ((msg == WM_NOTIFY || msg == WM_COMMAND) && ReflectToChild(msg, w, l, r)) return r;
    return DefaultFor(msg, w, l);
}

LRESULT CWindowImpl::Dispatch(UINT msg, WPARAM w, LPARAM l) {
    Current saved = current_;
    current_ = {msg, w, l};
    LRESULT r = WindowProc(msg, w, l);
    current_ = saved;
    if (msg == WM_NCDESTROY) {
        Detach();
        OnFinalMessage();
    }
    return r;
}

LRESULT CALLBACK CWindowImpl::StartProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
    auto* self = reinterpret_cast<CWindowImpl*>(::GetWindowLongPtrA(h, GWLP_USERDATA));
    if (!self && msg == WM_NCCREATE) {
        self = static_cast<CWindowImpl*>(reinterpret_cast<CREATESTRUCTA*>(l)->lpCreateParams);
        if (self) {
            self->m_hWnd = h;
            ::SetWindowLongPtrA(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
            ::SetPropA(h, kThisProp, reinterpret_cast<HANDLE>(self));
        }
    }
    if (!self) return ::DefWindowProcA(h, msg, w, l);
    return self->Dispatch(msg, w, l);
}

LRESULT CALLBACK CWindowImpl::SubclassProc(HWND h, UINT msg, WPARAM w, LPARAM l, UINT_PTR, DWORD_PTR data) {
    return reinterpret_cast<CWindowImpl*>(data)->Dispatch(msg, w, l);
}
