#pragma once
// A window that is a C++ object: the class's window procedure hands every message to the object
// that created the window, which owns it and destroys it with itself.

#include "win32/windows_api.h"

namespace zelto {

class WindowBase {
public:
    WindowBase() = default;
    virtual ~WindowBase();
    WindowBase(const WindowBase&) = delete;
    WindowBase& operator=(const WindowBase&) = delete;

    HWND Handle() const { return hwnd_; }

protected:
    // Registers the class on first use (the program's icon, the arrow cursor, the button face
    // behind it) and creates the window; false when that failed.
    bool Create(const wchar_t* className, DWORD exStyle, DWORD style, const wchar_t* caption, int x,
                int y, int width, int height, HWND owner);
    // Every message of the window; what it does not handle goes to DefaultMessage.
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    LRESULT DefaultMessage(UINT message, WPARAM wParam, LPARAM lParam) {
        return DefWindowProcW(hwnd_, message, wParam, lParam);
    }

private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND hwnd_ = nullptr;
};

}  // namespace zelto
