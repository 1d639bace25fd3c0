#include "unkiln/preview_page.h"

#include <gtest/gtest.h>

#include <vector>

#include "kiln/tables/objects_decode.h"
#include "kiln/tables/objects.h"

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

// An object table's page, its objects made a slice at a time, is the page
// of the whole table made at once, whatever the count against the slices.
TEST(PreviewPage, AnObjectTableShownASliceAtATimeIsShownAsAWhole) {
  for (size_t count : {0, 1, 1023, 1024, 1025, 2500}) {
    const size_t size = kiln::kObjectEntrySize;
    std::vector<uint8_t> record(2 + size * count);
    record[0] = uint8_t(count >> 8);
    record[1] = uint8_t(count);
    for (size_t n = 0; n < count; ++n)
      for (size_t b = 0; b < size; ++b) record[2 + size * n + b] = uint8_t(b < 12 ? 'a' + (n + b) % 26 : n * 7 + b);
    kiln::RecordInfo whole, sliced;
    sliced.slices = true;
    std::string error;
    ASSERT_TRUE(kiln::describeObjects("OB", record.data(), record.size(), whole, error)) << error;
    ASSERT_TRUE(kiln::describeObjects("OB", record.data(), record.size(), sliced, error)) << error;
    ASSERT_TRUE(sliced.entries) << count;
    EXPECT_TRUE(sliced.fields.members.back().second.items.empty());
    EXPECT_EQ(fieldsHtml(sliced), fieldsHtml(whole)) << count;
  }
}

}  // namespace
}  // namespace unkiln
