// The argument texts of the converter's two command lines. The program path
// in front of them is added by whoever starts the converter.
#pragma once

#include "launch/command_line_limit.h"
#include "zevar/dstring.h"

// What the argument text may take: in front of it stand a blank and the
// converter's path, its folder from GetModuleFileNameW (under MAX_PATH = 260
// units) and its name (21 units).
constexpr uint32_t kConverterArgumentsLimit = kCommandLineMaxLength - 260 - 32;

// url= "<source>" mode= <mode>[ delsrc] savefn= "<save name>"[ wndMsgs= <n>]
// Null texts count as empty; a null window leaves out the window part. The
// save name (which holds no '"' or '\') takes the form of ansi_safe_value.h
// and is shortened to keep the text within kConverterArgumentsLimit. The
// output is emptied first; false when memory ran out or the text cannot fit
// (the output then holds what was appended so far).
bool BuildConvertCommandLine(const DWChar* mode, const DWChar* source_path,
                             const DWChar* save_name, bool delete_source, void* message_window,
                             DWString* text);

// sdlg mode= <mode>[ wndPrnt= <n>]
bool BuildSettingsCommandLine(const DWChar* mode, void* owner_window, DWString* text);

// A window handle as the converter reads it: its low 32 bits taken as a signed
// number, written in decimal.
bool AppendWindowNumber(void* window, DWString* text);
