#pragma once
#include <stdexcept>

namespace saver {

// A file that cannot be read or written, or a value the payload cannot hold;
// the message is ready for the user ("cannot read x.jpg: No such file or directory").
class PackError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace saver
