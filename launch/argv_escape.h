// Text placed between double quotes on a command line, kept one argument
// under the Windows rules (CommandLineToArgvW and the C runtime): a double
// quote inside becomes \" and a run of backslashes before a double quote (one
// inside, or the closing one) is doubled. Text without double quotes and
// without final backslashes is appended unchanged.
#pragma once

#include "zevar/dstring.h"

bool AppendArgvEscaped(DWString* out, const DWChar* text);
