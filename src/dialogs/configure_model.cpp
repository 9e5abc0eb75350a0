// Filling the project properties dialog and taking its values over.
#include "dialogs/configure_model.h"

#include <algorithm>

#include "foundation/url.h"
#include "platform/dialog_service.h"

namespace tq {

const std::array<TConfigureNode, 17> kConfigureTree = {{
    {"Project", cpGeneral, 0, ncNone},
    {"General", cpGeneral, 1, ncNone},
    {"System Performance", cpPerformance, 1, ncNone},
    {"File Filters", cpArchive, 0, ncNone},
    {"Archive", cpArchive, 1, ncFilterDownload},
    {"Audio", cpAudio, 1, ncFilterDownload},
    {"Images", cpImages, 1, ncFilterDownload},
    {"Text", cpText, 1, ncFilterDownload},
    {"Video", cpVideo, 1, ncFilterDownload},
    {"Tags Sensibility", cpTags, 0, ncNone},
    {"Url Filters", cpServers, 0, ncNone},
    {"Server Filters", cpServers, 1, ncNone},
    {"Folder Filters", cpDirectories, 1, ncNone},
    {"File Filters", cpFileNames, 1, ncNone},
    {"Advanced", cpLinkTranslation, 0, ncNone},
    {"Link Translation", cpLinkTranslation, 1, ncTranslation},
    {"Passwords", cpPasswords, 1, ncPasswords},
}};

std::string_view ConfigurePageHeading(TConfigurePage page) {
  static constexpr std::array<std::string_view, 13> kHeadings = {
      "Project - General",
      "Project - System performance",
      "File Filters - Archive",
      "File Filters - Audio",
      "File Filters - Images",
      "File Filters - Text",
      "File Filters - Video",
      "Tags Sensibility",
      "Url Filters - Servers Filter",
      "Url Filters - Directory Filter",
      "Url Filters - Filename",
      "Advanced - Link Translation",
      "Advanced - Passwords",
  };
  return page < kHeadings.size() ? kHeadings[page] : std::string_view();
}

const std::array<std::string_view, 7> kThreadPriorityTexts = {
    "The thread executes only when the system is idle. ",
    "The thread's priority is two points below normal.",
    "The thread's priority is one point below normal.",
    "The thread has normal priority.",
    "The thread's priority is one point above normal.",
    "The thread's priority is two points above normal.",
    "The thread gets highest priority.",
};

// Alphabetical by caption, which is not the kinds' order: "TH" comes before "TR".
const std::array<TTagEntry, kStoredTagKinds> kTagEntries = {{
    {"Anchor", eptAnchor},   {"Applet", eptApplet},   {"Area", eptArea},
    {"Base", eptBase},       {"BgSound", eptBgSound}, {"Body", eptBody},
    {"Comment", eptComment}, {"Embedded", eptEmbed},  {"Form", eptForm},
    {"Frame", eptFrame},     {"IFrame", eptIFrame},   {"Image", eptImage},
    {"Input", eptInput},     {"Layer", eptLayer},     {"Link", eptLink},
    {"Meta", eptMeta},       {"Object", eptObject},   {"Redirect", eptRedirect},
    {"Script", eptScript},   {"Sound", eptSound},     {"Table", eptTable},
    {"TD", eptTD},           {"TH", eptTH},           {"TR", eptTR},
}};

void TCheckListEdit::AddEntry(bool checked) {
  Items.push_back({std::string(), checked});
  Selected = static_cast<int>(Items.size()) - 1;
}

void TCheckListEdit::RemoveSelected() {
  if (!EditEnabled()) return;
  Items.erase(Items.begin() + Selected);
  Selected = -1;
}

void TCheckListEdit::RenameSelected(const std::string& text) {
  if (EditEnabled()) Items[Selected].Value = text;
}

void TCredentialEdit::AddEntry() {
  TAuthorization entry;
  entry.Enabled = true;
  Items.push_back(entry);
  Selected = static_cast<int>(Items.size()) - 1;
}

void TCredentialEdit::RemoveSelected() {
  if (!EditsEnabled()) return;
  Items.erase(Items.begin() + Selected);
  Selected = -1;
}

namespace {

std::array<TVornFileFilters*, 5> FiltersInPageOrder(TVornCrawlSettings& s) {
  return {&s.FilterArchiveFiles, &s.FilterAudioFiles, &s.FilterImagesFiles, &s.FilterTextFiles,
          &s.FilterVideoFiles};
}

std::array<TAuthorizations*, 4> CredentialLists(TVornPasswords& p) {
  return {&p.HTMLAuth, &p.HTTPAuth, &p.HTTPSAuth, &p.FTPAuth};
}

std::vector<TCheckString> CopyChecks(const TCheckStrings& list) {
  std::vector<TCheckString> items;
  for (int i = 0; i < list.Count(); ++i) items.push_back(list.Items(i));
  return items;
}

void StoreChecks(const TCheckListEdit& edit, TCheckStrings& list) {
  list.Clear();
  for (const TCheckString& item : edit.Items) list.Add() = item;
}

void LoadKeywords(TKeywordPage& page, const TVornRules& rules, int rule) {
  page.Rule = rule;
  page.Enabled = rules.Enabled;
  page.Included.Items = CopyChecks(rules.IncludedKeywords);
  page.Excluded.Items = CopyChecks(rules.ExcludedKeywords);
}

void StoreKeywords(const TKeywordPage& page, TVornRules& rules) {
  rules.Enabled = page.Enabled;
  StoreChecks(page.Included, rules.IncludedKeywords);
  StoreChecks(page.Excluded, rules.ExcludedKeywords);
}

}  // namespace

TConfigureModel::TConfigureModel(TVornCrawlSettings& settings) : m_settings(settings) {
  const TGeneral& general = settings.General;
  ProjectName = general.ProjectName();
  BaseUrl = general.BaseUrl;
  LevelLimit = general.LevelLimit;
  PageRequisites = general.PageRequisites;
  FileModificationCheck = general.FileModificationCheck;

  const TSystem& system = settings.System;
  ThreadsPriority = system.ThreadsPriority;
  ThreadsCount = system.ThreadsCount;
  ConnectionTimeout = system.ConnectionTimeout;
  RetriesOnFailed = system.RetriesOnFailed;
  MaxRequestsPerSecond = system.MaxRequestsPerSecond;
  ObeyRobots = system.ObeyRobots;
  BuildAllTree = system.BuildAllTree();
  BuildIgnored = system.BuildIgnored();
  BuildEmails = system.BuildEmails();

  const auto filters = FiltersInPageOrder(settings);
  for (size_t i = 0; i < filters.size(); ++i) {
    const TVornFileFilters& from = *filters[i];
    TFilterPage& page = Filters[i];
    page.Download = from.Download;
    page.Location = from.FileLocation;
    page.SelectedSizes = from.FileSizeUsage == ffsSelected;
    page.MinEnabled = from.FileMinSize.Enabled;
    page.MinSize = from.FileMinSize.Size;
    page.MaxEnabled = from.FileMaxSize.Enabled;
    page.MaxSize = from.FileMaxSize.Size;
    page.SelectedTypes = from.FileExtensionsUsage == ffeSelected;
    page.Extensions.Items = CopyChecks(from.FileExtensions);
  }

  const TVornTagsRecognition& tags = settings.TagsRecognition;
  for (size_t i = 0; i < kTagEntries.size(); ++i)
    Tags[i] = tags.TagsSensibility[kTagEntries[i].Kind];
  BasicMode = tags.RecognitionMode == erBasic;
  Java = tags.Recognition[ertJava];
  Css = tags.Recognition[ertCSS];
  m_recognizeHtml = tags.Recognition[ertHTML];

  LoadKeywords(Servers, settings.ServerRules, settings.ServerRules.ServerRules);
  ServerHTTP = settings.ServerRules.HTTP;
  ServerHTTPS = settings.ServerRules.HTTPS;
  ServerFTP = settings.ServerRules.FTP;
  FollowApropiateDomains = settings.ServerRules.FollowApropiateDomains;
  LoadKeywords(Directories, settings.DirectoryRules, settings.DirectoryRules.DirectoryRules);
  LoadKeywords(FileNames, settings.FileRules, settings.FileRules.FileRules);

  TranslationEnabled = settings.LinksTranslation.Enabled;
  Followed = settings.LinksTranslation.Followed;
  UnFollowed = settings.LinksTranslation.UnFollowed;

  TVornPasswords& passwords = settings.Passwords;
  PasswordsEnabled = passwords.Enabled;
  const auto lists = CredentialLists(passwords);
  for (size_t i = 0; i < lists.size(); ++i) {
    for (int j = 0; j < lists[i]->Count(); ++j) Credentials[i].Items.push_back(lists[i]->Items(j));
  }
  AutoAdd = passwords.AutoAdd;
  UseDefaultLogin = passwords.NewPassAction == eaUseDefault;
  DefaultUser = passwords.DefaultLogin.User;
  DefaultPassword = passwords.DefaultLogin.Password;
}

bool TConfigureModel::NodeChecked(TConfigurePage page) const {
  if (page == cpLinkTranslation) return TranslationEnabled;
  if (page == cpPasswords) return PasswordsEnabled;
  if (page >= cpArchive && page <= cpVideo) return Filters.at(page - cpArchive).Download;
  return true;
}

void TConfigureModel::ToggleNode(TConfigurePage page) {
  if (page == cpLinkTranslation) {
    TranslationEnabled = !TranslationEnabled;
  } else if (page == cpPasswords) {
    PasswordsEnabled = !PasswordsEnabled;
  } else if (page >= cpArchive && page <= cpVideo) {
    Filter(page).Download = !Filter(page).Download;
  }
}

bool TConfigureModel::LeaveServerEdit(TCredentialPage page, std::string& text) {
  if (text.empty()) return true;
  struct TRule {
    TUrlProtocol Protocol;
    const char* Message;
  };
  static constexpr std::array<TRule, 4> kRules = {{
      {upHttp, "Invalid Protocol to use for HTTP connection.\n\rTry using http://servername"},
      {upHttp, "Invalid Protocol to use for HTTP connection.\n\rTry using http://servername"},
      {upHttps, "Invalid Protocol to use for HTTPS connection.\n\rTry using https://servername"},
      {upFtp, "Invalid Protocol to use for FTP connection.\n\rTry using ftp://servername"},
  }};
  const TRule& rule = kRules.at(page);
  if (GetUrlProtocol(text) != rule.Protocol) {
    DialogService().ShowMessageDlg(rule.Message, mdiWarning, mbOk, "Invalid Entry", 0);
    return false;
  }
  text = ExtractUrlServer(text);
  TCredentialEdit& edit = Credentials.at(page);
  if (edit.EditsEnabled()) edit.Items[edit.Selected].Address = text;
  return true;
}

void TConfigureModel::TakeOver() {
  TGeneral& general = m_settings.General;
  if (ProjectName != general.ProjectName()) general.SetProjectName(ProjectName);
  general.BaseUrl = BaseUrl;
  general.LevelLimit = LevelLimit;
  general.PageRequisites = PageRequisites;
  general.FileModificationCheck = static_cast<TFileModificationCheck>(FileModificationCheck);

  TSystem& system = m_settings.System;
  system.ThreadsPriority = static_cast<TThreadPriority>(ThreadsPriority);
  system.ThreadsCount = static_cast<uint8_t>(ThreadsCount);
  system.ConnectionTimeout = ConnectionTimeout;
  system.RetriesOnFailed = static_cast<uint8_t>(RetriesOnFailed);
  system.MaxRequestsPerSecond = std::clamp(MaxRequestsPerSecond, 0, kMaxRateMax);
  system.ObeyRobots = ObeyRobots;
  // Each build switch rebuilds a tree or list of the open project: only for a real change.
  if (BuildAllTree != system.BuildAllTree()) system.SetBuildAllTree(BuildAllTree);
  if (BuildIgnored != system.BuildIgnored()) system.SetBuildIgnored(BuildIgnored);
  if (BuildEmails != system.BuildEmails()) system.SetBuildEmails(BuildEmails);

  const auto filters = FiltersInPageOrder(m_settings);
  for (size_t i = 0; i < filters.size(); ++i) {
    TVornFileFilters& to = *filters[i];
    const TFilterPage& page = Filters[i];
    to.Download = page.Download;
    to.FileLocation = static_cast<TFileFiltersLocation>(page.Location);
    to.FileSizeUsage = page.SelectedSizes ? ffsSelected : ffsAll;
    to.FileMinSize = {page.MinSize, page.MinEnabled};
    to.FileMaxSize = {page.MaxSize, page.MaxEnabled};
    to.FileExtensionsUsage = page.SelectedTypes ? ffeSelected : ffeAll;
    StoreChecks(page.Extensions, to.FileExtensions);
  }

  TVornTagsRecognition& tags = m_settings.TagsRecognition;
  tags.TagsSensibility.reset();
  for (size_t i = 0; i < kTagEntries.size(); ++i) {
    if (Tags[i]) tags.TagsSensibility.set(kTagEntries[i].Kind);
  }
  tags.RecognitionMode = BasicMode ? erBasic : erAggresive;
  tags.Recognition.reset();
  tags.Recognition[ertHTML] = m_recognizeHtml;
  tags.Recognition[ertJava] = Java;
  tags.Recognition[ertCSS] = Css;

  TVornServerRules& servers = m_settings.ServerRules;
  servers.ServerRules = static_cast<TVornServersRules>(Servers.Rule);
  servers.HTTP = ServerHTTP;
  servers.HTTPS = ServerHTTPS;
  servers.FTP = ServerFTP;
  servers.FollowApropiateDomains = FollowApropiateDomains;
  StoreKeywords(Servers, servers);
  m_settings.DirectoryRules.DirectoryRules = static_cast<TVornDirRules>(Directories.Rule);
  StoreKeywords(Directories, m_settings.DirectoryRules);
  m_settings.FileRules.FileRules = static_cast<TVornFilesRules>(FileNames.Rule);
  StoreKeywords(FileNames, m_settings.FileRules);

  TVornLinkTranslation& translation = m_settings.LinksTranslation;
  translation.Followed = static_cast<TLinkTranslation>(Followed);
  translation.UnFollowed = static_cast<TLinkTranslation>(UnFollowed);
  translation.Enabled = TranslationEnabled;

  TVornPasswords& passwords = m_settings.Passwords;
  const auto lists = CredentialLists(passwords);
  for (size_t i = 0; i < lists.size(); ++i) {
    lists[i]->Clear();
    for (const TAuthorization& entry : Credentials[i].Items) lists[i]->Add() = entry;
  }
  passwords.AutoAdd = AutoAdd;
  passwords.NewPassAction = UseDefaultLogin ? eaUseDefault : eaPrompt;
  passwords.DefaultLogin.User = DefaultUser;
  passwords.DefaultLogin.Password = DefaultPassword;
  passwords.Enabled = PasswordsEnabled;
}

}  // namespace tq
