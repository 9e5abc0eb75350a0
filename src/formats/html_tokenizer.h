// HTML tokenizer over decoded text: splits a page into items (text, tags, comments, script and
// style contents, declarations, server-side blocks) that keep their exact source spans, and gives
// start tags readable and replaceable attributes. It never fails: markup it cannot make sense of
// comes out as text, so every character of the input belongs to exactly one item.
//
// A tokenizer and its items are plain objects for one thread; items and attribute views point into
// the text given to the tokenizer, which must outlive them.
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tq {

enum class THtmlItemKind {
  hikText,         // text between markup, and malformed markup passed through
  hikStartTag,     // <name attr=value ...>
  hikEndTag,       // </name>
  hikComment,      // <!-- ... -->
  hikDeclaration,  // <!DOCTYPE ...>, <![CDATA[ ... ]]> and other <! ... >
  hikProcessing,   // <? ... ?>
  hikServerBlock,  // <% ... %>
  hikScriptText,   // contents of a script element holding JavaScript or JSON
  hikStyleText,    // contents of a style element
  hikRawText,      // contents of textarea and title, and of scripts holding markup templates
  hikLiteralText,  // contents of xmp and plaintext, and of scripts of any other type: nothing in
                   // them is ever read as a character reference
};

// One attribute of a start tag as found in the source, plus the edits made to it.
struct THtmlAttribute {
  std::u16string_view Name;      // as written
  std::u16string_view RawValue;  // as written, character references unresolved, quotes excluded
  char16_t Quote = 0;            // '"', '\'' or 0 for an unquoted value or no value
  bool HasValue = false;         // false for a bare attribute such as <input checked>
  bool Removed = false;
  std::optional<std::u16string> NewValue;  // set by SetAttribute: decoded text to write
};

// A start tag whose attributes can be read and changed before a writer writes it. Names compare
// ASCII case-insensitively; when an attribute occurs twice the first one counts, as in browsers.
class THtmlStartTag {
 public:
  std::u16string_view Source() const { return m_source; }
  std::u16string_view Name() const { return m_name; }
  bool NameIs(std::string_view name) const;
  // Ends with "/>" (kept when the tag is rewritten).
  bool SelfClosing() const { return m_selfClosing; }

  // Value with character references resolved, as UTF-8; nullopt when absent; "" for a bare one.
  std::optional<std::string> GetAttribute(std::string_view name) const;
  bool HasAttribute(std::string_view name) const { return Find(name) != nullptr; }
  // Sets the value (UTF-8, written quoted and escaped); appends the attribute when absent.
  void SetAttribute(std::string_view name, std::string_view value);
  void RemoveAttribute(std::string_view name);
  // True once any attribute was set, removed or added: the writer then rebuilds the tag.
  bool Modified() const { return m_modified; }

  const std::vector<THtmlAttribute>& Attributes() const { return m_attributes; }

 private:
  friend class THtmlTokenizer;
  THtmlAttribute* Find(std::string_view name, std::size_t from = 0);
  const THtmlAttribute* Find(std::string_view name, std::size_t from = 0) const;

  std::u16string_view m_source;
  std::u16string_view m_name;
  bool m_selfClosing = false;
  bool m_modified = false;
  std::vector<THtmlAttribute> m_attributes;
  std::deque<std::u16string> m_addedNames;  // names of appended attributes (stable storage)
};

struct THtmlItem {
  THtmlItemKind Kind = THtmlItemKind::hikText;
  std::u16string_view Source;  // the exact source text of the item
  std::u16string_view Name;    // tag name as written, for start and end tags
};

class THtmlTokenizer {
 public:
  explicit THtmlTokenizer(std::u16string_view text) : m_text(text) {}

  // Moves to the next item; false when the text is exhausted.
  bool Next();
  const THtmlItem& Item() const { return m_item; }
  // The current start tag (meaningful while Item().Kind is hikStartTag).
  THtmlStartTag& StartTag() { return m_tag; }
  // Offset of the current item in the text.
  std::size_t Position() const { return m_itemStart; }

 private:
  bool TryMarkup(std::size_t at);
  bool TryStartTag(std::size_t at);
  bool TryEndTag(std::size_t at);
  void Emit(THtmlItemKind kind, std::size_t begin, std::size_t end);

  std::u16string_view m_text;
  std::size_t m_pos = 0;
  std::size_t m_itemStart = 0;
  THtmlItem m_item;
  THtmlStartTag m_tag;
  // After the start tag of an element whose contents are not markup: its lower-case name and the
  // kind its contents get; empty name when not inside one.
  std::string m_rawElement;
  THtmlItemKind m_rawKind = THtmlItemKind::hikRawText;
  std::size_t m_noPiEndFrom = std::u16string_view::npos;  // no "?>" at or after this offset
};

// ASCII case-insensitive comparison of a UTF-16 name with an ASCII name.
bool HtmlNameEquals(std::u16string_view name, std::string_view ascii);

// Resolves character references (&amp; &#233; &#x20AC; and common named ones) as browsers do in
// attribute values; unknown references stay as written. A reference to the stored copy's
// placeholder mark gives U+FFFD, as one to a surrogate does.
std::u16string DecodeCharacterReferences(std::u16string_view text);

std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view text);

}  // namespace tq
