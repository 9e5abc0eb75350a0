// The logic of the project properties dialog, without widgets: the page selector with its check
// boxes, the value of every control filled from a project's crawl settings, the editing of the
// keyword, extension and credential lists on working copies, the scheme check of credential
// servers, and the takeover into the settings on OK. Cancel just drops the model.
//
// Values are kept as stored, also where they lie outside a spin box's range, so opening the
// dialog and pressing OK writes the same values; a binding widens a range to hold its value.
// Interface thread only, while the project does not crawl.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/crawl_settings.h"

namespace tq {

enum TConfigurePage : uint8_t {
  cpGeneral,
  cpPerformance,
  cpArchive,
  cpAudio,
  cpImages,
  cpText,
  cpVideo,
  cpTags,
  cpServers,
  cpDirectories,
  cpFileNames,
  cpLinkTranslation,
  cpPasswords,
};

// What the page selector's check box of a node stands for.
enum TNodeCheck : uint8_t { ncNone, ncFilterDownload, ncTranslation, ncPasswords };

struct TConfigureNode {
  std::string_view Caption;
  TConfigurePage Page;
  int Level;  // 0 for a group, 1 for its pages
  TNodeCheck Check;
};
extern const std::array<TConfigureNode, 17> kConfigureTree;

// The heading of a page's title bar.
std::string_view ConfigurePageHeading(TConfigurePage page);

// The process priority list, in TThreadPriority order.
extern const std::array<std::string_view, 7> kThreadPriorityTexts;

// The "Html Tags" list: alphabetical, each entry naming its tag kind.
struct TTagEntry {
  std::string_view Caption;
  TVornPublishedTagsKind Kind;
};
extern const std::array<TTagEntry, kStoredTagKinds> kTagEntries;

// The check box under "Level" that lets a page's requisites past the level limit.
inline constexpr std::string_view kPageRequisitesCaption =
    "Load what pages need to display (images, styles, scripts) at any level";

// Spin box ranges.
inline constexpr int kLevelLimitMax = 100;
inline constexpr int kThreadsCountMin = 1, kThreadsCountMax = 100;
inline constexpr int kTimeoutMin = 30, kTimeoutMax = 300, kTimeoutStep = 10;
inline constexpr int kRetriesMax = 10;
inline constexpr int kMaxRateMax = 1000;

// The politeness controls under the thread count.
inline constexpr std::string_view kMaxRateCaption = "At most N requests a second to one server";
inline constexpr std::string_view kNoRateLimitText = "No limit";
inline constexpr std::string_view kObeyRobotsCaption = "Obey the servers' robots.txt";
inline constexpr int kFileSizeMax = 100;

// A check list being edited: entries with check marks and the selected one (-1 none).
struct TCheckListEdit {
  std::vector<TCheckString> Items;
  int Selected = -1;

  // Appends an empty entry with the given check and selects it.
  void AddEntry(bool checked);
  // Deletes the selected entry; nothing selected does nothing.
  void RemoveSelected();
  // The edit box typed into: renames the selected entry, keeping its check.
  void RenameSelected(const std::string& text);
  // The edit box shows the selected entry's text and is enabled only with a selection.
  bool EditEnabled() const { return Selected >= 0 && Selected < static_cast<int>(Items.size()); }
  std::string EditText() const { return EditEnabled() ? Items[Selected].Value : std::string(); }
};

struct TFilterPage {
  bool Download = true;  // the node's check box; the whole page is enabled with it
  int Location = fflStartingServer;
  bool SelectedSizes = false;  // "Load only selected files sizes"
  bool MinEnabled = false, MaxEnabled = false;
  int32_t MinSize = 0, MaxSize = 0;
  bool SelectedTypes = false;  // "Load only selected files types"
  TCheckListEdit Extensions;

  bool SizeChecksEnabled() const { return Download && SelectedSizes; }
  bool MinEditEnabled() const { return SizeChecksEnabled() && MinEnabled; }
  bool MaxEditEnabled() const { return SizeChecksEnabled() && MaxEnabled; }
};

struct TKeywordPage {
  int Rule = 0;          // the page's radio choice, in enumeration order
  bool Enabled = false;  // "Keywords : "
  bool ShowExcluded = false;
  TCheckListEdit Included, Excluded;

  TCheckListEdit& Shown() { return ShowExcluded ? Excluded : Included; }
};

enum TCredentialPage : uint8_t { ccHTML, ccHTTP, ccHTTPS, ccFTP };

struct TCredentialEdit {
  std::vector<TAuthorization> Items;
  int Selected = -1;

  bool EditsEnabled() const { return Selected >= 0 && Selected < static_cast<int>(Items.size()); }
  // "<< &Add": a new enabled credential, selected.
  void AddEntry();
  void RemoveSelected();
};

class TConfigureModel {
 public:
  // Fills every control from the settings; the settings stay untouched until TakeOver.
  explicit TConfigureModel(TVornCrawlSettings& settings);

  // Project - General
  std::string ProjectName, BaseUrl;
  int32_t LevelLimit = 0;
  bool PageRequisites = true;  // kPageRequisitesCaption
  int FileModificationCheck = fmcOnlyModified;
  // Project - System performance
  int ThreadsPriority = tpIdle;
  int ThreadsCount = 1, ConnectionTimeout = 0, RetriesOnFailed = 0;
  int MaxRequestsPerSecond = 0;  // kMaxRateCaption; 0: no limit
  bool ObeyRobots = false;       // kObeyRobotsCaption
  bool BuildAllTree = false, BuildIgnored = false, BuildEmails = false;
  // File Filters, indexed by page - cpArchive (Archive, Audio, Images, Text, Video)
  std::array<TFilterPage, 5> Filters;
  TFilterPage& Filter(TConfigurePage page) { return Filters.at(page - cpArchive); }
  // Tags Sensibility
  std::array<bool, kStoredTagKinds> Tags{};  // in kTagEntries order
  bool BasicMode = false;
  bool Java = false, Css = false;
  // Url Filters
  TKeywordPage Servers, Directories, FileNames;
  bool ServerHTTP = false, ServerHTTPS = false, ServerFTP = false;
  bool FollowApropiateDomains = false;
  // Advanced - Link Translation
  bool TranslationEnabled = true;
  int Followed = eltNone, UnFollowed = eltNone;
  // Advanced - Passwords; the selector offers HTTP, HTTPS and FTP
  bool PasswordsEnabled = true;
  TCredentialPage ShownCredentials = ccHTTP;
  std::array<TCredentialEdit, 4> Credentials;
  bool AutoAdd = false;
  bool UseDefaultLogin = false;  // "Use default login"; else "Prompt for password ..."
  std::string DefaultUser, DefaultPassword;

  // The node's check box, and whether its page's content is enabled: both follow the setting.
  bool NodeChecked(TConfigurePage page) const;
  void ToggleNode(TConfigurePage page);

  // Leaving a non-empty "Server :" edit of a credential page: a scheme that does not belong to
  // the page shows the "Invalid Entry" warning and returns false (the focus goes back, the text
  // stays); otherwise the text becomes its server part and the selected entry takes it.
  bool LeaveServerEdit(TCredentialPage page, std::string& text);

  // OK: writes every setting back, page by page. Setters with events are called only for a
  // changed value, so an unchanged dialog raises nothing.
  void TakeOver();

 private:
  TVornCrawlSettings& m_settings;
  bool m_recognizeHtml = true;  // the hidden "HTML/DHTML" box: kept as it was
};

}  // namespace tq
