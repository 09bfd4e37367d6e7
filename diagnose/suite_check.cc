#include "diagnose/suite_check.h"

#include <cinttypes>
#include <cstdio>

#include "diagnose/browser_places.h"

namespace {

constexpr uint64_t kLowSpace = 256ull << 20;
constexpr char kEditorKey[] = "HKLM\\SOFTWARE\\Vellumix\\PDFEditor \"InstallPath\"";

void CheckSignature(DiagnoseSystem* system, Report& report, const char* own_path) {
  uint32_t code = 0;
  switch (system->CheckSignature(own_path, &code)) {
    case Signature::kValid:
      report.Ok("host", "the program's signature is valid.");
      return;
    case Signature::kNone:
      report.Note("host", "the program is not signed.");
      return;
    case Signature::kInvalid: {
      char text[16];
      static_cast<void>(std::snprintf(text, sizeof text, "0x%08X", unsigned(code)));
      report.Problem("host", "Reinstall the host package from its original source.",
                     "the program's signature does not verify (", text,
                     "): security software may block it.");
    }
  }
}

void CheckEditor(DiagnoseSystem* system, Report& report) {
  const View kViews[] = {View::k32, View::k64};
  DString used;
  for (View view : kViews) {
    DString folder;
    if (!system->EditorFolder(view, &folder)) {
      report.Note("editor", "no entry", ViewName(view), " at ", kEditorKey, ".");
      continue;
    }
    report.Ok("editor", "registered", ViewName(view), ": ", folder.c_str());
    // The host takes the first view that holds a folder.
    if (used.empty() && !used.Assign(folder.c_str())) {
      report.Problem("editor", "Run the check again.", "out of memory.");
      return;
    }
  }
  if (used.empty()) {
    report.Problem("editor", "Install (or repair) the Vellumix PDF editor.", "not registered (",
                   kEditorKey,
                   " in neither view): opening a document shows \"Vellumix Editor "
                   "is not found\".");
    return;
  }
  DString program;
  if (!Join(&program, used.c_str(), "VLXEditor.exe")) {
    report.Problem("editor", "Run the check again.", "out of memory.");
  } else if (system->IsFile(program.c_str())) {
    report.Ok("editor", program.c_str(), " exists.");
  } else {
    report.Problem("editor", "Repair the Vellumix PDF editor's installation.", program.c_str(),
                   " does not exist: opening a document shows \"Vellumix Editor is not found\".");
  }
}

void CheckConverter(DiagnoseSystem* system, Report& report, const char* own_path) {
  const char* name = own_path;
  for (const char* c = own_path; *c; ++c)
    if (*c == '\\' || *c == '/') name = c + 1;
  DString converter;
  if (!converter.Assign(own_path, uint32_t(name - own_path)) ||
      !converter.Append("VereZeDid2Uza.x86.exe")) {
    report.Problem("converter", "Run the check again.", "out of memory.");
  } else if (system->IsFile(converter.c_str())) {
    report.Ok("converter", converter.c_str(), " exists.");
  } else {
    report.Problem("converter",
                   "Install (or repair) the suite's HTML-to-PDF converter into the host's folder.",
                   converter.c_str(), " does not exist: page conversions fail (state -1).");
  }
}

void CheckTempFolder(DiagnoseSystem* system, Report& report) {
  DString folder;
  if (!system->TempFolder(&folder)) {
    report.Problem("temp", "Set the TMP and TEMP variables to a writable folder.",
                   "the temporary folder cannot be found.");
    return;
  }
  uint32_t error = system->ProbeWrite(folder.c_str());
  if (error) {
    char code[16];
    static_cast<void>(std::snprintf(code, sizeof code, "%u", unsigned(error)));
    report.Problem("temp", "Set the TMP and TEMP variables to a writable folder.",
                   "the temporary folder ", folder.c_str(), " cannot be written (error ", code,
                   "): \"openPDF\" and page conversions fail.");
    return;
  }
  uint64_t free_bytes = 0;
  char space[32] = "unknown";
  bool known = system->FreeBytes(folder.c_str(), &free_bytes);
  if (known) static_cast<void>(std::snprintf(space, sizeof space, "%" PRIu64 " MiB", free_bytes >> 20));
  if (known && free_bytes < kLowSpace)
    report.Note("temp", "the temporary folder ", folder.c_str(), " is writable but has only ",
                space, " free: large documents may not fit.");
  else
    report.Ok("temp", "the temporary folder ", folder.c_str(), " is writable; free: ", space, ".");
}

}  // namespace

void CheckSuite(DiagnoseSystem* system, Report& report, const char* version, const char* own_path) {
  report.Ok("host", "VellumixBrowserHost ", version, " at ", own_path);
  CheckSignature(system, report, own_path);
  CheckEditor(system, report);
  CheckConverter(system, report, own_path);
  CheckTempFolder(system, report);
}
