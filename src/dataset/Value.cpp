#include "dataset/Value.h"

#include "core/NumberFormat.h"
#include "dataset/FieldText.h"

namespace dataset {

using namespace detail;

std::string TValue::AsText() const {
  struct Visitor {
    std::string operator()(std::monostate) const { return {}; }
    std::string operator()(const std::string& text) const { return text; }
    std::string operator()(std::int64_t number) const { return core::FormatInteger(number); }
    std::string operator()(double number) const { return core::FormatGeneral(number); }
    std::string operator()(bool flag) const { return BooleanText(flag); }
    std::string operator()(core::TDateTime date) const { return date.FormatDateTimeText(); }
  };
  return std::visit(Visitor{}, value_);
}

}  // namespace dataset
