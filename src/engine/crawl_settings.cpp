// Persisted form of the crawl settings and the values of a new project.
#include "engine/crawl_settings.h"

#include <algorithm>
#include <initializer_list>

#include "foundation/canonical_url.h"

namespace tq {
namespace {

constexpr std::string_view kUntitled = "Untitled";

// Sets as strings of "0"/"1", one character per member; characters past the end read as "0".
template <size_t N>
std::string SetToText(const std::bitset<N>& set, size_t stored) {
  std::string text(stored, '0');
  for (size_t i = 0; i < stored; ++i) {
    if (set.test(i)) text[i] = '1';
  }
  return text;
}

template <size_t N>
std::bitset<N> TextToSet(std::string_view text, size_t stored) {
  std::bitset<N> set;
  for (size_t i = 0; i < stored && i < text.size(); ++i) set.set(i, text[i] == '1');
  return set;
}

void SetExtensions(TVornFileFilters& filter, std::initializer_list<const char*> extensions) {
  filter.FileExtensions.Clear();
  for (const char* extension : extensions) {
    TCheckString& item = filter.FileExtensions.Add();
    item.Value = extension;
    item.Checked = true;
  }
}

}  // namespace

// --- TGeneral ---

std::string TGeneral::ProjectName() const {
  return m_projectName.empty() ? std::string(kUntitled) : m_projectName;
}

void TGeneral::SetProjectName(std::string name) {
  m_projectName = std::move(name);
  if (OnProjectNameChange) OnProjectNameChange(*this, ProjectName());
}

std::string TGeneral::StartingUrl() const {
  std::lock_guard<std::mutex> guard(m_startingUrlMutex);
  return BaseUrl;
}

bool TGeneral::ReplaceStartingUrl(std::string_view from, std::string url) {
  std::lock_guard<std::mutex> guard(m_startingUrlMutex);
  if (CanonicalUrl(BaseUrl) != CanonicalUrl(from)) return false;
  BaseUrl = std::move(url);
  return true;
}

void TGeneral::LoadFromIni(const TVornCustomIniFile& ini, std::string_view section,
                           bool templateMode) {
  if (!templateMode) {
    // The one hook that runs while loading: the project window's title follows the name.
    SetProjectName(ini.ReadString(section, "FProjectName", ""));
    BaseUrl = ini.ReadString(section, "FBaseUrl", "");
  }
  LevelLimit = ini.ReadInteger(section, "FLevelLimit", 0);
  FileModificationCheck = ReadOrdinal<TFileModificationCheck>(ini, section, "FFileModifCheck");
  PageRequisites = ini.ReadBool(section, "FPageRequisites", true);
}

void TGeneral::SaveToIni(TVornCustomIniFile& ini, std::string_view section,
                         bool templateMode) const {
  if (!templateMode) {
    ini.WriteString(section, "FProjectName", ProjectName());
    ini.WriteString(section, "FBaseUrl", BaseUrl);
  }
  ini.WriteInteger(section, "FLevelLimit", LevelLimit);
  ini.WriteInteger(section, "FFileModifCheck", FileModificationCheck);
  ini.WriteBool(section, "FPageRequisites", PageRequisites);
}

// --- TSystem ---

void TSystem::SetBuildAllTree(bool value) {
  m_buildAllTree = value;
  if (OnBuildAllTreeChange) OnBuildAllTreeChange(value);
}

void TSystem::SetBuildIgnored(bool value) {
  m_buildIgnored = value;
  if (OnBuildIgnoredChange) OnBuildIgnoredChange(value);
}

void TSystem::SetBuildEmails(bool value) {
  m_buildEmails = value;
  if (OnBuildEmailsChange) OnBuildEmailsChange(value);
}

void TSystem::LoadFromIni(const TVornCustomIniFile& ini, std::string_view section, bool) {
  ThreadsPriority = ReadOrdinal<TThreadPriority>(ini, section, "FThreadsPriority");
  ThreadsCount = static_cast<uint8_t>(ini.ReadInteger(section, "FThreadsCount", 5));
  ConnectionTimeout = ini.ReadInteger(section, "FConnectionTimeout", 0);
  RetriesOnFailed = static_cast<uint8_t>(ini.ReadInteger(section, "FRetriesOnFailed", 0));
  MaxRequestsPerSecond = std::max(0, ini.ReadInteger(section, "FMaxRequestsPerSecond", 0));
  ObeyRobots = ini.ReadBool(section, "FObeyRobots", false);
  m_buildAllTree = ini.ReadBool(section, "FBuildAllTree", true);
  m_buildIgnored = ini.ReadBool(section, "FBuildIgnored", true);
  m_buildEmails = ini.ReadBool(section, "FBuildEmails", true);
}

void TSystem::SaveToIni(TVornCustomIniFile& ini, std::string_view section, bool) const {
  ini.WriteInteger(section, "FThreadsPriority", ThreadsPriority);
  ini.WriteInteger(section, "FThreadsCount", ThreadsCount);
  ini.WriteInteger(section, "FConnectionTimeout", ConnectionTimeout);
  ini.WriteInteger(section, "FRetriesOnFailed", RetriesOnFailed);
  ini.WriteInteger(section, "FMaxRequestsPerSecond", MaxRequestsPerSecond);
  ini.WriteBool(section, "FObeyRobots", ObeyRobots);
  ini.WriteBool(section, "FBuildAllTree", m_buildAllTree);
  ini.WriteBool(section, "FBuildIgnored", m_buildIgnored);
  ini.WriteBool(section, "FBuildEmails", m_buildEmails);
}

// --- TVornLinkTranslation ---

void TVornLinkTranslation::LoadFromIni(const TVornCustomIniFile& ini, std::string_view section,
                                       bool) {
  Followed = ReadOrdinal<TLinkTranslation>(ini, section, "FFollowed");
  UnFollowed = ReadOrdinal<TLinkTranslation>(ini, section, "FUnFollowed");
  Enabled = ini.ReadBool(section, "Enabled", true);
}

void TVornLinkTranslation::SaveToIni(TVornCustomIniFile& ini, std::string_view section,
                                     bool) const {
  ini.WriteInteger(section, "FFollowed", Followed);
  ini.WriteInteger(section, "FUnFollowed", UnFollowed);
  ini.WriteBool(section, "Enabled", Enabled);
}

// --- TVornFileFilters ---

void TVornFileFilters::LoadFromIni(const TVornCustomIniFile& ini, std::string_view section, bool) {
  FileLocation = ReadOrdinal<TFileFiltersLocation>(ini, section, "FFileLocation");
  FileExtensionsUsage = ReadOrdinal<TFileFiltersExtension>(ini, section, "FFileExtensionsUsage");
  FileExtensions.LoadFromIni(ini, section, "FFileExtensions");
  FileMinSize.Size = ini.ReadInteger(section, "FFileMinSizeSize", 0);
  FileMinSize.Enabled = ini.ReadBool(section, "FFileMinSizeEnabled", true);
  FileMaxSize.Size = ini.ReadInteger(section, "FFileMaxSizeSize", 0);
  FileMaxSize.Enabled = ini.ReadBool(section, "FFileMaxSizeEnabled", true);
  FileSizeUsage = ReadOrdinal<TFileFiltersSize>(ini, section, "FFileSizeUsage");
  Download = ini.ReadBool(section, "FDownload", true);
}

void TVornFileFilters::SaveToIni(TVornCustomIniFile& ini, std::string_view section, bool) const {
  ini.WriteInteger(section, "FFileLocation", FileLocation);
  ini.WriteInteger(section, "FFileExtensionsUsage", FileExtensionsUsage);
  FileExtensions.SaveToIni(ini, section, "FFileExtensions");
  ini.WriteInteger(section, "FFileMinSizeSize", FileMinSize.Size);
  ini.WriteBool(section, "FFileMinSizeEnabled", FileMinSize.Enabled);
  ini.WriteInteger(section, "FFileMaxSizeSize", FileMaxSize.Size);
  ini.WriteBool(section, "FFileMaxSizeEnabled", FileMaxSize.Enabled);
  ini.WriteInteger(section, "FFileSizeUsage", FileSizeUsage);
  ini.WriteBool(section, "FDownload", Download);
}

// --- TVornTagsRecognition ---

TVornTagsRecognition::TVornTagsRecognition() {
  for (int kind = 0; kind < kStoredTagKinds; ++kind) TagsSensibility.set(kind);
  TagsSensibility.reset(eptRedirect);
  Recognition.set();
}

void TVornTagsRecognition::LoadFromIni(const TVornCustomIniFile& ini, std::string_view section,
                                       bool) {
  TagsSensibility =
      TextToSet<eptUnknown + 1>(ini.ReadString(section, "FTagsSensibility", ""), kStoredTagKinds);
  Recognition = TextToSet<3>(ini.ReadString(section, "FRecognition", ""), 3);
  RecognitionMode = ReadOrdinal<TVornRecognitionMode>(ini, section, "FRecognitionMode");
  StyleLinks = ini.ReadBool(section, "FStyleLinks", false);
}

void TVornTagsRecognition::SaveToIni(TVornCustomIniFile& ini, std::string_view section,
                                     bool) const {
  ini.WriteString(section, "FTagsSensibility", SetToText(TagsSensibility, kStoredTagKinds));
  ini.WriteString(section, "FRecognition", SetToText(Recognition, 3));
  ini.WriteInteger(section, "FRecognitionMode", RecognitionMode);
  ini.WriteBool(section, "FStyleLinks", StyleLinks);
}

// --- rule sets ---

void TVornRules::LoadFromIni(const TVornCustomIniFile& ini, std::string_view section, bool) {
  Enabled = ini.ReadBool(section, "Enabled", true);
  IncludedKeywords.LoadFromIni(ini, section, "Included");
  ExcludedKeywords.LoadFromIni(ini, section, "Excluded");
}

void TVornRules::SaveToIni(TVornCustomIniFile& ini, std::string_view section, bool) const {
  ini.WriteBool(section, "Enabled", Enabled);
  IncludedKeywords.SaveToIni(ini, section, "Included");
  ExcludedKeywords.SaveToIni(ini, section, "Excluded");
}

void TVornDirectoryRules::LoadFromIni(const TVornCustomIniFile& ini, std::string_view section,
                                      bool templateMode) {
  DirectoryRules = ReadOrdinal<TVornDirRules>(ini, section, "DirectoryRules");
  TVornRules::LoadFromIni(ini, section, templateMode);
}

void TVornDirectoryRules::SaveToIni(TVornCustomIniFile& ini, std::string_view section,
                                    bool templateMode) const {
  ini.WriteInteger(section, "DirectoryRules", DirectoryRules);
  TVornRules::SaveToIni(ini, section, templateMode);
}

void TVornFileRules::LoadFromIni(const TVornCustomIniFile& ini, std::string_view section,
                                 bool templateMode) {
  FileRules = ReadOrdinal<TVornFilesRules>(ini, section, "Kind");
  TVornRules::LoadFromIni(ini, section, templateMode);
}

void TVornFileRules::SaveToIni(TVornCustomIniFile& ini, std::string_view section,
                               bool templateMode) const {
  ini.WriteInteger(section, "Kind", FileRules);
  TVornRules::SaveToIni(ini, section, templateMode);
}

void TVornServerRules::LoadFromIni(const TVornCustomIniFile& ini, std::string_view section,
                                   bool templateMode) {
  TVornRules::LoadFromIni(ini, section, templateMode);
  FollowApropiateDomains = ini.ReadBool(section, "FFAD", false);
  HTTP = ini.ReadBool(section, "FHTTP", false);
  HTTPS = ini.ReadBool(section, "FHTTPS", false);
  FTP = ini.ReadBool(section, "FFTP", false);
  ServerRules = ReadOrdinal<TVornServersRules>(ini, section, "FServerRules");
}

void TVornServerRules::SaveToIni(TVornCustomIniFile& ini, std::string_view section,
                                 bool templateMode) const {
  TVornRules::SaveToIni(ini, section, templateMode);
  ini.WriteBool(section, "FFAD", FollowApropiateDomains);
  ini.WriteBool(section, "FHTTP", HTTP);
  ini.WriteBool(section, "FHTTPS", HTTPS);
  ini.WriteBool(section, "FFTP", FTP);
  ini.WriteInteger(section, "FServerRules", ServerRules);
}

// --- the whole set ---

void TVornCrawlSettings::LoadFromIni(const TVornCustomIniFile& ini, bool templateMode) {
  General.LoadFromIni(ini, "FGeneral", templateMode);
  System.LoadFromIni(ini, "FSystem", templateMode);
  Passwords.LoadFromIni(ini, "FPasswords", templateMode);
  LinksTranslation.LoadFromIni(ini, "FLinksTranslation", templateMode);
  FilterTextFiles.LoadFromIni(ini, "FFilterTextFiles", templateMode);
  FilterImagesFiles.LoadFromIni(ini, "FFilterImagesFiles", templateMode);
  FilterVideoFiles.LoadFromIni(ini, "FFilterVideoFiles", templateMode);
  FilterAudioFiles.LoadFromIni(ini, "FFilterAudioFiles", templateMode);
  FilterArchiveFiles.LoadFromIni(ini, "FFilterArchiveFiles", templateMode);
  TagsRecognition.LoadFromIni(ini, "FTagsRecognition", templateMode);
  DirectoryRules.LoadFromIni(ini, "FDirectoryRules", templateMode);
  FileRules.LoadFromIni(ini, "FFileRules", templateMode);
  ServerRules.LoadFromIni(ini, "FServerRules", templateMode);
}

void TVornCrawlSettings::SaveToIni(TVornCustomIniFile& ini, bool templateMode) const {
  General.SaveToIni(ini, "FGeneral", templateMode);
  System.SaveToIni(ini, "FSystem", templateMode);
  Passwords.SaveToIni(ini, "FPasswords", templateMode);
  LinksTranslation.SaveToIni(ini, "FLinksTranslation", templateMode);
  FilterTextFiles.SaveToIni(ini, "FFilterTextFiles", templateMode);
  FilterImagesFiles.SaveToIni(ini, "FFilterImagesFiles", templateMode);
  FilterVideoFiles.SaveToIni(ini, "FFilterVideoFiles", templateMode);
  FilterAudioFiles.SaveToIni(ini, "FFilterAudioFiles", templateMode);
  FilterArchiveFiles.SaveToIni(ini, "FFilterArchiveFiles", templateMode);
  TagsRecognition.SaveToIni(ini, "FTagsRecognition", templateMode);
  DirectoryRules.SaveToIni(ini, "FDirectoryRules", templateMode);
  FileRules.SaveToIni(ini, "FFileRules", templateMode);
  ServerRules.SaveToIni(ini, "FServerRules", templateMode);
}

void ApplyNewProjectSettings(TVornCrawlSettings& settings) {
  settings.General.SetProjectName(std::string(kUntitled));
  settings.General.BaseUrl = "http://";
  settings.General.LevelLimit = 5;
  settings.General.FileModificationCheck = fmcOnlyModified;
  settings.General.PageRequisites = true;

  TVornFileFilters* const filters[] = {&settings.FilterTextFiles, &settings.FilterImagesFiles,
                                       &settings.FilterVideoFiles, &settings.FilterAudioFiles,
                                       &settings.FilterArchiveFiles};
  for (TVornFileFilters* filter : filters) {
    filter->FileLocation = fflStartingServer;
    filter->FileExtensionsUsage = ffeAll;
    filter->FileMinSize = TVornFileSize();
    filter->FileMaxSize = TVornFileSize();
    filter->FileSizeUsage = ffsAll;
  }
  settings.FilterTextFiles.Download = true;
  // Each list goes on with the types sites use today (web fonts, modules and data for scripts,
  // vector and newer raster images, web video and audio); saved projects keep their own lists.
  SetExtensions(settings.FilterTextFiles,
                {"asp", "cfm", "cgi", "js", "php", "php3", "css", "htm", "html", "pl", "mjs",
                 "json", "woff", "woff2", "ttf", "otf"});
  settings.FilterTextFiles.FileMaxSize = {20, true};
  settings.FilterImagesFiles.Download = true;
  SetExtensions(settings.FilterImagesFiles,
                {"bmp", "gif", "png", "jpeg", "jpg", "swf", "svg", "webp", "avif", "ico"});
  settings.FilterVideoFiles.Download = false;
  SetExtensions(settings.FilterVideoFiles, {"avi", "mpeg", "mp4", "webm"});
  settings.FilterAudioFiles.Download = false;
  SetExtensions(settings.FilterAudioFiles, {"au", "mp3", "ra", "wav", "ogg", "opus"});
  settings.FilterArchiveFiles.Download = false;
  SetExtensions(settings.FilterArchiveFiles, {"arj", "arc", "lha", "rar", "uhc", "zip"});

  for (int kind = 0; kind < kStoredTagKinds; ++kind)
    settings.TagsRecognition.TagsSensibility.set(kind);
  settings.TagsRecognition.Recognition.set();
  settings.TagsRecognition.RecognitionMode = erAggresive;
  settings.TagsRecognition.StyleLinks = true;

  settings.DirectoryRules.DirectoryRules = edrOnlyStartingDirectory;
  settings.DirectoryRules.Enabled = true;
  settings.FileRules.FileRules = efrAll;
  settings.FileRules.Enabled = false;
  settings.ServerRules.ServerRules = esrAll;
  settings.ServerRules.Enabled = false;
  settings.ServerRules.FollowApropiateDomains = false;
  settings.ServerRules.HTTP = false;
  settings.ServerRules.HTTPS = false;
  settings.ServerRules.FTP = false;
}

}  // namespace tq
