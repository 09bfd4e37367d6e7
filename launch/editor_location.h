// Where the editor is installed, from the suite's registry entry.
#pragma once

#include "zevar/dstring.h"

// The editor's "VLXEditor.exe" in the product's install folder, when that
// file exists; otherwise the path is left empty. Nowhere else is searched.
void FindEditorPath(DWString* path);
