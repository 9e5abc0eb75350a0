// Stored contents sent in pieces, and byte ranges of them.
#include "server/stored_body.h"

#include <algorithm>
#include <charconv>

#include "storage/archive.h"

namespace tq {
namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// Digits only, no sign: anything else is not a number of a range.
std::optional<uint64_t> Number(std::string_view text) {
  uint64_t value = 0;
  if (text.empty()) return std::nullopt;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

TRangeRequest ParseRangeField(std::string_view field, uint64_t size) {
  TRangeRequest request;
  field = Trim(field);
  constexpr std::string_view kUnit = "bytes=";
  if (field.size() < kUnit.size() || field.find(',') != std::string_view::npos) return request;
  for (std::size_t i = 0; i < kUnit.size(); ++i) {
    if ((field[i] | 0x20) != kUnit[i] && field[i] != kUnit[i]) return request;
  }
  const std::string_view spec = Trim(field.substr(kUnit.size()));
  const std::size_t dash = spec.find('-');
  if (dash == std::string_view::npos) return request;
  const std::string_view firstText = Trim(spec.substr(0, dash));
  const std::string_view lastText = Trim(spec.substr(dash + 1));
  if (firstText.empty()) {  // the last n bytes
    const auto suffix = Number(lastText);
    if (!suffix) return request;
    if (*suffix == 0 || size == 0) {
      request.Satisfiable = false;
      return request;
    }
    request.Range = TByteRange{size - std::min(*suffix, size), size - 1};
    return request;
  }
  const auto first = Number(firstText);
  const auto last = lastText.empty() ? std::optional<uint64_t>(UINT64_MAX) : Number(lastText);
  if (!first || !last || *last < *first) return request;
  if (*first >= size) {
    request.Satisfiable = false;
    return request;
  }
  request.Range = TByteRange{*first, std::min(*last, size - 1)};
  return request;
}

void TStoredBodyStream::Next(std::string& out, std::size_t max) {
  const auto want = static_cast<std::size_t>(std::min<uint64_t>(max, m_left));
  const std::size_t had = out.size();
  out.resize(had + want);
  std::size_t got = 0;
  while (got < want) {
    const std::size_t n = m_content->Read(out.data() + had + got, want - got);
    if (n == 0) throw EArchiveError("A stored content ended before its size");
    got += n;
  }
  m_left -= got;
}

THttpResponse StoredContentAnswer(std::string contentType, std::unique_ptr<TContentStream> content,
                                  std::string_view rangeField) {
  THttpResponse answer;
  answer.ContentType = std::move(contentType);
  answer.Fields = "Accept-Ranges: bytes\r\n";
  const uint64_t size = content ? content->Size() : 0;
  uint64_t first = 0, count = size;
  if (!rangeField.empty()) {
    const TRangeRequest asked = ParseRangeField(rangeField, size);
    if (!asked.Satisfiable) {
      answer.Status = 416;
      answer.ContentType.clear();
      answer.Fields += "Content-Range: bytes */" + std::to_string(size) + "\r\n";
      return answer;
    }
    if (asked.Range) {
      first = asked.Range->First;
      count = asked.Range->Last - first + 1;
      answer.Status = 206;
      answer.Fields += "Content-Range: bytes " + std::to_string(first) + "-" +
                       std::to_string(asked.Range->Last) + "/" + std::to_string(size) + "\r\n";
    }
  }
  if (count == 0) return answer;
  content->Skip(first);
  auto stream = std::make_shared<TStoredBodyStream>(std::move(content), count);
  stream->Next(answer.Body, kMaxUnsentBodyBytes);
  if (stream->Left() > 0) answer.Stream = std::move(stream);
  return answer;
}

}  // namespace tq
