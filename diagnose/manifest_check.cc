#include "diagnose/manifest_check.h"

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr uint32_t kLargestManifest = 1 << 20;
constexpr char kReinstall[] =
    "Reinstall the host package (msiexec /i), which writes the manifest anew.";

bool IsAbsolute(const char* path) {
  bool drive = ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z') && path[1] == ':';
  return drive || path[0] == '\\' || path[0] == '/';
}

// A Chrome origin: chrome-extension://<32 letters a to p>/.
bool IsExtensionOrigin(const char* text) {
  static const char kScheme[] = "chrome-extension://";
  size_t scheme = sizeof kScheme - 1;
  if (std::strncmp(text, kScheme, scheme) != 0) return false;
  for (size_t i = 0; i < 32; ++i)
    if (text[scheme + i] < 'a' || text[scheme + i] > 'p') return false;
  return std::strcmp(text + scheme + 32, "/") == 0;
}

bool HasString(const rapidjson::Value& list, const char* text) {
  for (const auto& item : list.GetArray())
    if (item.IsString() && std::strcmp(item.GetString(), text) == 0) return true;
  return false;
}

// The last part of a path, after '\' or '/'.
const char* FileName(const char* path) {
  const char* name = path;
  for (const char* c = path; *c; ++c)
    if (*c == '\\' || *c == '/') name = c + 1;
  return name;
}

bool EqualIgnoringAsciiCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    char x = char(*a >= 'A' && *a <= 'Z' ? *a | 0x20 : *a);
    char y = char(*b >= 'A' && *b <= 'Z' ? *b | 0x20 : *b);
    if (x != y) return false;
    if (!x) return true;
  }
}

class ManifestChecker {
 public:
  ManifestChecker(DiagnoseSystem* system, Report& report, const char* topic, ManifestKind kind,
                  const char* path, const ManifestExpectations& expected)
      : system_(system),
        report_(report),
        topic_(topic),
        kind_(kind),
        path_(path),
        expected_(expected) {}

  bool Run() {
    // What the extension is told when the browser finds no usable manifest
    // (Firefox says the same to an add-on that the manifest does not allow).
    bool firefox = kind_ == ManifestKind::kFirefox;
    if (!(firefox ? Join(&refused_, "No such native application ", expected_.host)
                  : refused_.Assign("Specified native messaging host not found.")))
      return Fail("Run the check again.", "out of memory.");
    DString bytes;
    switch (system_->ReadFile(path_, kLargestManifest, &bytes)) {
      case FileRead::kRead:
        break;
      case FileRead::kMissing:
        return Fail(kReinstall, "the manifest ", path_, " does not exist: the browser says \"",
                    refused_.c_str(), "\"");
      case FileRead::kUnreadable:
        return Fail("Give users read access to the manifest's folder, or reinstall the package.",
                    "the manifest ", path_, " cannot be read.");
      case FileRead::kTooLarge:
        return Fail(kReinstall, "the manifest ", path_, " is larger than 1 MiB.");
    }
    const char* text = bytes.c_str();
    if (std::strncmp(text, "\xEF\xBB\xBF", 3) == 0) {
      // Chrome's JSON reader skips a byte-order mark; Firefox's JSON.parse
      // stops at it.
      if (firefox)
        Fail("Save the manifest as UTF-8 without a byte-order mark, or reinstall the package.",
             "the manifest ", path_, " begins with a byte-order mark: Firefox cannot parse it (\"",
             refused_.c_str(), "\").");
      else
        report_.Note(topic_, "the manifest ", path_,
                     " begins with a byte-order mark: this browser skips it, Firefox would not.");
      text += 3;
    }
    rapidjson::Document manifest;
    manifest.Parse<rapidjson::kParseValidateEncodingFlag | rapidjson::kParseIterativeFlag>(text);
    if (manifest.HasParseError()) {
      if (manifest.GetParseError() == rapidjson::kParseErrorStringInvalidEncoding)
        return Fail(kReinstall, "the manifest ", path_, " is not UTF-8 text.");
      char offset[24];
      static_cast<void>(std::snprintf(offset, sizeof offset, "%u", unsigned(manifest.GetErrorOffset())));
      return Fail(kReinstall, "the manifest ", path_, " is not valid JSON (",
                  rapidjson::GetParseError_En(manifest.GetParseError()), " at byte ", offset, ").");
    }
    if (!manifest.IsObject())
      return Fail(kReinstall, "the manifest ", path_, " is not a JSON object.");
    CheckName(manifest);
    CheckType(manifest);
    CheckProgram(manifest);
    CheckAllowed(manifest);
    return ok_;
  }

 private:
  template <typename... Parts>
  bool Fail(const char* fix, Parts... parts) {
    ok_ = false;
    report_.Problem(topic_, fix, parts...);
    return false;
  }

  const char* StringMember(const rapidjson::Document& manifest, const char* name) {
    auto member = manifest.FindMember(name);
    return member != manifest.MemberEnd() && member->value.IsString() ? member->value.GetString()
                                                                      : nullptr;
  }

  void CheckName(const rapidjson::Document& manifest) {
    const char* name = StringMember(manifest, "name");
    if (!name)
      Fail(kReinstall, "the manifest ", path_, " has no \"name\" text.");
    else if (std::strcmp(name, expected_.host) != 0)
      Fail(kReinstall, "the manifest ", path_, " has \"name\" \"", name, "\", not \"",
           expected_.host, "\": the browser refuses it.");
  }

  void CheckType(const rapidjson::Document& manifest) {
    const char* type = StringMember(manifest, "type");
    if (!type || std::strcmp(type, "stdio") != 0)
      Fail(kReinstall, "the manifest ", path_, " does not say \"type\": \"stdio\".");
  }

  void CheckProgram(const rapidjson::Document& manifest) {
    const char* path = StringMember(manifest, "path");
    DString program;
    if (!path || !path[0]) {
      Fail(kReinstall, "the manifest ", path_, " has no \"path\" text.");
    } else if (!ResolveHostPath(path_, path, &program)) {
      Fail("Run the check again.", "out of memory.");
    } else if (!system_->IsFile(program.c_str())) {
      Fail(kReinstall, "\"path\" in ", path_, " names ", program.c_str(),
           ", which does not exist: the browser cannot start the host.");
    } else if (system_->SameFile(program.c_str(), expected_.own_path)) {
      report_.Ok(topic_, "\"path\" names this program.");
    } else if (EqualIgnoringAsciiCase(FileName(program.c_str()), FileName(expected_.own_path))) {
      report_.Note(topic_, "\"path\" names another copy of the host, ", program.c_str(),
                   ": run that one with --diagnose to check it.");
    } else {
      Fail(kReinstall, "\"path\" in ", path_, " names ", program.c_str(),
           ", which is not the host program.");
    }
  }

  void CheckAllowed(const rapidjson::Document& manifest) {
    bool chromium = kind_ == ManifestKind::kChromium;
    const char* key = chromium ? "allowed_origins" : "allowed_extensions";
    auto member = manifest.FindMember(key);
    if (member == manifest.MemberEnd() || !member->value.IsArray() || member->value.Empty()) {
      Fail(kReinstall, "the manifest ", path_, " has no \"", key,
           "\" list with entries: no extension may start the host.");
      return;
    }
    const rapidjson::Value& list = member->value;
    for (const auto& item : list.GetArray()) {
      bool well_formed = item.IsString() && (chromium ? IsExtensionOrigin(item.GetString())
                                                      : item.GetStringLength() > 0);
      if (!well_formed) {
        Fail(kReinstall, "\"", key, "\" in ", path_,
             chromium ? " holds an entry that is not chrome-extension://<id>/: the browser "
                        "refuses the manifest."
                      : " holds an entry that is not an add-on id.");
        return;
      }
    }
    const char* ids = chromium ? expected_.chromium_ids : expected_.firefox_ids;
    for (const char* id = ids; *id;) {
      const char* end = std::strchr(id, ';');
      size_t length = end ? size_t(end - id) : std::strlen(id);
      DString wanted, bare;
      if (!bare.Assign(id, uint32_t(length)) ||
          !Join(&wanted, chromium ? "chrome-extension://" : "", bare.c_str(),
                chromium ? "/" : "")) {
        Fail("Run the check again.", "out of memory.");
        return;
      }
      if (HasString(list, wanted.c_str())) {
      } else if (chromium) {
        Fail(kReinstall, "\"", key, "\" in ", path_, " does not name ", wanted.c_str(),
             ": that extension gets \"Access to the specified native messaging host is "
             "forbidden.\"");
      } else {
        Fail(kReinstall, "\"", key, "\" in ", path_, " does not name ", wanted.c_str(),
             ": Firefox passes over the manifest for that add-on, which gets \"", refused_.c_str(),
             "\".");
      }
      if (!end) break;
      id = end + 1;
    }
  }

  DiagnoseSystem* system_;
  Report& report_;
  const char* topic_;
  ManifestKind kind_;
  const char* path_;
  const ManifestExpectations& expected_;
  DString refused_;
  bool ok_ = true;
};

}  // namespace

bool ResolveHostPath(const char* manifest_path, const char* path, DString* resolved) {
  resolved->Empty();
  if (IsAbsolute(path)) return resolved->Assign(path);
  const char* name = FileName(manifest_path);
  return resolved->Assign(manifest_path, uint32_t(name - manifest_path)) && resolved->Append(path);
}

bool CheckManifest(DiagnoseSystem* system, Report& report, const char* topic, ManifestKind kind,
                   const char* manifest_path, const ManifestExpectations& expected) {
  return ManifestChecker(system, report, topic, kind, manifest_path, expected).Run();
}
