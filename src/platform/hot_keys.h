#pragma once

#include <memory>

namespace lumora::platform {

// System-wide hot keys, identified by the caller's number.
class GlobalHotKeys {
 public:
  virtual ~GlobalHotKeys() = default;
  // Releases the key registered under id; nothing happens when there is none.
  virtual void Unregister(int id) = 0;
};

std::unique_ptr<GlobalHotKeys> CreateGlobalHotKeys();

}  // namespace lumora::platform
