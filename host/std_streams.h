// Makes a standard stream untranslated and unbuffered, so the frame's length
// counts exactly the bytes that travel and the pipe's poll sees every byte
// that no read has taken.
#pragma once

#include <cstdio>

// 0 on success; otherwise the failure was reported on standard error.
int PrepareStdStream(FILE* stream);
