#include "launch/conversion_job_win.h"

#include "host/platform_win.h"
#include "launch/converter_command_line.h"
#include "launch/hidden_window_win.h"
#include "launch/run_program.h"
#include "zevar/dfile_io_win.h"
#include "zevar/dfile_write.h"
#include "zevar/dtemp.h"

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

void DeleteSource(const DWString& path) {
  if (path.empty()) return;
  if (SetFileAttributesW(W(path.c_str()), FILE_ATTRIBUTE_NORMAL)) DeleteFileW(W(path.c_str()));
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

bool WriteConversionSource(const DByteChain& page, DWString* path, bool is_mhtml,
                           DTempPlatform* temp, DFileIo* io) {
  path->Empty();
  DWString folder;
  if (!DGetTempFolder(&folder)) return false;
  if (!DMakeUniqueTempNameFrom(temp, folder.c_str(), u"vlx_", is_mhtml ? u"mhtml" : u"html", path,
                               nullptr))
    return false;
  // A failed write has removed its file; the path must not name it any more.
  if (DWriteNewFileFrom(io, path->c_str(), page) >= 0) return true;
  path->Empty();
  return false;
}

int32_t Win32Converter::RunConversion(HostSession& session, const DByteChain& page,
                                      const DWChar* title, bool is_mhtml) {
  DWString converter;
  if (!ComposeConverterPath(&converter)) return -1;  // no converter to start
  DWString source;
  int32_t result = 0;
  bool written = WriteConversionSource(page, &source, is_mhtml);
  // A converter that ended without its result may not have deleted the page.
  bool unfinished = false;
  if (written) {
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
    result = BuildConvertCommandLine(kMode, source.c_str(), title, true,
                                     has_window ? context.window : nullptr, &arguments)
                 ? RunProgram(converter.c_str(), arguments.c_str(), true,
                              has_window ? &context : nullptr)
                 : -1;
    unfinished = has_window && !context.finalized;
  }
  // Only a file that this run wrote is ever deleted.
  if (written && (result == -1 || unfinished)) DeleteSource(source);
  return result;
}
