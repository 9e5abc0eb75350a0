// The main window's remembered state in the settings file.
#include "ui/window_state.h"

#include <charconv>
#include <string>

#include "foundation/ini_file.h"

namespace tq {
namespace {

// Sizes beyond any screen are taken for damage.
constexpr int kMaxSize = 100000;

std::string ColumnsKey(int kind) {
  return "Columns" + std::to_string(kind);
}

}  // namespace

std::string SizesText(const std::vector<int>& sizes) {
  std::string text;
  for (const int size : sizes) text += (text.empty() ? "" : ",") + std::to_string(size);
  return text;
}

std::vector<int> SizesFromText(std::string_view text) {
  std::vector<int> sizes;
  while (!text.empty()) {
    const size_t comma = text.find(',');
    const std::string_view part = text.substr(0, comma);
    int value = -1;
    const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
    if (error != std::errc() || end != part.data() + part.size() || value < 0 || value > kMaxSize) {
      return {};
    }
    sizes.push_back(value);
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
    if (text.empty()) return {};  // a trailing comma
  }
  return sizes;
}

void TWindowState::LoadFromIni(const TVornCustomIniFile& ini) {
  const auto number = [&](const char* key, int low) {
    const int value = ini.ReadInteger(kWindowSection, key, 0);
    return value < low || value > kMaxSize ? 0 : value;
  };
  Left = ini.ReadInteger(kWindowSection, "Left", 0);
  Top = ini.ReadInteger(kWindowSection, "Top", 0);
  Width = number("Width", 1);
  Height = number("Height", 1);
  if (Width == 0 || Height == 0) Width = Height = 0;
  Maximized = ini.ReadInteger(kWindowSection, "Maximized", 0) == 1;
  const auto sizes = [&](const std::string& key) {
    return SizesFromText(ini.ReadString(kWindowSection, key, ""));
  };
  OuterSplit = sizes("OuterSplit");
  InnerSplit = sizes("InnerSplit");
  for (int kind = 0; kind < kLinkListKinds; ++kind) Columns[size_t(kind)] = sizes(ColumnsKey(kind));
  FindColumns = sizes("FindColumns");
}

void TWindowState::SaveToIni(TVornCustomIniFile& ini) const {
  ini.EraseSection(kWindowSection);
  if (Width > 0) {
    ini.WriteInteger(kWindowSection, "Left", Left);
    ini.WriteInteger(kWindowSection, "Top", Top);
    ini.WriteInteger(kWindowSection, "Width", Width);
    ini.WriteInteger(kWindowSection, "Height", Height);
    ini.WriteBool(kWindowSection, "Maximized", Maximized);
  }
  const auto sizes = [&](const std::string& key, const std::vector<int>& value) {
    if (!value.empty()) ini.WriteString(kWindowSection, key, SizesText(value));
  };
  sizes("OuterSplit", OuterSplit);
  sizes("InnerSplit", InnerSplit);
  for (int kind = 0; kind < kLinkListKinds; ++kind) sizes(ColumnsKey(kind), Columns[size_t(kind)]);
  sizes("FindColumns", FindColumns);
}

}  // namespace tq
