// Thin window layer over the Win32 API: a handle wrapper, and a window base class whose
// messages are routed through a per-object dispatch table that the derived class fills in
// its constructor.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

// Notifications and commands a parent sends back to the child control they came from, so
// that a control class can handle its own notifications.
constexpr UINT WM_REFLECT_BASE = WM_USER + 0x1C00;
constexpr UINT OCM_NOTIFY_MSG = WM_REFLECT_BASE + WM_NOTIFY;
constexpr UINT OCM_COMMAND_MSG = WM_REFLECT_BASE + WM_COMMAND;

// The module that holds our resources (the program, or a test program).
HINSTANCE AppInstance();

class CWindow {
public:
    HWND m_hWnd = nullptr;

    CWindow() = default;
    explicit CWindow(HWND h) : m_hWnd(h) {}
    operator HWND() const { return m_hWnd; }

    bool IsWindow() const { return m_hWnd && ::IsWindow(m_hWnd); }
    LRESULT Send(UINT msg, WPARAM w = 0, LPARAM l = 0) const { return ::SendMessageA(m_hWnd, msg, w, l); }
    HWND Item(int id) const { return ::GetDlgItem(m_hWnd, id); }
    std::string Text() const;
    void SetText(const std::string& s) const { ::SetWindowTextA(m_hWnd, s.c_str()); }
    std::string ItemText(int id) const;
    void SetItemText(int id, const std::string& s) const { ::SetDlgItemTextA(m_hWnd, id, s.c_str()); }
    RECT ClientRect() const;
    RECT WindowRect() const;
    void Show(int cmd) const { ::ShowWindow(m_hWnd, cmd); }
    void Enable(bool on) const { ::EnableWindow(m_hWnd, on ? TRUE : FALSE); }
    void Invalidate(bool erase = true) const { ::InvalidateRect(m_hWnd, nullptr, erase ? TRUE : FALSE); }
    void Update() const { ::UpdateWindow(m_hWnd); }
};

// A window whose messages reach member functions through a dispatch table.
//
//   CMyWnd::CMyWnd() {
//       OnMessage(WM_SIZE, [this](WPARAM w, LPARAM l) { return OnSize(w, l); });
//       OnCommand(IDOK, [this] { OnOK(); });
//       OnNotify(IDC_LIST, LVN_ITEMCHANGED, [this](NMHDR* h) { return OnItemChanged(h); });
//   }
//
// Messages without a route go to the default procedure (the class's own, the window's
// original one for a subclassed control, or the dialog manager for dialogs).
class CMessageRoutes {
public:
    using MessageFn = std::function<LRESULT(WPARAM, LPARAM)>;
    using CommandFn = std::function<void()>;
    using NotifyFn = std::function<LRESULT(NMHDR*)>;

    void OnMessage(UINT msg, MessageFn fn) { messages_.push_back({msg, std::move(fn)}); }
    // Command from a menu, accelerator or control: any notification code.
    void OnCommand(UINT id, CommandFn fn) { commands_.push_back({id, std::move(fn)}); }
    // WM_NOTIFY from control `id` with notification `code`; id 0 matches any control.
    void OnNotify(UINT id, UINT code, NotifyFn fn) { notifies_.push_back({id, code, std::move(fn)}); }
    // Notification this control sent to its parent and the parent reflected back.
    void OnReflectedNotify(UINT code, NotifyFn fn) { reflected_.push_back({0, code, std::move(fn)}); }

    // Finds and runs the route for a message; false when there is none.
    bool Route(UINT msg, WPARAM w, LPARAM l, LRESULT& result);

private:
    struct Msg { UINT msg; MessageFn fn; };
    struct Cmd { UINT id; CommandFn fn; };
    struct Ntf { UINT id; UINT code; NotifyFn fn; };
    std::vector<Msg> messages_;
    std::vector<Cmd> commands_;
    std::vector<Ntf> notifies_;
    std::vector<Ntf> reflected_;
};

class CWindowImpl : public CWindow, public CMessageRoutes {
public:
    CWindowImpl() = default;
    CWindowImpl(const CWindowImpl&) = delete;
    CWindowImpl& operator=(const CWindowImpl&) = delete;
    virtual ~CWindowImpl();

    // Registers (once) and creates a window of this object's own class.
    HWND Create(HWND parent, const RECT& rc, const char* title, DWORD style, DWORD exStyle = 0,
                HMENU menuOrId = nullptr);
    // Creates a window of an existing class (a common control) and subclasses it.
    HWND CreateControl(const char* className, HWND parent, const RECT& rc, const char* title,
                       DWORD style, DWORD exStyle, UINT id);
    // Routes an existing window's messages through this object.
    bool Subclass(HWND hwnd);
    void Detach();
    void Destroy();

    // The message being handled, and its default processing.
    LRESULT Default();

protected:
    // Class registration details for Create(); override to change them.
    virtual const char* ClassName() const { return "KelvoWindow"; }
    virtual void AdjustClass(WNDCLASSEXA& wc) const {}
    virtual LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l);
    // Called after WM_NCDESTROY, once the handle is gone.
    virtual void OnFinalMessage() {}

private:
    static LRESULT CALLBACK StartProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    LRESULT Dispatch(UINT msg, WPARAM w, LPARAM l);
    LRESULT DefaultFor(UINT msg, WPARAM w, LPARAM l);

    bool subclassed_ = false;
    struct Current { UINT msg; WPARAM w; LPARAM l; };
    Current current_ {};
};

// Reflects WM_NOTIFY and WM_COMMAND from a child control back to the child; answers true with
// the child's result when the child is one of ours.
bool ReflectToChild(UINT msg, WPARAM w, LPARAM l, LRESULT& result);

// A list view with LVS_SHAREIMAGELISTS destroys none of its image lists, not even the check-box
// pictures that LVS_EX_CHECKBOXES makes for it alone. After this call the list frees those
// itself: when its check boxes are switched off and when it is destroyed.
bool FreeCheckBoxImagesWithList(HWND list);
