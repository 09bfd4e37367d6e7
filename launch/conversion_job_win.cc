#include "launch/conversion_job_win.h"

#include "host/platform_win.h"
#include "launch/converter_command_line.h"
#include "launch/hidden_window_win.h"
#include "launch/run_program.h"
#include "zevar/dfile_io_win.h"

namespace {

const DWChar kMode[] = u"Chrome";

// Destroys the hidden window however the job ends.
struct ContextHolder {
  ConversionContext context;
  ~ContextHolder() {
    HWND window = static_cast<HWND>(context.window);
    if (window && IsWindow(window)) DestroyWindow(window);
  }
};

void DeleteSource(const DWChar* path) {
  if (SetFileAttributesW(W(path), FILE_ATTRIBUTE_NORMAL)) DeleteFileW(W(path));
}

}  // namespace

bool ComposeConverterPath(DWString* path) {
  wchar_t module[MAX_PATH];
  DWORD n = GetModuleFileNameW(GetModuleHandleW(nullptr), module, MAX_PATH);
  if (n >= MAX_PATH) n = 0;  // cut short: fall back to the bare name
  uint32_t folder = 0;
  for (DWORD i = 0; i < n; ++i)
    if (module[i] == L'\\') folder = i + 1;
  path->Empty();
  if (path->Append(reinterpret_cast<const DWChar*>(module), folder) &&
      path->Append(kConverterName))
    return true;
  path->Empty();
  return false;
}

int32_t Win32Converter::RunConversion(HostSession& session, const DWChar* source,
                                      const DWChar* title) {
  int32_t result = -1;  // no converter to start
  // A converter that ended without its result may not have deleted the page.
  bool unfinished = false;
  DWString converter;
  if (ComposeConverterPath(&converter)) {
    ContextHolder holder;
    ConversionContext& context = holder.context;
    context.session = &session;
    if (RegisterHiddenWindowClass()) {
      HWND window = CreateWindowExW(0, kHiddenWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                                    nullptr, GetModuleHandleW(nullptr), nullptr);
      if (window) SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&context));
      context.window = window;
    }
    bool has_window = context.window && IsWindow(static_cast<HWND>(context.window));
    RegisterConverterMessages();
    // A line that could not be built whole would start the converter on
    // part of it: that is a converter that cannot be started.
    DWString arguments;
    if (BuildConvertCommandLine(kMode, source, title, true, has_window ? context.window : nullptr,
                                &arguments)) {
      result =
          RunProgram(converter.c_str(), arguments.c_str(), true, has_window ? &context : nullptr);
      unfinished = has_window && !context.finalized;
    }
  }
  // The page this request wrote, when no converter will delete it.
  if (result == -1 || unfinished) DeleteSource(source);
  return result;
}
