#include "unkiln/node_print.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace unkiln {
namespace {

using kiln::Node;

std::string printed(void (*print)(FILE*, const Node&), const Node& node) {
  FILE* out = std::tmpfile();
  print(out, node);
  std::rewind(out);
  std::string s;
  for (int c; (c = std::fgetc(out)) != EOF;) s += char(c);
  std::fclose(out);
  return s;
}

Node sample() {
  return Node::object()
      .add("name", Node::str("Say \"hi\"\n\\ caf\xE9\x01"))
      .add("count", Node::num(-3))
      .add("combat", Node::boolean(true))
      .add("slot", Node())
      .add("row", Node::list().push(Node::num(1)).push(Node::num(2)))
      .add("items", Node::list().push(Node::object().add("a", Node::num(1))));
}

TEST(NodePrint, JsonIsValidUtf8WithEveryByteKept) {
  EXPECT_EQ(printed(printJson, sample()),
            "{\"name\":\"Say \\\"hi\\\"\\n\\\\ caf\\u00e9\\u0001\",\"count\":-3,\"combat\":true,\"slot\":null,"
            "\"row\":[1,2],\"items\":[{\"a\":1}]}");
}

TEST(NodePrint, TextIndentsObjectsAndKeepsPlainListsOnOneLine) {
  auto text = [](FILE* out, const Node& n) { printText(out, n, 2); };
  EXPECT_EQ(printed(text, sample()),
            "  name: \"Say \\\"hi\\\"\\n\\\\ caf\xE9\\x01\"\n"
            "  count: -3\n"
            "  combat: yes\n"
            "  slot: -\n"
            "  row: [1 2]\n"
            "  items:\n"
            "    0:\n"
            "      a: 1\n");
}

}  // namespace
}  // namespace unkiln
