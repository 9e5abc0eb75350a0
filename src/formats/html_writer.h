// HTML writer: appends tokenizer items to an output in a target code page. Untouched items are
// written back character for character; a start tag whose attributes were changed is rebuilt with
// every value quoted. End tags of elements that have none in HTML (img, meta, ...) are left out.
//
// A writer is a plain object for one thread. It keeps a reference to its encoder.
#pragma once

#include <string>
#include <string_view>

#include "formats/charset.h"
#include "formats/html_tokenizer.h"

namespace tq {

class THtmlWriter {
 public:
  // Writes stored copies: windows-1258 (readable as windows-1252), declared as such.
  THtmlWriter();
  // Writes in the encoder's charset; a META charset declaration is made to name `label`
  // (charset="label", content="text/html;charset=label").
  THtmlWriter(const TCharsetEncoder& encoder, std::string label);

  // Writes an item; a start tag is written as it came (use WriteStartTag for an edited one).
  void Write(const THtmlItem& item);
  // Writes a start tag: exactly as it came when unmodified, rebuilt with quoted values otherwise.
  void WriteStartTag(const THtmlStartTag& tag);
  // Writes the tokenizer's current item, the start tag with its edits.
  void WriteCurrent(THtmlTokenizer& tokenizer);
  // Appends text (escaped for markup when the code page cannot hold a character).
  void WriteText(std::u16string_view text) {
    m_encoder->Append(text, TEscapeContext::ecxMarkup, m_out);
  }

  // If the tag is a META that declares a charset (charset="..." or http-equiv Content-Type),
  // makes it declare the charset this writer writes in, and returns true.
  bool DeclareCharset(THtmlStartTag& tag) const;

  void Reserve(std::size_t bytes) { m_out.reserve(bytes); }
  const std::string& Output() const { return m_out; }
  std::string TakeOutput() { return std::move(m_out); }

 private:
  void WriteValue(const THtmlAttribute& attribute);

  const TCharsetEncoder* m_encoder;
  std::string m_label;
  std::string m_contentValue;
  std::string m_out;
};

// True for the end tag of an element that has no end tag in HTML (area, base, bgsound, img,
// input, link, meta): those are left out of written copies.
bool IsVoidEndTag(const THtmlItem& item);

}  // namespace tq
