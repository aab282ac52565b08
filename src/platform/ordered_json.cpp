#include "platform/ordered_json.h"

#include <stdexcept>
#include <unordered_map>
#include <utility>
#include <vector>

namespace saver {
namespace {

using Members = OrderedJson::object_t::Container;

Members& MembersOf(OrderedJson& object) {
  return static_cast<Members&>(object.get_ref<OrderedJson::object_t&>());
}

// Builds the document from the parser's events. Only the innermost open
// container grows, so pointers to the open ones stay valid.
class Builder final : public nlohmann::json_sax<OrderedJson> {
 public:
  explicit Builder(size_t maxDepth) : maxDepth_(maxDepth) {}

  bool null() override { return Add(nullptr); }
  bool boolean(bool v) override { return Add(v); }
  bool number_integer(number_integer_t v) override { return Add(v); }
  bool number_unsigned(number_unsigned_t v) override { return Add(v); }
  bool number_float(number_float_t v, const string_t&) override { return Add(v); }
  bool string(string_t& v) override { return Add(std::move(v)); }
  bool binary(binary_t& v) override { return Add(OrderedJson::binary(std::move(v))); }
  bool start_object(std::size_t) override { return Open(OrderedJson::object()); }
  bool start_array(std::size_t) override { return Open(OrderedJson::array()); }
  bool key(string_t& name) override {
    open_.back().key = std::move(name);
    return true;
  }
  bool end_object() override { return Close(); }
  bool end_array() override { return Close(); }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& e) override {
    error_ = e.what();
    return false;
  }

  OrderedJson Take() { return std::move(root_); }
  const std::string& Error() const { return error_; }

 private:
  struct Frame {
    OrderedJson* node;
    std::unordered_map<std::string, size_t> index;  // member name -> position
    std::string key;
  };

  bool Add(OrderedJson&& value) {
    Place(std::move(value));
    return true;
  }

  // Puts value where the parser is: the root, the next item of an array or
  // the member of the name just read.
  OrderedJson* Place(OrderedJson&& value) {
    if (open_.empty()) {
      root_ = std::move(value);
      return &root_;
    }
    Frame& top = open_.back();
    if (top.node->is_array()) {
      auto& items = top.node->get_ref<OrderedJson::array_t&>();
      items.push_back(std::move(value));
      return &items.back();
    }
    Members& members = MembersOf(*top.node);
    auto [at, fresh] = top.index.try_emplace(top.key, members.size());
    if (fresh)
      members.emplace_back(std::move(top.key), std::move(value));
    else
      members[at->second].second = std::move(value);
    return &members[at->second].second;
  }

  bool Open(OrderedJson&& container) {
    if (open_.size() >= maxDepth_) {
      error_ = "nested deeper than " + std::to_string(maxDepth_) + " levels";
      return false;
    }
    open_.push_back({Place(std::move(container)), {}, {}});
    return true;
  }

  bool Close() {
    open_.pop_back();
    return true;
  }

  size_t maxDepth_;
  std::vector<Frame> open_;
  OrderedJson root_;
  std::string error_;
};

}  // namespace

OrderedJson ParseOrderedJson(const std::string& text, size_t maxDepth) {
  Builder builder(maxDepth);
  if (!OrderedJson::sax_parse(text, &builder)) {
    throw std::runtime_error(builder.Error().empty() ? "not JSON" : builder.Error());
  }
  return builder.Take();
}

void AppendMember(OrderedJson& object, std::string name, OrderedJson value) {
  MembersOf(object).emplace_back(std::move(name), std::move(value));
}

}  // namespace saver
