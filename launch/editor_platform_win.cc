#include "launch/editor_platform_win.h"

#include <windows.h>

#include "launch/editor_location.h"
#include "launch/run_program.h"

void Win32EditorPlatform::FindEditorPath(DWString* path) { ::FindEditorPath(path); }

void Win32EditorPlatform::ShowEditorNotFound() {
  MessageBoxW(nullptr, L"Vellumix Editor is not found", L"Vellumix", MB_OK | MB_ICONEXCLAMATION);
}

bool Win32EditorPlatform::StartEditor(const DWChar* editor_path, const DWChar* arguments) {
  return RunProgram(editor_path, arguments, false, nullptr) != -1;
}
