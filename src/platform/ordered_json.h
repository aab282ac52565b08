#pragma once
// JSON whose objects keep their members in file order, read and built in
// time linear in the size of the text. nlohmann's ordered_json compares a
// new member with every earlier one of its object, so an object of tens of
// thousands of members takes seconds; these helpers find a repeated name
// through a hash index instead, or append without looking at all.
#include <cstddef>
#include <nlohmann/json.hpp>
#include <string>

namespace saver {

using OrderedJson = nlohmann::ordered_json;

// Parses text. A name that repeats within an object replaces the earlier
// member in its place, as nlohmann's own parser does. Raises
// std::runtime_error on a syntax error and on nesting deeper than maxDepth
// (which also keeps the recursive dump of what was read off the stack).
OrderedJson ParseOrderedJson(const std::string& text, size_t maxDepth);

// Appends a member to an object without looking for an earlier member of
// that name: the caller knows the name is new.
void AppendMember(OrderedJson& object, std::string name, OrderedJson value);

}  // namespace saver
