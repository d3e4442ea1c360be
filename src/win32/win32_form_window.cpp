#include "win32/win32_form_window.h"

#include <utility>

#include "win32/barrier.h"

namespace tcp::win32 {
namespace {

constexpr char kFormClass[] = "TcpPluginForm";

// What the form window keeps: where its messages go and its font. Lives from
// just after CreateWindowExA until WM_NCDESTROY.
struct FormWindowData {
  FormWindowEvents* events;
  HFONT font;
};

FormWindowData* dataOf(HWND window) {
  return reinterpret_cast<FormWindowData*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

// Hands one of the form's own messages to its events.
int dispatch(FormWindowData& data, UINT message) {
  if (message == kPlaceFormMessage && data.events) data.events->placementDue();
  if (message == WM_CLOSE && data.events) data.events->formClosing();
  // Detached first: no message reaches the events once the window goes.
  if (message == WM_DESTROY)
    if (FormWindowEvents* events = std::exchange(data.events, nullptr)) events->formDestroyed();
  return 0;
}

LRESULT CALLBACK formProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  FormWindowData* data = dataOf(window);
  switch (message) {
    case kPlaceFormMessage:
    case WM_CLOSE:
      return Shielded(0, [&] { return dispatch(*data, message); });
    case WM_DESTROY:
      Shielded(0, [&] { return dispatch(*data, message); });
      break;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(data->font);
    case WM_NCDESTROY:
      SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DefWindowProcA));
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      DeleteObject(data->font);
      delete data;
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// The class itself runs only the platform's default procedure: each form
// window is given formProcedure once its data is in place, and hands it back
// when it goes. A class left registered after the library is unloaded calls
// no code of the library.
void registerFormClass() {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = thisModule();
  windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kFormClass;
  RegisterClassA(&windowClass);
}

// 8 points at the standard 96 dots per inch.
HFONT createFont(const std::string& face) {
  return CreateFontA(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str());
}

}  // namespace

HWND createFormWindow(const FormWindowLayout& layout, FormWindowEvents& events) {
  registerFormClass();
  const DWORD style = layout.style;
  const DWORD extendedStyle = layout.extendedStyle;
  RECT bounds = {0, 0, layout.clientWidth, layout.clientHeight};
  AdjustWindowRectEx(&bounds, style, FALSE, extendedStyle);
  HWND window = CreateWindowExA(extendedStyle, kFormClass, layout.caption.c_str(), style, 0, 0,
                                bounds.right - bounds.left, bounds.bottom - bounds.top,
                                reinterpret_cast<HWND>(layout.owner), nullptr, thisModule(), nullptr);
  if (!window) return nullptr;
  SetWindowLongPtrA(window, GWLP_USERDATA,
                    reinterpret_cast<LONG_PTR>(new FormWindowData{&events, createFont(layout.fontFace)}));
  SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(formProcedure));
  return window;
}

void destroyFormWindow(HWND window) {
  if (FormWindowData* data = dataOf(window)) data->events = nullptr;
  DestroyWindow(window);
}

void unregisterFormClass() { UnregisterClassA(kFormClass, thisModule()); }

}  // namespace tcp::win32
