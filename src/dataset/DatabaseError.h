#pragma once

#include <stdexcept>

namespace dataset {

// A failure of the data-set framework (state errors, unknown fields).
class EDatabaseError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace dataset
