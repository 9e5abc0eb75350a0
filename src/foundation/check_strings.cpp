// Keyword lists: their ";" text form and their persisted 0xA4-separated form.
#include "foundation/check_strings.h"

#include <stdexcept>

namespace tq {

std::vector<std::string> SplitListText(std::string_view text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t at = text.find(separator); at != std::string_view::npos;
       at = text.find(separator, start)) {
    parts.emplace_back(text.substr(start, at - start));
    start = at + 1;
  }
  if (start < text.size()) parts.emplace_back(text.substr(start));
  return parts;
}

TCheckString& TCheckStrings::Add() {
  m_items.push_back(std::make_unique<TCheckString>());
  return *m_items.back();
}

TCheckString& TCheckStrings::Items(int index) {
  return *m_items.at(static_cast<size_t>(index));
}

const TCheckString& TCheckStrings::Items(int index) const {
  return *m_items.at(static_cast<size_t>(index));
}

void TCheckStrings::Delete(int index) {
  if (index < 0 || index >= Count()) throw std::out_of_range("keyword list index out of bounds");
  m_items.erase(m_items.begin() + index);
}

std::string TCheckStrings::Text() const {
  std::string text;
  for (const auto& item : m_items) {
    text += item->Value;
    text += ';';
  }
  return text;
}

void TCheckStrings::SetText(std::string_view text) {
  Clear();
  for (auto& part : SplitListText(text, ';')) Add().Value = std::move(part);
}

void TCheckStrings::LoadFromIni(const TVornCustomIniFile& ini, std::string_view section,
                                std::string_view prefix) {
  Clear();
  const std::string p(prefix);
  const auto values = SplitListText(ini.ReadString(section, p + "FilterValues", ""), kSeparator);
  const auto flags = SplitListText(ini.ReadString(section, p + "FilterChecked", ""), kSeparator);
  for (size_t i = 0; i < values.size() && i < flags.size(); ++i) {
    auto& item = Add();
    item.Value = values[i];
    item.Checked = flags[i] == "1";
  }
}

void TCheckStrings::SaveToIni(TVornCustomIniFile& ini, std::string_view section,
                              std::string_view prefix) const {
  std::string values;
  std::string flags;
  for (const auto& item : m_items) {
    values += item->Value;
    values += kSeparator;
    flags += item->Checked ? '1' : '0';
    flags += kSeparator;
  }
  const std::string p(prefix);
  ini.WriteString(section, p + "FilterValues", values);
  ini.WriteString(section, p + "FilterChecked", flags);
}

}  // namespace tq
