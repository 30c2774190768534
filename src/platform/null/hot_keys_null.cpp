#include "platform/hot_keys.h"

namespace lumora::platform {

namespace {

// Until keys can be registered on this platform there is never one to release.
class NoHotKeys final : public GlobalHotKeys {
 public:
  void Unregister(int) override {}
};

}  // namespace

std::unique_ptr<GlobalHotKeys> CreateGlobalHotKeys() {
  return std::make_unique<NoHotKeys>();
}

}  // namespace lumora::platform
