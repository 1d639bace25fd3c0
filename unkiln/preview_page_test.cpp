#include "unkiln/preview_page.h"

#include <gtest/gtest.h>

namespace unkiln {
namespace {

TEST(PreviewPage, TextIsEscapedWhateverItsBytes) {
  const struct {
    std::string text, html;
  } cases[] = {
      {"", ""},
      {"plain words, 0-9", "plain words, 0-9"},
      {"<script>alert('x') & \"y\"</script>", "&lt;script&gt;alert(&#39;x&#39;) &amp; &quot;y&quot;&lt;/script&gt;"},
      {"tab\tline\ncr\r", "tab\tline\ncr\r"},
      {std::string("nul\0bell\a", 9), "nul\\x00bell\\x07"},
      {"\x7F\x80\x9F", "\\x7F\\x80\\x9F"},
      {"caf\xE9 \xA0\xFF", "caf&#xE9; &#xA0;&#xFF;"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(escapeHtml(c.text), c.html) << c.text;
    std::string out = "kept:";
    appendEscaped(out, c.text);
    EXPECT_EQ(out, "kept:" + c.html);
  }
}

}  // namespace
}  // namespace unkiln
