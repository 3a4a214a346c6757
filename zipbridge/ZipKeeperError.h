// The ZIP maintenance object's exception: a message id and its (formatted) text.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "zipbridge/ZipText.h"

namespace quil {

class ZipKeeperError : public std::runtime_error {
 public:
  explicit ZipKeeperError(int id) : std::runtime_error(ZipText(id)), Id(id) {}
  ZipKeeperError(int id, int64_t value) : std::runtime_error(ZipTextFormat(id, value)), Id(id) {}
  ZipKeeperError(int id, const std::string& value)
      : std::runtime_error(ZipTextFormat(id, value)), Id(id) {}
  int Id;
};

}  // namespace quil
