// The crawl settings of one project: small persistent objects, one settings-store section each,
// gathered in TVornCrawlSettings. Three sets of values matter and differ: those of a freshly
// made object (the constructors), those of a new project (ApplyNewProjectSettings) and those a
// file without the key reads as (the LoadFromIni defaults).
//
// Thread rules: the interface thread changes settings between crawls; worker and admission
// threads read them without a lock while a crawl runs. Load and save on one thread at a time.
#pragma once

#include <atomic>
#include <bitset>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "engine/connection_status.h"  // TThreadPriority
#include "engine/link.h"
#include "engine/passwords.h"
#include "foundation/check_strings.h"
#include "foundation/ini_file.h"

namespace tq {

enum TFileModificationCheck : uint8_t { fmcOnlyModified, fmcAll, fmcNotExisting };
enum TLinkTranslation : uint8_t { eltNone, eltOnline, EltOffline };
enum TFileFiltersLocation : uint8_t { fflStartingServer, fflStartingDirectory, fflAySite };
enum TFileFiltersExtension : uint8_t { ffeAll, ffeSelected };
enum TFileFiltersSize : uint8_t { ffsAll, ffsSelected };
enum TVornRecognitionMode : uint8_t { erAggresive, erBasic };
enum TVornRecognitionType : uint8_t { ertHTML, ertJava, ertCSS };
enum TVornDirRules : uint8_t { edrOnlyStartingDirectory, edrAll, edrKeywords };
enum TVornFilesRules : uint8_t { efrAll, efrKeywords };
enum TVornServersRules : uint8_t { esrAll, esrStartingProtocol, esrStartingProtocolAnd };

// Kinds 0..23 are stored; eptUnknown (24) is never in a loaded set.
inline constexpr int kStoredTagKinds = 24;
using TVornTagSensibility = std::bitset<eptUnknown + 1>;
using TVornRecognition = std::bitset<3>;

// Store helpers: enumerations are stored as ordinals and taken back unchecked, as read.
template <class E>
E ReadOrdinal(const TVornCustomIniFile& ini, std::string_view section, std::string_view key) {
  return static_cast<E>(ini.ReadInteger(section, key, 0));
}

class TGeneral {
 public:
  using TNameEvent = std::function<void(TGeneral& sender, const std::string& name)>;

  // "Untitled" while the stored name is empty.
  std::string ProjectName() const;
  // Raises OnProjectNameChange with the name as it reads afterwards.
  void SetProjectName(std::string name);

  std::string BaseUrl = "http://";  // the starting address
  // The starting address while a crawl runs. A redirect of the starting page replaces it from a
  // transfer thread while admission and the interface thread read it, so during a crawl it is
  // read and replaced only through these two; between crawls BaseUrl may be used directly.
  std::string StartingUrl() const;
  // Replaces the starting address by url when it is still from; true when it did.
  bool ReplaceStartingUrl(std::string_view from, std::string url);
  int32_t LevelLimit = 0;  // links deeper than this are refused
  // A page's requisites (what it needs to display: images, style sheets, scripts, fonts, frames,
  // objects) come with it whatever the level limit and the folder rules say. On unless turned
  // off, also in projects saved before the setting existed.
  bool PageRequisites = true;
  // Stored and edited only: every dispatched link is fetched in full.
  TFileModificationCheck FileModificationCheck = fmcOnlyModified;
  TNameEvent OnProjectNameChange;

  // Template mode leaves the project's name and starting address alone.
  void LoadFromIni(const TVornCustomIniFile& ini, std::string_view section, bool templateMode);
  void SaveToIni(TVornCustomIniFile& ini, std::string_view section, bool templateMode) const;

 private:
  std::string m_projectName;
  mutable std::mutex m_startingUrlMutex;
};

class TSystem {
 public:
  using TFlagEvent = std::function<void(bool value)>;

  TThreadPriority ThreadsPriority = tpIdle;
  uint8_t ThreadsCount = 5;          // most pages alive at once
  int32_t ConnectionTimeout = 0;     // seconds; 0 waits without limit
  uint8_t RetriesOnFailed = 3;       // extra attempts after a failed one
  int32_t MaxRequestsPerSecond = 0;  // to one server; 0: no limit
  bool ObeyRobots = false;           // links a server's robots.txt refuses go to Ignored

  bool BuildAllTree() const { return m_buildAllTree; }
  bool BuildIgnored() const { return m_buildIgnored; }
  bool BuildEmails() const { return m_buildEmails; }
  // Each setter calls its hook with the new value; loading does not.
  void SetBuildAllTree(bool value);
  void SetBuildIgnored(bool value);
  void SetBuildEmails(bool value);

  TFlagEvent OnBuildAllTreeChange;
  TFlagEvent OnBuildIgnoredChange;
  TFlagEvent OnBuildEmailsChange;

  void LoadFromIni(const TVornCustomIniFile& ini, std::string_view section, bool templateMode);
  void SaveToIni(TVornCustomIniFile& ini, std::string_view section, bool templateMode) const;

 private:
  bool m_buildAllTree = true;
  bool m_buildIgnored = true;
  bool m_buildEmails = true;
};

// The offline server's threads read these while the properties dialog may write them on the
// interface thread, so each is atomic; a copy takes each value as it stands.
class TVornLinkTranslation {
 public:
  std::atomic<TLinkTranslation> Followed{EltOffline};   // links that were fetched
  std::atomic<TLinkTranslation> UnFollowed{eltOnline};  // links that were not
  std::atomic<bool> Enabled{true};  // false: every link keeps its online address

  TVornLinkTranslation() = default;
  TVornLinkTranslation(TLinkTranslation followed, TLinkTranslation unFollowed, bool enabled)
      : Followed(followed), UnFollowed(unFollowed), Enabled(enabled) {}
  TVornLinkTranslation(const TVornLinkTranslation& other)
      : Followed(other.Followed.load()),
        UnFollowed(other.UnFollowed.load()),
        Enabled(other.Enabled.load()) {}
  TVornLinkTranslation& operator=(const TVornLinkTranslation& other) {
    Followed = other.Followed.load();
    UnFollowed = other.UnFollowed.load();
    Enabled = other.Enabled.load();
    return *this;
  }

  void LoadFromIni(const TVornCustomIniFile& ini, std::string_view section, bool templateMode);
  void SaveToIni(TVornCustomIniFile& ini, std::string_view section, bool templateMode) const;
};

struct TVornFileSize {
  int32_t Size = 0;  // KiB
  bool Enabled = false;
};

// One file-type filter (text, images, video, audio, archives); how admission uses it is in
// engine/admission.h.
class TVornFileFilters {
 public:
  bool Download = true;
  TFileFiltersLocation FileLocation = fflStartingServer;
  TCheckStrings FileExtensions;
  TFileFiltersExtension FileExtensionsUsage = ffeAll;
  TVornFileSize FileMinSize;
  TVornFileSize FileMaxSize;
  TFileFiltersSize FileSizeUsage = ffsAll;

  void LoadFromIni(const TVornCustomIniFile& ini, std::string_view section, bool templateMode);
  void SaveToIni(TVornCustomIniFile& ini, std::string_view section, bool templateMode) const;
};

class TVornTagsRecognition {
 public:
  TVornTagsRecognition();

  TVornTagSensibility TagsSensibility;                 // tag kinds whose links may be admitted
  TVornRecognitionMode RecognitionMode = erAggresive;  // duplicate detection: the FindUrl mode
  TVornRecognition Recognition;                        // stored and edited only
  // Links named by style sheets (CSS files, style elements and attributes) and by srcset
  // candidates are followed too. Off unless set: projects saved before it existed crawl as they
  // did; new projects turn it on.
  bool StyleLinks = false;

  void LoadFromIni(const TVornCustomIniFile& ini, std::string_view section, bool templateMode);
  void SaveToIni(TVornCustomIniFile& ini, std::string_view section, bool templateMode) const;
};

// Keyword rules shared by the directory, file-name and server rule sets.
class TVornRules {
 public:
  TVornRules() = default;
  TVornRules(const TVornRules&) = delete;
  TVornRules& operator=(const TVornRules&) = delete;
  virtual ~TVornRules() = default;

  TCheckStrings IncludedKeywords;
  TCheckStrings ExcludedKeywords;
  bool Enabled = false;

  virtual void LoadFromIni(const TVornCustomIniFile& ini, std::string_view section,
                           bool templateMode);
  virtual void SaveToIni(TVornCustomIniFile& ini, std::string_view section,
                         bool templateMode) const;
};

class TVornDirectoryRules : public TVornRules {
 public:
  TVornDirRules DirectoryRules = edrOnlyStartingDirectory;

  void LoadFromIni(const TVornCustomIniFile& ini, std::string_view section,
                   bool templateMode) override;
  void SaveToIni(TVornCustomIniFile& ini, std::string_view section,
                 bool templateMode) const override;
};

class TVornFileRules : public TVornRules {
 public:
  TVornFilesRules FileRules = efrAll;

  void LoadFromIni(const TVornCustomIniFile& ini, std::string_view section,
                   bool templateMode) override;
  void SaveToIni(TVornCustomIniFile& ini, std::string_view section,
                 bool templateMode) const override;
};

class TVornServerRules : public TVornRules {
 public:
  TVornServersRules ServerRules = esrAll;
  bool FollowApropiateDomains = false;  // related hosts pass the protocol test
  bool HTTP = false;
  bool HTTPS = false;
  bool FTP = false;

  void LoadFromIni(const TVornCustomIniFile& ini, std::string_view section,
                   bool templateMode) override;
  void SaveToIni(TVornCustomIniFile& ini, std::string_view section,
                 bool templateMode) const override;
};

// Every crawl setting of a project; the controller owns one, the project file and templates
// load and save it whole, section by section in a fixed order.
class TVornCrawlSettings {
 public:
  TVornCrawlSettings() = default;
  TVornCrawlSettings(const TVornCrawlSettings&) = delete;
  TVornCrawlSettings& operator=(const TVornCrawlSettings&) = delete;

  TGeneral General;
  TSystem System;
  TVornPasswords Passwords;
  TVornLinkTranslation LinksTranslation;
  TVornFileFilters FilterTextFiles;
  TVornFileFilters FilterImagesFiles;
  TVornFileFilters FilterVideoFiles;
  TVornFileFilters FilterAudioFiles;
  TVornFileFilters FilterArchiveFiles;
  TVornTagsRecognition TagsRecognition;
  TVornDirectoryRules DirectoryRules;
  TVornFileRules FileRules;
  TVornServerRules ServerRules;

  void LoadFromIni(const TVornCustomIniFile& ini, bool templateMode);
  void SaveToIni(TVornCustomIniFile& ini, bool templateMode) const;
};

// The values a project made by the user starts with, before a template or file overrides them.
void ApplyNewProjectSettings(TVornCrawlSettings& settings);

}  // namespace tq
