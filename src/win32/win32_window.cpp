// The Windows view over the window model, written against the system's own
// API: menus built from the model's rows (with their accelerators), a list
// box for the log, a common-controls progress bar and status bar, files
// dropped from Explorer, the system's file and folder choosers, and the
// worker's requests posted to the window's thread.
#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "convert/batch.h"
#include "convert/cmdline.h"
#include "convert/context.h"
#include "convert/preview.h"
#include "convert/process.h"
#include "convert/startup.h"
#include "util/fspath.h"
#include "util/text.h"
#include "win32/win32_window.h"
#include "window/window_model.h"

namespace molv {

namespace {

constexpr UINT kPost = WM_APP + 1;   // lParam: a std::function<void()>* to run and delete
constexpr UINT kFlush = WM_APP + 2;  // the log, status or progress changed on the worker
constexpr int kFirstCommand = 100;
constexpr int kProgressSteps = 1000;

std::wstring boxTextOf(const std::string& text) {
    std::wstring w = wideOf(text), out;
    for (std::size_t i = 0; i < w.size(); ++i) {
        if (w[i] == L'\r' && i + 1 < w.size() && w[i + 1] == L'\n') continue;
        out += (w[i] == L'\r' || w[i] == L'\n') ? std::wstring(L"\r\n") : std::wstring(1, w[i]);
    }
    return out;
}

// "Ctrl+Shift+O", "F1" as an accelerator; false when it names no key.
bool acceleratorOf(const std::string& text, WORD cmd, ACCEL& a) {
    a = {};
    a.fVirt = FVIRTKEY;
    a.cmd = cmd;
    std::string rest = text;
    for (;;) {
        if (rest.rfind("Ctrl+", 0) == 0) a.fVirt |= FCONTROL, rest = rest.substr(5);
        else if (rest.rfind("Shift+", 0) == 0) a.fVirt |= FSHIFT, rest = rest.substr(6);
        else if (rest.rfind("Alt+", 0) == 0) a.fVirt |= FALT, rest = rest.substr(4);
        else break;
    }
    if (rest.size() == 1 && ((rest[0] >= 'A' && rest[0] <= 'Z') || (rest[0] >= '0' && rest[0] <= '9'))) {
        a.key = static_cast<WORD>(rest[0]);
        return true;
    }
    if (rest.size() >= 2 && rest[0] == 'F') {
        const int n = std::atoi(rest.c_str() + 1);
        if (n >= 1 && n <= 12) {
            a.key = static_cast<WORD>(VK_F1 + n - 1);
            return true;
        }
    }
    return false;
}

// The window system the model's UI forwards to: boxes on the window's
// thread; log lines, status and progress kept under a lock and shown by
// the window's thread.
class Win32UI : public UI {
public:
    HWND owner = nullptr, list = nullptr, statusBar = nullptr, bar = nullptr;
    std::wstring title = L"molvConv";

    Answer messageBox(const std::string& text, Buttons b, Answer dflt) override {
        UINT type = MB_OK;
        switch (b) {
            case Buttons::Ok: type = MB_OK; break;
            case Buttons::OkCancel: type = MB_OKCANCEL | (dflt == Answer::Cancel ? MB_DEFBUTTON2 : 0); break;
            case Buttons::YesNo: type = MB_YESNO | (dflt == Answer::No ? MB_DEFBUTTON2 : 0); break;
            case Buttons::YesNoCancel:
                type = MB_YESNOCANCEL |
                       (dflt == Answer::No ? MB_DEFBUTTON2 : dflt == Answer::Cancel ? MB_DEFBUTTON3 : 0);
                break;
        }
        switch (MessageBoxW(owner, boxTextOf(text).c_str(), title.c_str(), type)) {
            case IDOK: return Answer::Ok;
            case IDYES: return Answer::Yes;
            case IDNO: return Answer::No;
            default: return b == Buttons::Ok ? Answer::Ok : b == Buttons::YesNo ? Answer::No : Answer::Cancel;
        }
    }
    std::optional<std::string> inputBox(const std::string& prompt, const std::string&, const std::string& dflt) override;

    void logAppend(const std::string& e) override { push({Op::Append, e, 0}); }
    void logRemoveAt(int i) override { push({Op::RemoveAt, {}, i}); }
    void logClear() override { push({Op::Clear, {}, 0}); }
    void status(const std::string& t) override {
        {
            std::lock_guard<std::mutex> lk(mu_);
            statusText_ = t;
            statusDirty_ = true;
        }
        changed();
    }
    void progress(std::int64_t done, std::int64_t total) override {
        {
            std::lock_guard<std::mutex> lk(mu_);
            done_ = done;
            total_ = total;
            progressDirty_ = true;
        }
        changed();
    }
    void pumpEvents() override {}

    // On the window's thread: puts what changed on screen.
    void flush() {
        std::vector<Op> ops;
        std::string statusText;
        bool statusDirty, progressDirty;
        std::int64_t done, total;
        {
            std::lock_guard<std::mutex> lk(mu_);
            flushPosted_ = false;
            if (!list) return;
            ops.swap(ops_);
            statusText = statusText_;
            statusDirty = statusDirty_;
            progressDirty = progressDirty_;
            statusDirty_ = progressDirty_ = false;
            done = done_;
            total = total_;
        }
        for (const Op& op : ops) {
            switch (op.kind) {
                case Op::Append: SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wideOf(op.text).c_str())); break;
                case Op::RemoveAt: SendMessageW(list, LB_DELETESTRING, static_cast<WPARAM>(op.index), 0); break;
                case Op::Clear: SendMessageW(list, LB_RESETCONTENT, 0, 0); break;
            }
        }
        if (!ops.empty()) {
            const LRESULT n = SendMessageW(list, LB_GETCOUNT, 0, 0);
            if (n > 0) SendMessageW(list, LB_SETTOPINDEX, static_cast<WPARAM>(n - 1), 0);
        }
        if (statusDirty && statusBar) SetWindowTextW(statusBar, wideOf(statusText).c_str());
        if (progressDirty && bar && total > 0) {
            if (done < 0) done = 0;
            if (done > total) done = total;
            SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(done * kProgressSteps / total), 0);
        }
    }

private:
    struct Op {
        enum Kind { Append, RemoveAt, Clear } kind;
        std::string text;
        int index;
    };
    void push(Op op) {
        {
            std::lock_guard<std::mutex> lk(mu_);
            ops_.push_back(std::move(op));
        }
        changed();
    }
    void changed() {
        if (!owner) return;  // kept until the window comes
        if (GetCurrentThreadId() == GetWindowThreadProcessId(owner, nullptr)) {
            flush();
            return;
        }
        bool post;
        {
            std::lock_guard<std::mutex> lk(mu_);
            post = !flushPosted_;
            flushPosted_ = true;
        }
        if (post) PostMessageW(owner, kFlush, 0, 0);
    }

    std::mutex mu_;
    std::vector<Op> ops_;
    std::string statusText_;
    bool statusDirty_ = false, progressDirty_ = false, flushPosted_ = false;
    std::int64_t done_ = 0, total_ = 0;
};

// The input box: a small modal window with a prompt, an edit line, OK and Cancel.
struct InputState {
    HWND edit = nullptr;
    bool done = false, ok = false;
    std::wstring text;
};

LRESULT CALLBACK inputProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    auto* st = reinterpret_cast<InputState*>(GetWindowLongPtrW(h, GWLP_USERDATA));
    switch (msg) {
        case WM_COMMAND:
            if (st && (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL)) {
                st->ok = LOWORD(wp) == IDOK;
                wchar_t buf[512] = {};
                GetWindowTextW(st->edit, buf, 511);
                st->text = buf;
                st->done = true;
            }
            return 0;
        case WM_CLOSE:
            if (st) st->done = true;
            return 0;
        default: return DefWindowProcW(h, msg, wp, lp);
    }
}

std::optional<std::string> Win32UI::inputBox(const std::string& prompt, const std::string&, const std::string& dflt) {
    HINSTANCE inst = GetModuleHandleW(nullptr);
    static bool registered = false;
    if (!registered) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = inputProc;
        wc.hInstance = inst;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = L"molvInput";
        RegisterClassW(&wc);
        registered = true;
    }
    InputState st;
    HWND h = CreateWindowExW(WS_EX_DLGMODALFRAME, L"molvInput", title.c_str(), WS_POPUP | WS_CAPTION | WS_SYSMENU,
                             CW_USEDEFAULT, CW_USEDEFAULT, 380, 150, owner, nullptr, inst, nullptr);
    SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&st));
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    auto child = [&](const wchar_t* cls, const std::wstring& text, DWORD style, int x, int y, int w, int hh, int id) {
        HWND c = CreateWindowExW(0, cls, text.c_str(), WS_CHILD | WS_VISIBLE | style, x, y, w, hh, h,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), inst, nullptr);
        SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        return c;
    };
    child(L"STATIC", wideOf(prompt), 0, 10, 10, 350, 20, 0);
    st.edit = child(L"EDIT", wideOf(dflt), WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 10, 35, 350, 22, 10);
    child(L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 190, 75, 80, 26, IDOK);
    child(L"BUTTON", L"Cancel", WS_TABSTOP, 280, 75, 80, 26, IDCANCEL);
    if (owner) EnableWindow(owner, FALSE);
    ShowWindow(h, SW_SHOW);
    SetFocus(st.edit);
    MSG m;
    while (!st.done && GetMessageW(&m, nullptr, 0, 0) > 0) {
        if (m.message == WM_KEYDOWN && (m.wParam == VK_RETURN || m.wParam == VK_ESCAPE)) {
            SendMessageW(h, WM_COMMAND, m.wParam == VK_RETURN ? IDOK : IDCANCEL, 0);
            continue;
        }
        if (!IsDialogMessageW(h, &m)) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
    }
    if (owner) EnableWindow(owner, TRUE);
    DestroyWindow(h);
    if (!st.ok) return std::nullopt;
    return utf8Of(st.text);
}

// The last set's preview, turned with the mouse by the rule every view
// shares: drag orbits (a light picture until the button is let go), the
// wheel zooms, a double click resets.
class PreviewPane {
public:
    HWND hwnd = nullptr;

    bool create(HWND parent, HINSTANCE inst) {
        WNDCLASSW wc = {};
        wc.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = proc;
        wc.hInstance = inst;
        wc.hCursor = LoadCursorW(nullptr, IDC_HAND);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = L"molvPreview";
        RegisterClassW(&wc);
        hwnd = CreateWindowExW(WS_EX_CLIENTEDGE, L"molvPreview", L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, parent,
                               reinterpret_cast<HMENU>(4), inst, this);
        return hwnd != nullptr;
    }
    void show(const LoadedScene* s) {
        scene_ = s && s->ok ? std::make_unique<PreviewScene>(s->scene) : nullptr;
        message_ = s && !s->ok ? s->message : std::string();
        camera_ = {};
        InvalidateRect(hwnd, nullptr, TRUE);
    }

private:
    static LRESULT CALLBACK proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
        if (msg == WM_NCCREATE)
            SetWindowLongPtrW(h, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
        auto* self = reinterpret_cast<PreviewPane*>(GetWindowLongPtrW(h, GWLP_USERDATA));
        return self ? self->handle(h, msg, wp, lp) : DefWindowProcW(h, msg, wp, lp);
    }
    void turnTo(const PreviewCamera& c) {
        if (c == camera_) return;
        camera_ = c;
        InvalidateRect(hwnd, nullptr, FALSE);
    }
    LRESULT handle(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
        const int x = static_cast<short>(LOWORD(lp)), y = static_cast<short>(HIWORD(lp));
        switch (msg) {
            case WM_LBUTTONDOWN:
                if (!scene_) return 0;
                SetCapture(h);
                dragging_ = true;
                lastX_ = x, lastY_ = y;
                return 0;
            case WM_MOUSEMOVE:
                if (dragging_) {
                    PreviewCamera c = orbitPreview(camera_, x - lastX_, y - lastY_);
                    c.light = true;
                    lastX_ = x, lastY_ = y;
                    turnTo(c);
                }
                return 0;
            case WM_LBUTTONUP:
            case WM_CAPTURECHANGED:
                if (dragging_) {
                    dragging_ = false;
                    if (msg == WM_LBUTTONUP) ReleaseCapture();
                    PreviewCamera c = camera_;
                    c.light = false;
                    turnTo(c);
                }
                return 0;
            case WM_MOUSEWHEEL:
                if (scene_) turnTo(zoomPreview(camera_, GET_WHEEL_DELTA_WPARAM(wp) / double(WHEEL_DELTA)));
                return 0;
            case WM_LBUTTONDBLCLK:
                if (scene_) turnTo(PreviewCamera{});
                return 0;
            case WM_ERASEBKGND: return 1;
            case WM_PAINT: paint(h); return 0;
            default: return DefWindowProcW(h, msg, wp, lp);
        }
    }
    void paint(HWND h) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        RECT r;
        GetClientRect(h, &r);
        FillRect(dc, &r, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
        const int side = std::min<int>(r.right, r.bottom);
        if (scene_ && side >= 16) {
            const Image img = renderPreview(*scene_, side, camera_, &scratch_);
            // A top-down 32-bit DIB, blue green red.
            std::vector<std::uint8_t> bgrx(static_cast<std::size_t>(img.width) * img.height * 4);
            for (std::size_t i = 0, n = static_cast<std::size_t>(img.width) * img.height; i < n; ++i) {
                bgrx[i * 4] = img.rgb[i * 3 + 2];
                bgrx[i * 4 + 1] = img.rgb[i * 3 + 1];
                bgrx[i * 4 + 2] = img.rgb[i * 3];
            }
            BITMAPINFO bi = {};
            bi.bmiHeader.biSize = sizeof bi.bmiHeader;
            bi.bmiHeader.biWidth = img.width;
            bi.bmiHeader.biHeight = -img.height;
            bi.bmiHeader.biPlanes = 1;
            bi.bmiHeader.biBitCount = 32;
            bi.bmiHeader.biCompression = BI_RGB;
            StretchDIBits(dc, (r.right - img.width) / 2, (r.bottom - img.height) / 2, img.width, img.height, 0, 0,
                          img.width, img.height, bgrx.data(), &bi, DIB_RGB_COLORS, SRCCOPY);
        } else if (!message_.empty()) {
            SetBkMode(dc, TRANSPARENT);
            SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
            const std::wstring text = wideOf(message_);
            DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CENTER | DT_VCENTER | DT_WORDBREAK);
        }
        EndPaint(h, &ps);
    }

    std::unique_ptr<PreviewScene> scene_;
    std::string message_;
    PreviewCamera camera_;
    PreviewScratch scratch_;
    bool dragging_ = false;
    int lastX_ = 0, lastY_ = 0;
};

class Win32Window : public WindowView {
public:
    Win32Window(Context& ctx, Win32UI& ui) : ctx_(ctx), ui_(ui) {}
    ~Win32Window() override { model_.reset(); }

    bool create(HINSTANCE inst);
    void show(int how) {
        ShowWindow(hwnd_, how);
        UpdateWindow(hwnd_);
    }
    int run();
    WindowModel& model() { return *model_; }

    void post(std::function<void()> fn) override {
        auto* p = new std::function<void()>(std::move(fn));
        if (!PostMessageW(hwnd_, kPost, 0, reinterpret_cast<LPARAM>(p))) delete p;
    }
    void refresh() override;
    void busyChanged(bool running) override {
        ShowWindow(ui_.bar, running ? SW_SHOW : SW_HIDE);
        SendMessageW(ui_.bar, PBM_SETPOS, 0, 0);
        ui_.flush();
    }
    std::string choosePath(const PathRequest& req) override;
    void showPreview(const LoadedScene* scene) override { preview_.show(scene); }
    void closeWindow() override { SendMessageW(hwnd_, WM_CLOSE, 0, 0); }
    void endProgram(int status) override {
        status_ = status;
        DestroyWindow(hwnd_);
    }

private:
    static LRESULT CALLBACK proc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT handle(UINT msg, WPARAM wp, LPARAM lp);
    void layout();

    Context& ctx_;
    Win32UI& ui_;
    std::unique_ptr<WindowModel> model_;
    HWND hwnd_ = nullptr;
    PreviewPane preview_;
    HMENU bar_ = nullptr;
    HACCEL accel_ = nullptr;
    std::vector<const MenuItem*> commands_;  // command id - kFirstCommand
    int status_ = 0;
};

bool Win32Window::create(HINSTANCE inst) {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = proc;
    wc.hInstance = inst;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = L"molvConv";
    RegisterClassW(&wc);
    hwnd_ = CreateWindowExW(WS_EX_ACCEPTFILES, L"molvConv", wideOf(ctx_.app.title).c_str(), WS_OVERLAPPEDWINDOW,
                            CW_USEDEFAULT, CW_USEDEFAULT, 900, 560, nullptr, nullptr, inst, this);
    if (!hwnd_) return false;
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    ui_.owner = hwnd_;
    ui_.title = wideOf(ctx_.app.title);
    ui_.list = CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", L"",
                               WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOINTEGRALHEIGHT | LBS_EXTENDEDSEL, 0, 0, 10,
                               10, hwnd_, reinterpret_cast<HMENU>(1), inst, nullptr);
    SendMessageW(ui_.list, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (!preview_.create(hwnd_, inst)) return false;
    ui_.statusBar = CreateWindowExW(0, STATUSCLASSNAMEW, L".", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, hwnd_,
                                 reinterpret_cast<HMENU>(2), inst, nullptr);
    ui_.bar = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD, 0, 0, 10, 10, ui_.statusBar,
                              reinterpret_cast<HMENU>(3), inst, nullptr);
    SendMessageW(ui_.bar, PBM_SETRANGE32, 0, kProgressSteps);

    model_ = std::make_unique<WindowModel>(ctx_, ui_, *this);
    // The menus and their accelerators from the model's rows.
    bar_ = CreateMenu();
    std::vector<ACCEL> accels;
    for (const Menu& m : model_->menus()) {
        HMENU sub = CreatePopupMenu();
        for (const MenuItem& i : m.items) {
            if (i.kind == MenuItem::Kind::Separator) {
                AppendMenuW(sub, MF_SEPARATOR, 0, nullptr);
                continue;
            }
            const WORD id = static_cast<WORD>(kFirstCommand + commands_.size());
            commands_.push_back(&i);
            std::wstring text = wideOf(i.caption);
            if (!i.shortcut.empty()) text += L"\t" + wideOf(i.shortcut);
            AppendMenuW(sub, MF_STRING, id, text.c_str());
            ACCEL a;
            if (acceleratorOf(i.shortcut, id, a)) accels.push_back(a);
        }
        AppendMenuW(bar_, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), wideOf(m.caption).c_str());
    }
    SetMenu(hwnd_, bar_);
    if (!accels.empty()) accel_ = CreateAcceleratorTableW(accels.data(), static_cast<int>(accels.size()));
    layout();
    refresh();
    ui_.flush();
    return true;
}

void Win32Window::layout() {
    RECT r;
    GetClientRect(hwnd_, &r);
    SendMessageW(ui_.statusBar, WM_SIZE, 0, 0);
    RECT s;
    GetWindowRect(ui_.statusBar, &s);
    const int sh = s.bottom - s.top;
    // The log on the left, the preview a square on the right.
    const int h = std::max(0L, r.bottom - sh);
    const int pw = std::min<int>(h, static_cast<int>(r.right / 2));
    MoveWindow(ui_.list, 0, 0, r.right - pw, h, TRUE);
    MoveWindow(preview_.hwnd, r.right - pw, 0, pw, h, TRUE);
    MoveWindow(ui_.bar, r.right - 200, 2, 180, sh - 4, TRUE);
}

void Win32Window::refresh() {
    if (!bar_) return;
    int pos = 0;
    std::size_t k = 0;
    for (const Menu& m : model_->menus()) {
        EnableMenuItem(bar_, static_cast<UINT>(pos), MF_BYPOSITION | (model_->menuEnabled(m) ? MF_ENABLED : MF_GRAYED));
        ++pos;
        for (const MenuItem& i : m.items) {
            if (i.kind == MenuItem::Kind::Separator) continue;
            const UINT id = static_cast<UINT>(kFirstCommand + k++);
            EnableMenuItem(bar_, id, MF_BYCOMMAND | (model_->enabled(i) ? MF_ENABLED : MF_GRAYED));
            if (i.kind != MenuItem::Kind::Command)
                CheckMenuItem(bar_, id, MF_BYCOMMAND | (model_->checked(i) ? MF_CHECKED : MF_UNCHECKED));
            if (i.id == "m_s_setsize" || i.id == "m_s_setbone")
                ModifyMenuW(bar_, id, MF_BYCOMMAND | MF_STRING, id, wideOf(model_->caption(i)).c_str());
        }
    }
    DrawMenuBar(hwnd_);
}

std::string Win32Window::choosePath(const PathRequest& req) {
    if (req.folders) {
        BROWSEINFOW bi = {};
        bi.hwndOwner = hwnd_;
        const std::wstring title = wideOf(req.title);
        bi.lpszTitle = title.c_str();
        bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
        PIDLIST_ABSOLUTE pidl = SHBrowseForFolderW(&bi);
        if (!pidl) return {};
        wchar_t path[MAX_PATH] = {};
        const bool ok = SHGetPathFromIDListW(pidl, path);
        CoTaskMemFree(pidl);
        return ok ? utf8Of(path) : std::string();
    }
    // The filter: description and pattern pairs, each ended by a NUL.
    std::wstring filter;
    for (char c : req.filter) filter += c == '|' ? L'\0' : static_cast<wchar_t>(static_cast<unsigned char>(c));
    filter += L'\0';
    filter += L'\0';
    std::wstring start = wideOf(req.start);
    std::vector<wchar_t> file(32768, L'\0');
    std::wstring initialDir;
    if (!start.empty()) {
        const std::size_t cut = start.find_last_of(L"\\/");
        if (cut != std::wstring::npos) initialDir = start.substr(0, cut);
    }
    const std::wstring title = wideOf(req.title);
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = hwnd_;
    ofn.lpstrFilter = filter.c_str();
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrInitialDir = initialDir.empty() ? nullptr : initialDir.c_str();
    ofn.lpstrTitle = title.c_str();
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_EXPLORER | OFN_HIDEREADONLY;
    if (!GetOpenFileNameW(&ofn)) return {};
    return utf8Of(file.data());
}

LRESULT CALLBACK Win32Window::proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(h, GWLP_USERDATA));
    if (self && self->hwnd_ == h) return self->handle(msg, wp, lp);
    return DefWindowProcW(h, msg, wp, lp);
}

LRESULT Win32Window::handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case kPost: {
            std::unique_ptr<std::function<void()>> fn(reinterpret_cast<std::function<void()>*>(lp));
            if (fn && *fn) (*fn)();
            return 0;
        }
        case kFlush: ui_.flush(); return 0;
        case WM_SIZE: layout(); return 0;
        case WM_COMMAND: {
            const int k = LOWORD(wp) - kFirstCommand;
            if (k >= 0 && static_cast<std::size_t>(k) < commands_.size()) model_->trigger(commands_[static_cast<std::size_t>(k)]->id);
            return 0;
        }
        case WM_DROPFILES: {
            HDROP drop = reinterpret_cast<HDROP>(wp);
            std::vector<std::string> paths;
            const UINT n = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
            for (UINT i = 0; i < n; ++i) {
                std::vector<wchar_t> buf(DragQueryFileW(drop, i, nullptr, 0) + 1);
                DragQueryFileW(drop, i, buf.data(), static_cast<UINT>(buf.size()));
                paths.push_back(utf8Of(buf.data()));
            }
            DragFinish(drop);
            model_->drop(paths);
            return 0;
        }
        case WM_CLOSE:
            if (model_->closeRequested()) DestroyWindow(hwnd_);
            return 0;
        case WM_DESTROY: PostQuitMessage(status_); return 0;
        default: return DefWindowProcW(hwnd_, msg, wp, lp);
    }
}

int Win32Window::run() {
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) {
        if (accel_ && TranslateAcceleratorW(hwnd_, accel_, &m)) continue;
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
    return static_cast<int>(m.wParam);
}

}  // namespace

int runWin32Window(int argc, char** argv) {
    // Convert Folder runs each item as a child of its own; no window then.
    if (argc == 2 && std::string(argv[1]) == "--batch-item") return batchItemMain();
    std::string programPath = processProgramPath(argc > 0 ? argv[0] : nullptr);
    if (programPath.empty()) programPath = "molvconv-gui";
    std::string cmdLine = processArguments(argc, argv);
    std::string offered;
    // "--open FILE" (Explorer's Open with): the words as Windows splits them.
    int nArgs = 0;
    if (LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &nArgs)) {
        if (nArgs == 3 && std::wstring_view(args[1]) == L"--open") {
            offered = utf8Of(args[2]);
            cmdLine.clear();
        }
        LocalFree(args);
    }
    const CmdLineOptions early = parseCommandLine(cmdLine);
    if (!early.error.empty()) {
        MessageBoxW(nullptr, wideOf(early.error).c_str(), L"molvConv", MB_OK);
        return kExitUsage;
    }
    Win32UI ui;
    Context ctx(ui);
    StartupResult r = startUp(ctx, cmdLine, programPath, ProcessEnv::current());
    if (!r.ok) return kExitFailed;
    Win32Window window(ctx, ui);
    if (!window.create(GetModuleHandleW(nullptr))) return kExitFailed;
    window.model().setItemProgram(runningProgramFile(argc > 0 ? argv[0] : nullptr));
    window.show(SW_SHOWDEFAULT);
    if (r.opts.srcFile.empty()) {
        finishStartupWithoutSource(ctx);
        if (!offered.empty()) window.model().offerSource(offered);
    } else {
        std::vector<wchar_t> cwd(GetCurrentDirectoryW(0, nullptr) + 1, L'\0');
        GetCurrentDirectoryW(static_cast<DWORD>(cwd.size()), cwd.data());
        window.model().convertAtStart(r.opts, utf8Of(cwd.data()));
    }
    return window.run();
}

}  // namespace molv
