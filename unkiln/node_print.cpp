#include "unkiln/node_print.h"

namespace unkiln {

using kiln::Node;

namespace {

bool isPlain(const Node& n) { return n.kind != Node::Kind::List && n.kind != Node::Kind::Object; }

std::string escaped(const std::string& text, bool json) {
  std::string out;
  for (unsigned char c : text) {
    char hex[8];
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F || (json && c >= 0x80)) {
          std::snprintf(hex, sizeof hex, json ? "\\u%04x" : "\\x%02x", c);
          out += hex;
        } else {
          out += char(c);
        }
    }
  }
  return out;
}

std::string plainText(const Node& n) {
  switch (n.kind) {
    case Node::Kind::Null: return "-";
    case Node::Kind::Bool: return n.flag ? "yes" : "no";
    case Node::Kind::Number: return std::to_string(n.number);
    case Node::Kind::Text: return quoted(n.text);
    default: return "";
  }
}

void printMembers(FILE* out, const Node& node, int indent);

void printValue(FILE* out, const std::string& label, const Node& value, int indent) {
  if (isPlain(value)) {
    std::fprintf(out, "%*s%s: %s\n", indent, "", label.c_str(), plainText(value).c_str());
    return;
  }
  if (value.kind == Node::Kind::List) {
    bool plain = true;
    for (const Node& item : value.items) plain = plain && isPlain(item);
    if (plain) {
      std::string line;
      for (const Node& item : value.items) line += (line.empty() ? "" : " ") + plainText(item);
      std::fprintf(out, "%*s%s: [%s]\n", indent, "", label.c_str(), line.c_str());
      return;
    }
    std::fprintf(out, "%*s%s:\n", indent, "", label.c_str());
    for (size_t i = 0; i < value.items.size(); ++i) printValue(out, std::to_string(i), value.items[i], indent + 2);
    return;
  }
  std::fprintf(out, "%*s%s:\n", indent, "", label.c_str());
  printMembers(out, value, indent + 2);
}

void printMembers(FILE* out, const Node& node, int indent) {
  for (const auto& [key, value] : node.members) printValue(out, key, value, indent);
}

}  // namespace

std::string quoted(const std::string& text) { return "\"" + escaped(text, false) + "\""; }
std::string jsonString(const std::string& text) { return "\"" + escaped(text, true) + "\""; }

void printText(FILE* out, const Node& node, int indent) {
  if (node.kind == Node::Kind::Object)
    printMembers(out, node, indent);
  else
    printValue(out, "value", node, indent);
}

void printJson(FILE* out, const Node& node) {
  switch (node.kind) {
    case Node::Kind::Null: std::fputs("null", out); break;
    case Node::Kind::Bool: std::fputs(node.flag ? "true" : "false", out); break;
    case Node::Kind::Number: std::fprintf(out, "%lld", node.number); break;
    case Node::Kind::Text: std::fputs(jsonString(node.text).c_str(), out); break;
    case Node::Kind::List:
      std::fputc('[', out);
      for (size_t i = 0; i < node.items.size(); ++i) {
        if (i) std::fputc(',', out);
        printJson(out, node.items[i]);
      }
      std::fputc(']', out);
      break;
    case Node::Kind::Object:
      std::fputc('{', out);
      for (size_t i = 0; i < node.members.size(); ++i) {
        if (i) std::fputc(',', out);
        std::fprintf(out, "%s:", jsonString(node.members[i].first).c_str());
        printJson(out, node.members[i].second);
      }
      std::fputc('}', out);
      break;
  }
}

}  // namespace unkiln
