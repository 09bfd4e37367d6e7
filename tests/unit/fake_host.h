// The editor and the converter as the native tests fake them: each records
// what the host asked of it and keeps the temporary file it was given in
// memory.
#pragma once

#include <string>
#include <vector>

#include "launch/converter.h"
#include "launch/editor_platform.h"

inline constexpr char16_t kEditor[] = u"C:\\Program Files\\Vellumix\\VLXEditor.exe";

// The editor, and its temporary file, which keeps what is written.
class FakeEditor : public EditorPlatform, public TempPdfWriter {
 public:
  void FindEditorPath(DWString* path) override {
    ++lookups;
    if (!path->Assign(installed ? kEditor : u"")) path->Empty();  // as if not installed
  }
  void ShowEditorNotFound() override { ++not_found_shown; }
  bool StartEditor(const DWChar* editor_path, const DWChar* arguments) override {
    starts.emplace_back(std::u16string(editor_path) + u" " + arguments);
    return starts_succeed;
  }
  TempPdfWriter& TempPdf() override { return *this; }

  bool Write(const uint8_t* bytes, uint32_t count) override {
    written.append(reinterpret_cast<const char*>(bytes), count);
    return true;
  }
  bool Close(DWString* path) override {
    const bool any = !written.empty();
    if (any) closed.push_back(written);
    Remove();
    return any && path->Assign(u"C:\\Temp\\vlx_0123.pdf");
  }
  void Remove() override { written.clear(); }
  void Discard(const DWString& path) override { discarded.emplace_back(path.c_str()); }

  bool installed = true;
  bool starts_succeed = true;
  std::vector<std::u16string> discarded;
  int lookups = 0;
  int not_found_shown = 0;
  std::vector<std::u16string> starts;
  std::string written;  // the file, while it is open
  std::vector<std::string> closed;
};

struct Run {
  std::string text;
  std::u16string title;
  bool is_mhtml;
};

// The converter, and the page's file, which keeps what is written.
class RecordingConverter : public Converter, public TempFileWriter {
 public:
  TempFileWriter& PageFile(bool is_mhtml) override {
    mhtml = is_mhtml;
    return *this;
  }
  bool Write(const uint8_t* bytes, uint32_t count) override {
    open = true;
    page.append(reinterpret_cast<const char*>(bytes), count);
    return true;
  }
  bool Close(DWString* path) override {
    closed = page;
    const bool any = open;
    Remove();
    return any && path->Assign(mhtml ? u"C:\\Temp\\vlx_1.mhtml" : u"C:\\Temp\\vlx_1.html");
  }
  void Remove() override {
    open = false;
    page.clear();
  }
  void Discard(const DWString&) override {}  // the converter takes the page
  int32_t RunConversion(HostSession&, const DWChar* source, const DWChar* title) override {
    runs.push_back({closed, title, std::u16string(source).find(u".mhtml") != std::u16string::npos});
    return 42;
  }
  void ShowSettings() override { ++settings; }

  bool mhtml = false;
  bool open = false;  // a page file is being written
  std::string page, closed;
  std::vector<Run> runs;
  int settings = 0;
};
