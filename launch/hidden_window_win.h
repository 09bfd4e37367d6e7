// The hidden window through which the converter reports to the host.
#pragma once

#include <windows.h>

#include "launch/conversion_context.h"

extern const wchar_t kHiddenWindowClass[];

// Registers the window class once per process; false when it is not
// available.
bool RegisterHiddenWindowClass();

// Registers "VLX:HTP:Progress" and "VLX:HTP:Finalized" once per process.
void RegisterConverterMessages();

// Handles one report of the converter; true when the message was one.
bool OnConverterMessage(ConversionContext& context, UINT message, WPARAM wparam, LPARAM lparam);

LRESULT CALLBACK HiddenWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
