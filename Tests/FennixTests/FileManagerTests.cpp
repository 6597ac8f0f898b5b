#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include <nlohmann/json.hpp>

#include "DefaultsTestSupport.h"
#include "Fennix/Foundation/System/Bundle.h"
#include "Fennix/Foundation/System/FileManager.h"

namespace {

namespace fs = std::filesystem;

// Sets an environment variable for the life of the object, then puts the old value back.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      ::setenv(name, value->c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnvironment() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class FileManagerTests : public ::testing::Test {
 protected:
  void SetUp() override {
    FennixTestSupport::temporaryUserDirectories();
    std::string pattern = (fs::temp_directory_path() / "fennix-files-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(root, ignored);
    fs::remove(fs::path(std::getenv("XDG_CONFIG_HOME")) / "user-dirs.dirs", ignored);
    FileManager::setSecurityScope({[](const fs::path&) { return true; }, [](const fs::path&) {}});
  }
  void touch(const fs::path& path, const std::string& text = "x") { std::ofstream(path) << text; }

  fs::path root;
  FileManager& files = FileManager::default_();
};

TEST_F(FileManagerTests, FreeNamesCountUpBeforeTheExtension) {
  touch(root / "a.txt");
  touch(root / "a (1).txt");
  touch(root / "archive.tar.gz");
  touch(root / "README");
  touch(root / ".profile");
  EXPECT_EQ(files.availableTargetPath("new.txt", root, 5), root / "new.txt");
  EXPECT_EQ(files.availableTargetPath("a.txt", root, 5), root / "a (2).txt");
  EXPECT_EQ(files.availableTargetPath("archive.tar.gz", root, 5), root / "archive.tar (1).gz");
  EXPECT_EQ(files.availableTargetPath("README", root, 5), root / "README (1)");
  EXPECT_EQ(files.availableTargetPath(".profile", root, 5), root / " (1).profile");
  EXPECT_EQ(files.availableTargetPath("a.txt", root, 1), std::nullopt);

  // Bad input gives up instead of looping, escaping the folder or reusing what is there.
  EXPECT_EQ(files.availableTargetPath("a.txt", root, 0), std::nullopt);
  EXPECT_EQ(files.availableTargetPath("a.txt", root, -3), std::nullopt);
  EXPECT_EQ(files.availableTargetPath(".", root, 5), std::nullopt);
  EXPECT_EQ(files.availableTargetPath("..", root, 5), std::nullopt);
  EXPECT_EQ(files.availableTargetPath("../a.txt", root, 5), std::nullopt);
  EXPECT_EQ(files.availableTargetPath("", root, 5), std::nullopt);
  EXPECT_EQ(files.availableTargetPath("...", root, 5), root / "...");
  fs::create_symlink(root / "nowhere", root / "link.txt");
  EXPECT_EQ(files.availableTargetPath("link.txt", root, 5), root / "link (1).txt");
  // An enormous count is still a bounded number of tries.
  for (int i = 1; i <= 3; ++i) touch(root / ("b (" + std::to_string(i) + ")"));
  touch(root / "b");
  EXPECT_EQ(files.availableTargetPath("b", root, 1L << 40), root / "b (4)");
}

TEST_F(FileManagerTests, BookmarksNoticeAReplacedFile) {
  const fs::path file = root / "doc.svg";
  touch(file, "one");
  const FileManager::BookmarkData bookmark = files.bookmarkForURL(file, true, false);
  const auto same = files.urlForBookmark(bookmark, std::nullopt, false);
  EXPECT_EQ(same.url, file);
  EXPECT_EQ(same.updatedBookmark, std::nullopt);

  // Replaced the way editors save: a new file renamed over the old one.
  touch(root / "doc.svg.tmp", "two");
  fs::rename(root / "doc.svg.tmp", file);
  const auto stale = files.urlForBookmark(bookmark, std::nullopt, false);
  EXPECT_EQ(stale.url, file);
  ASSERT_TRUE(stale.updatedBookmark.has_value());
  EXPECT_NE(*stale.updatedBookmark, bookmark);
  EXPECT_EQ(files.urlForBookmark(*stale.updatedBookmark, std::nullopt, false).updatedBookmark, std::nullopt);

  fs::rename(file, root / "moved.svg");
  EXPECT_THROW(files.urlForBookmark(bookmark, std::nullopt, false), fs::filesystem_error);
  EXPECT_THROW(files.bookmarkForURL(root / "missing", false, false), fs::filesystem_error);
  const std::string garbage = "{\"bookmark\":1,\"path\":\"relative\",\"device\":1,\"inode\":2}";
  EXPECT_THROW(files.urlForBookmark({garbage.begin(), garbage.end()}, std::nullopt, false), std::invalid_argument);
  EXPECT_THROW(files.urlForBookmark({0xFF, 0x00}, std::nullopt, false), std::invalid_argument);
}

TEST_F(FileManagerTests, SecurityScopeIsCountedWhenSandboxed) {
  int starts = 0, stops = 0;
  bool grant = true;
  FileManager::setSecurityScope({[&](const fs::path&) {
                                   ++starts;
                                   return grant;
                                 },
                                 [&](const fs::path&) { ++stops; }});
  const fs::path url = root / "shared";
  {
    ScopedEnvironment unsandboxed("APP_SANDBOX_CONTAINER_ID", std::nullopt);
    EXPECT_TRUE(files.retainSecurityScopedURL(url));
    files.releaseSecurityScopedURL(url);
    touch(url);
    // Unsandboxed bookmarks still record the security scope.
    const auto data = files.bookmarkForURL(url, true, true);
    EXPECT_EQ(nlohmann::json::parse(data.begin(), data.end())["options"], 0x1800);
    EXPECT_EQ(starts + stops, 0);
  }
  ScopedEnvironment sandboxed("APP_SANDBOX_CONTAINER_ID", "org.quarvel.test");
  EXPECT_TRUE(files.retainSecurityScopedURL(url));
  EXPECT_TRUE(files.retainSecurityScopedURL(root / "." / "shared"));  // the same location
  files.releaseSecurityScopedURL(url);
  EXPECT_EQ(stops, 0);
  files.releaseSecurityScopedURL(url);
  files.releaseSecurityScopedURL(url);  // without retain: ignored
  EXPECT_EQ(starts, 1);
  EXPECT_EQ(stops, 1);

  grant = false;
  EXPECT_FALSE(files.retainSecurityScopedURL(url));
  grant = true;
  EXPECT_FALSE(files.retainSecurityScopedURL(url));  // the first answer holds until the last release
  files.releaseSecurityScopedURL(url);
  files.releaseSecurityScopedURL(url);
  EXPECT_TRUE(files.retainSecurityScopedURL(url));
  files.releaseSecurityScopedURL(url);

  // A refused scope still gives a plain bookmark, and the retain is given back.
  grant = false;
  const auto data = files.bookmarkForURL(url, false, true);
  EXPECT_EQ(nlohmann::json::parse(data.begin(), data.end())["options"], 0);
  EXPECT_EQ(starts, 4);
  EXPECT_EQ(stops, 4);  // the last release stops access whether or not it was granted
}

TEST_F(FileManagerTests, FoldersForDownloadsCachesAndHome) {
  ScopedEnvironment data("XDG_DATA_HOME", (root / "data").string());
  ScopedEnvironment cache("XDG_CACHE_HOME", (root / "cache").string());
  ScopedEnvironment unsandboxed("APP_SANDBOX_CONTAINER_ID", std::nullopt);
  const std::string app = NSBundle::applicationInfo().appName;
  const fs::path settings = fs::path(std::getenv("XDG_CONFIG_HOME")) / "user-dirs.dirs";

  // No downloads folder configured: the fallback in the data folder is made.
  EXPECT_EQ(files.checkDownloadsFolderAccess(true), std::nullopt);
  EXPECT_EQ(files.prepareFolderForDownloads("Incoming"), root / "data" / app / "Incoming");
  EXPECT_TRUE(fs::is_directory(root / "data" / app / "Incoming"));
  touch(root / "data" / app / "Blocked");
  EXPECT_THROW(files.prepareFolderForDownloads("Blocked"), FileManager::QvFileManagerError);
  EXPECT_THROW(files.prepareFolderForDownloads("../up"), std::invalid_argument);

  fs::create_directory(root / "Downloads");
  std::ofstream(settings) << "# comment\nXDG_DOWNLOAD_DIR=\"" << (root / "Downloads").string() << "\"\n";
  EXPECT_EQ(files.checkDownloadsFolderAccess(false), root / "Downloads");
  EXPECT_EQ(files.prepareFolderForDownloads("Incoming"), root / "Downloads");

  EXPECT_EQ(files.cacheDirectoryURL(), root / "cache" / app);
  {
    ScopedEnvironment sandboxed("APP_SANDBOX_CONTAINER_ID", "org.quarvel.test");
    EXPECT_EQ(files.cacheDirectoryURL(), root / "cache");
  }
  EXPECT_EQ(files.containerURL(std::nullopt), std::nullopt);
  EXPECT_EQ(files.containerURL(std::string("/..")), std::nullopt);
  ASSERT_TRUE(files.containerURL(std::string("group.test")).has_value());
  EXPECT_EQ(files.containerURL(std::string("group.test"))->parent_path(), root / "data" / "fennix" / "groups");

  const auto home = files.realHomeDirectoryForCurrentUser();
  ASSERT_TRUE(home.has_value());
  EXPECT_TRUE(fs::is_directory(*home));
}

}  // namespace
