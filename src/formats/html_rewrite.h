// Reading a fetched page and writing its copy: find the page's charset (byte-order mark, META
// declaration, Content-Type, else windows-1252), decode it, and drive the tokenizer and writer
// over it with a hook that may edit every start tag. The link analyser is built on this.
//
// Functions are safe to call from any thread; they share no state.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "formats/html_tokenizer.h"
#include "formats/html_writer.h"

namespace tq {

enum class THtmlCharsetSource { hcsByteOrderMark, hcsMeta, hcsContentType, hcsDefault };

struct TDecodedHtml {
  std::u16string Text;  // without the byte-order mark
  std::string Charset;  // canonical name the text was decoded with
  THtmlCharsetSource Source = THtmlCharsetSource::hcsDefault;
};

// The charset a META tag of the page declares (<meta charset=...> or http-equiv Content-Type),
// read from the raw bytes before anything is decoded, in the first 1024 bytes first; the first
// declaration naming a known charset counts. "" when there is none before the body.
std::string FindMetaCharset(std::string_view bytes);

// Decodes a page as a browser would pick its charset; undecodable sequences, and the placeholder
// mark of stored copies (kPlaceholderMark, a noncharacter), become U+FFFD. Throws
// only EVornError, for a page of 1 GiB or more.
TDecodedHtml DecodeHtml(std::string_view bytes, std::string_view contentType);

// Decodes the page, calls onStartTag (when set) for every start tag so it may read and edit the
// attributes, shows onStyleText (when set) the text of every style element, which is written
// unchanged, makes META charset declarations name the writer's charset, and writes every item.
// Returns the written copy. If a hook throws, the exception propagates and writer.Output()
// holds the copy as far as it was written.
using TStartTagHook = std::function<void(THtmlStartTag&)>;
using TStyleTextHook = std::function<void(std::u16string_view text)>;
std::string RewriteHtml(std::string_view bytes, std::string_view contentType,
                        const TStartTagHook& onStartTag, THtmlWriter& writer,
                        const TStyleTextHook& onStyleText = {});
// The same into a stored copy (windows-1258).
std::string RewriteHtml(std::string_view bytes, std::string_view contentType,
                        const TStartTagHook& onStartTag = {});

// page (8-bit text whose markup is ASCII, as rendered stored copies are) with the href of every
// base element replaced by what rebase gives for it (its value, references resolved, in and out);
// every other byte stays. Pages without a base element come back at the cost of one search.
std::string ReplaceBaseHrefs(std::string page,
                             const std::function<std::string(const std::string& href)>& rebase);

}  // namespace tq
