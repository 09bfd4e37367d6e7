// The record of one running conversion, owned by the conversion job.
#pragma once

#include <atomic>
#include <cstdint>

#include "zevar/dstring.h"

struct HostSession;

struct ConversionContext {
  HostSession* session = nullptr;
  void* window = nullptr;          // the hidden window (HWND)
  uint32_t result = 0;             // the converter's final result
  bool finalized = false;          // the finalized message arrived
  void* watcher_thread = nullptr;  // the cancel watcher (HANDLE), null until started
  DWString cancel_event_name;      // empty until the converter names its event
  std::atomic<bool> stop_watching{false};  // set by the job once the conversion ended
};
