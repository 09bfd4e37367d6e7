// The argument texts of the converter's two command lines. The program path
// in front of them is added by whoever starts the converter.
#pragma once

#include "zevar/dstring.h"

// url= "<source>" mode= <mode>[ delsrc] savefn= "<save name>"[ wndMsgs= <n>]
// Null texts count as empty; a null window leaves out the window part. The
// output is emptied first; false when memory ran out (the output then holds
// what was appended so far).
bool BuildConvertCommandLine(const DWChar* mode, const DWChar* source_path,
                             const DWChar* save_name, bool delete_source, void* message_window,
                             DWString* text);

// sdlg mode= <mode>[ wndPrnt= <n>]
bool BuildSettingsCommandLine(const DWChar* mode, void* owner_window, DWString* text);

// A window handle as the converter reads it: its low 32 bits taken as a signed
// number, written in decimal.
bool AppendWindowNumber(void* window, DWString* text);
