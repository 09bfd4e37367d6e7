#include "launch/hidden_window_win.h"

#include "host/cancel_watcher_win.h"
#include "host/channel.h"
#include "host/host_session.h"
#include "host/platform_win.h"
#include "launch/progress_relay.h"

const wchar_t kHiddenWindowClass[] = L"VNX::HTLM2PDFHiddenWindow";

namespace {

// Process-wide, set on the first conversion.
ATOM g_class_atom = 0;
UINT g_progress_message = 0;
UINT g_finalized_message = 0;

void Send(ConversionContext& context, const DString& text) {
  WriteMessage(context.session->channel, text.c_str());
}

}  // namespace

bool RegisterHiddenWindowClass() {
  if (g_class_atom) return true;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW info = {};
  info.cbSize = sizeof info;
  g_class_atom = ATOM(GetClassInfoExW(instance, kHiddenWindowClass, &info));
  if (!g_class_atom) {
    info = WNDCLASSEXW{};
    info.cbSize = sizeof info;
    info.lpfnWndProc = HiddenWindowProc;
    info.hInstance = instance;
    info.lpszClassName = kHiddenWindowClass;
    g_class_atom = RegisterClassExW(&info);
  }
  return g_class_atom != 0;
}

void RegisterConverterMessages() {
  if (g_progress_message) return;
  g_progress_message = RegisterWindowMessageW(L"VLX:HTP:Progress");
  g_finalized_message = RegisterWindowMessageW(L"VLX:HTP:Finalized");
}

bool OnConverterMessage(ConversionContext& context, UINT message, WPARAM wparam, LPARAM lparam) {
  if (g_progress_message && message == g_progress_message) {
    DString text;
    ComposeProgressMessage(int32_t(uint32_t(wparam)), &text);
    Send(context, text);
    return true;
  }
  if (g_finalized_message && message == g_finalized_message) {
    context.result = uint32_t(wparam);
    context.finalized = true;
    PostThreadMessageW(GetCurrentThreadId(), WM_QUIT, 0, 0);
    return true;
  }
  if (message != WM_COPYDATA) return false;
  const COPYDATASTRUCT* block = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
  if (!block) return true;
  if (block->dwData == 1) {
    // One watcher per conversion: it owns the name from its start on.
    if (context.watcher_thread) return true;
    CopyBlockText(block->lpData, block->cbData, &context.cancel_event_name);
    StartCancelWatcher(context);
  } else if (block->dwData == 2) {
    DWString error;
    CopyBlockText(block->lpData, block->cbData, &error);
    DString text;
    ComposeErrorMessage(error.c_str(), error.length(), &text);
    Send(context, text);
  }
  return true;
}

LRESULT CALLBACK HiddenWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* context = reinterpret_cast<ConversionContext*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (context && OnConverterMessage(*context, message, wparam, lparam)) return 0;
  return DefWindowProcW(window, message, wparam, lparam);
}
