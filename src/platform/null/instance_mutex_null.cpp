// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/null/null_backends.h"

namespace lumora::platform {

namespace {

class UnsharedMutex final : public InstanceMutex {
 public:
  void Release() override {}
};

}  // namespace

MutexResult CreateNullInstanceMutex(const std::string&) {
  MutexResult result;
  result.status = MutexCreation::Created;
  result.handle = std::make_unique<UnsharedMutex>();
  return result;
}

}  // namespace lumora::platform
