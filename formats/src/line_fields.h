#pragma once
// Line-by-line reading of the one-item-per-line run files, with messages that
// say which line holds what. Faults are FileErrors naming the line.
#include "kv/common/records.h"
#include "kv/formats/file_error.h"

#include <string>
#include <string_view>

namespace kv::formats::detail {

class LineFields {
  public:
    explicit LineFields(RecordReader& r) : r_(r) {}
    // The next line whole; `what` names its content for the message.
    std::string text(std::string_view what);
    // The next line as one number (blanks around it allowed).
    double number(std::string_view what);

  private:
    RecordReader& r_;
    int line_ = 0;
};

} // namespace kv::formats::detail
