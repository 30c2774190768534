// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <exception>
#include <string>

namespace lumora {

// The toolkit's error: carries the text that the standard error display shows.
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const std::string& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

// Raised to end an operation quietly; the standard error display shows nothing for it.
class EAbort : public Exception {
 public:
  EAbort() : Exception("Operation aborted") {}
};

// Names of classes cannot be parenthesised.
#define LUMORA_EXCEPTION(Name, Base)                                  \
  class Name : public Base { /* NOLINT(bugprone-macro-parentheses) */ \
   public:                                                            \
    using Base::Base;                                                 \
  }

LUMORA_EXCEPTION(EConvertError, Exception);
LUMORA_EXCEPTION(EOutOfResources, Exception);
LUMORA_EXCEPTION(EInvalidGraphic, Exception);
LUMORA_EXCEPTION(EInvalidGraphicOperation, Exception);
LUMORA_EXCEPTION(EStreamError, Exception);
LUMORA_EXCEPTION(EReadError, EStreamError);
LUMORA_EXCEPTION(EWriteError, EStreamError);
LUMORA_EXCEPTION(EFOpenError, EStreamError);
LUMORA_EXCEPTION(EFCreateError, EStreamError);
LUMORA_EXCEPTION(ERegistryException, Exception);

#undef LUMORA_EXCEPTION

}  // namespace lumora
