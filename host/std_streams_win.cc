#include "host/std_streams.h"

#include <fcntl.h>
#include <io.h>

int PrepareStdStream(FILE* stream) {
  if (_setmode(_fileno(stream), _O_BINARY) == -1) {
    std::perror("Cannot set mode");
    return -1;
  }
  int result = std::setvbuf(stream, nullptr, _IONBF, 0);
  if (result != 0) {
    std::perror("Cannot set zero buffer");
    return result;
  }
  return 0;
}
