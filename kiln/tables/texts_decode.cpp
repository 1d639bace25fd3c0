#include "kiln/tables/texts_decode.h"

#include <cstring>
#include <vector>

#include "kiln/pdb/record_check.h"
#include "kiln/tables/texts.h"
#include "kiln/text/token_writer.h"

namespace kiln {

namespace {

// The strings of a text record, each read from its offset to its zero byte.
bool readTexts(const uint8_t* data, size_t length, std::vector<std::string>& texts, std::vector<size_t>& offsets,
               size_t& end, std::string& error) {
  if (!hasBytes(length, 2, error)) return false;
  size_t count = readBE16(data);
  size_t blockStart = 2 + 2 * count;
  if (!hasBytes(length, blockStart, error)) return false;
  end = blockStart;
  for (size_t i = 0; i < count; ++i) {
    size_t at = blockStart + readBE16(data + 2 + 2 * i);
    const void* zero = at < length ? std::memchr(data + at, 0, length - at) : nullptr;
    if (!zero) {
      error = "text " + std::to_string(i) + " does not end inside the record";
      return false;
    }
    size_t stop = size_t(static_cast<const uint8_t*>(zero) - data);
    texts.emplace_back(reinterpret_cast<const char*>(data + at), stop - at);
    offsets.push_back(at - blockStart);
    end = std::max(end, stop + 1);
  }
  return checkRecordLength(data, length, end, error);
}

int firstNumber(const std::string& code) { return code == "TG" ? 0 : 1; }

}  // namespace

bool describeTexts(const std::string& code, const uint8_t* data, size_t length, RecordInfo& info,
                   std::string& error) {
  std::vector<std::string> texts;
  std::vector<size_t> offsets;
  size_t end = 0;
  if (!readTexts(data, length, texts, offsets, end, error)) return false;
  Node list = Node::list();
  for (size_t i = 0; i < texts.size(); ++i)
    list.push(Node::object()
                  .add("number", Node::num(long(i) + firstNumber(code)))
                  .add("offset", Node::num(long(offsets[i])))
                  .add("text", Node::str(texts[i])));
  info.summary = code + " " + std::to_string(texts.size()) + " texts";
  info.fields = Node::object().add("count", Node::num(long(texts.size()))).add("texts", std::move(list));
  return true;
}

bool textsSource(const std::string& code, const uint8_t* data, size_t length, std::string& text, std::string& why) {
  std::vector<std::string> texts;
  std::vector<size_t> offsets;
  size_t end = 0;
  if (!readTexts(data, length, texts, offsets, end, why) || !exactLength(length, end, why)) return false;
  // The compiler lays the strings one after another: any other layout
  // (shared or reordered strings) cannot come from a table.
  size_t at = 0;
  for (size_t i = 0; i < texts.size(); ++i) {
    if (offsets[i] != at) {
      why = "text " + std::to_string(i) + " is not stored right after the one before it";
      return false;
    }
    at += texts[i].size() + 1;
  }
  if (texts.size() > kMaxStrings || at > 65535) {
    why = "more strings, or longer ones, than a text table takes";
    return false;
  }
  if (2 + 2 * texts.size() + at != end) {
    why = "the string block holds bytes that belong to no text";
    return false;
  }
  text.clear();
  for (size_t i = 0; i < texts.size(); ++i) {
    std::string token;
    if (!quotedToken(texts[i], token, why)) {
      why = "text " + std::to_string(i) + ": " + why;
      return false;
    }
    text += std::to_string(long(i) + firstNumber(code)) + " TEXT_" + std::to_string(i) + " " + token + "\n";
  }
  return true;
}

}  // namespace kiln
