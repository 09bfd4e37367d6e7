#include "launch/editor_location.h"

#include "zevar/dpath_exists_win.h"
#include "zevar/dproduct_win.h"

void FindEditorPath(DWString* path) {
  path->Empty();
  DWString folder;
  if (!DGetProductInstallPath(kProductEditor, &folder, kRegistryViewsBoth)) return;
  // The folder already ends with exactly one backslash.
  DWString candidate;
  if (!candidate.Append(folder.c_str(), folder.length()) || !candidate.Append(u"VLXEditor.exe"))
    return;
  if (DPathExists(candidate.c_str())) *path = static_cast<DWString&&>(candidate);
}
