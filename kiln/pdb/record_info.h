#pragma once
// What a record decoder tells about one record of a database: a one-line
// summary in the author's terms and every field, as an ordered tree that
// unkiln prints as indented text or as JSON. Field names are the names kiln's
// input files and messages use.

#include <cstddef>
#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace kiln {

struct Node {
  enum class Kind { Null, Bool, Number, Text, List, Object };
  Kind kind = Kind::Null;
  bool flag = false;
  long long number = 0;
  std::string text;
  std::vector<std::pair<std::string, Node>> members;  // Object, in order
  std::vector<Node> items;                            // List

  // Declared here and defaulted below the class: clang with libstdc++ cannot
  // define them inside it, where pair<string, Node> is not complete yet.
  Node();
  Node(const Node&);
  Node(Node&&) noexcept;
  Node& operator=(const Node&);
  Node& operator=(Node&&) noexcept;
  ~Node();

  static Node boolean(bool v) { Node n; n.kind = Kind::Bool; n.flag = v; return n; }
  static Node num(long long v) { Node n; n.kind = Kind::Number; n.number = v; return n; }
  static Node str(std::string v) { Node n; n.kind = Kind::Text; n.text = std::move(v); return n; }
  static Node list() { Node n; n.kind = Kind::List; return n; }
  static Node object() { Node n; n.kind = Kind::Object; return n; }

  // Adds a member to an object (or an item to a list) and returns this node,
  // so that fields can be chained. On a node that is about to go (a chain
  // that starts with Node::object()) the node is handed on, not copied: a
  // table's tree of every field would otherwise be copied whole once more.
  Node& add(const std::string& key, Node value) & {
    members.emplace_back(key, std::move(value));
    return *this;
  }
  // The same for a name written in the code: no string is made to be copied.
  Node& add(const char* key, Node value) & {
    members.emplace_back(std::piecewise_construct, std::forward_as_tuple(key), std::forward_as_tuple(std::move(value)));
    return *this;
  }
  Node& push(Node value) & {
    items.push_back(std::move(value));
    return *this;
  }
  Node&& add(const std::string& key, Node value) && { return std::move(add(key, std::move(value))); }
  Node&& add(const char* key, Node value) && { return std::move(add(key, std::move(value))); }
  Node&& push(Node value) && { return std::move(push(std::move(value))); }
};

inline Node::Node() = default;
inline Node::Node(const Node&) = default;
inline Node::Node(Node&&) noexcept = default;
inline Node& Node::operator=(const Node&) = default;
inline Node& Node::operator=(Node&&) noexcept = default;
inline Node::~Node() = default;

// The decoded record. A decoder that finds the record damaged (shorter than
// its format, counts that do not fit, a stream that unpacks to the wrong size)
// returns false with a one-line reason instead.
struct RecordInfo {
  std::string summary;  // e.g. "B8 64x64 8-bit masked", "TX 312 texts"
  Node fields;          // an Object

  // Set by the caller before describing: a record of thousands of entries
  // (an object table) may then leave them out of fields and make them a
  // slice at a time instead, so that they are never all in memory at once
  // (20,000 objects' fields take 60 MB). fields' member entriesKey is then
  // an empty list, and entries(first, count) makes the entries from first
  // on that it would hold, each with the same fields in the same order.
  // The record's bytes must outlive entries.
  bool slices = false;
  std::string entriesKey;
  size_t entryCount = 0;
  std::function<Node(size_t first, size_t count)> entries;
};

}  // namespace kiln
