// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>

namespace lumora::platform {

// A named, system-wide mutex that one process owns for its whole life. The kernel releases it when the
// owner dies, however it dies, so a crashed copy never blocks the next start.
class InstanceMutex {
 public:
  virtual ~InstanceMutex() = default;
  // Gives up ownership early (a process that found the mutex taken lets go of its handle).
  virtual void Release() = 0;
};

enum class MutexCreation {
  Created,        // this process owns the mutex now
  AlreadyExists,  // another process owns it; the handle is returned all the same
  Failed,         // no handle: the system refused (error text in MutexResult::error)
};

struct MutexResult {
  MutexCreation status = MutexCreation::Failed;
  std::unique_ptr<InstanceMutex> handle;
  std::string error;
};

// Creates the mutex with that name and asks for initial ownership.
MutexResult CreateInstanceMutex(const std::string& name);

}  // namespace lumora::platform
