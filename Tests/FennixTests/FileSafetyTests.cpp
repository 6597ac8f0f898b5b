#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <thread>
#include <vector>

#include "Fennix/Foundation/System/FileSafety.h"
#include "FennixTests/FileAttributesTestSupport.h"
#include "FennixTests/OtherUserTestSupport.h"

namespace {

using FileAttributesTestSupport::accessList;
using FileAttributesTestSupport::attribute;

namespace fs = std::filesystem;

class FileSafetyTests : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("fennix-file-safety-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  static std::string read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  // Everything in the folder, so that left-over temporary files show up.
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  fs::path folder_;
};

// ---- owners, access control lists and extended attributes ------------------------------------

/// Runs `work` as the user `uid` with the group `gid` alone; its result, or -1 when it could not
/// become that user.
int runAs(uid_t uid, gid_t gid, const std::function<int()>& work) {
  int result = -1;
  return OtherUserTestSupport::runAsUser(uid, gid, [&] { result = work(); }) ? result : -1;
}

// Replacing a file keeps who may read and change it: its access control list is copied as it is
// (the group does not get the list's mask), its extended attributes go along, and a list the new
// file would inherit from its folder goes when the file had none.
TEST_F(FileSafetyTests, TheNewVersionKeepsTheAccessControlListAndTheExtendedAttributes) {
  const auto file = folder_ / "shared.json";
  ASSERT_FALSE(Fennix::replaceFileAtomically(file, "old"));
  ASSERT_EQ(::chmod(file.c_str(), 0600), 0);
  // Shared with the user 4242 alone: its mask lets that user read and write.
  const std::string shared = accessList(06, {{4242, 06}}, 0, 06, 0);
  if (::setxattr(file.c_str(), "system.posix_acl_access", shared.data(), shared.size(), 0) != 0 ||
      ::setxattr(file.c_str(), "user.origin", "drawn by hand", 13, 0) != 0) {
    GTEST_SKIP() << "this file system keeps no access control lists or extended attributes: " << std::strerror(errno);
  }
  ASSERT_EQ(::setxattr(file.c_str(), "user.empty", "", 0, 0), 0);
  struct stat before {};
  ASSERT_EQ(::stat(file.c_str(), &before), 0);
  ASSERT_EQ(before.st_mode & 07777, 0660u) << "the group's permissions show the list's mask";

  ASSERT_FALSE(Fennix::replaceFileAtomically(file, "new"));
  EXPECT_EQ(read(file), "new");
  EXPECT_EQ(attribute(file, "system.posix_acl_access"), shared);
  EXPECT_EQ(attribute(file, "user.origin"), "drawn by hand");
  EXPECT_EQ(attribute(file, "user.empty"), "");
  struct stat after {};
  ASSERT_EQ(::stat(file.c_str(), &after), 0);
  EXPECT_EQ(after.st_mode & 07777, 0660u);
  EXPECT_NE(after.st_ino, before.st_ino);

  // A folder whose new files get a list of their own; the file had none, and gets none.
  const auto plain = folder_ / "plain.json";
  ASSERT_FALSE(Fennix::replaceFileAtomically(plain, "old"));
  ASSERT_EQ(::chmod(plain.c_str(), 0640), 0);
  const std::string inherited = accessList(07, {{4243, 07}}, 05, 07, 05);
  ASSERT_EQ(::setxattr(folder_.c_str(), "system.posix_acl_default", inherited.data(), inherited.size(), 0), 0);
  ASSERT_FALSE(Fennix::replaceFileAtomically(plain, "new"));
  EXPECT_EQ(attribute(plain, "system.posix_acl_access"), std::nullopt);
  ASSERT_EQ(::stat(plain.c_str(), &after), 0);
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  EXPECT_EQ(entries(), (std::vector<std::string>{"plain.json", "shared.json"}));
}

// What cannot stay as it was is refused, and the file is left as it was: another user's file that
// the writer may change but not give back to its owner, and attributes the writer may not read.
TEST_F(FileSafetyTests, AFileThatCannotKeepItsOwnerOrItsAttributesIsNotReplaced) {
  if (::geteuid() != 0) GTEST_SKIP() << "files of other users need an administrator to set up";
  ASSERT_EQ(::chmod(folder_.c_str(), 0777), 0);
  Fennix::ReplaceFileOptions options;
  options.keepOwner = true;

  // The owner 4301 shares the file with the group 4300; 4302 of that group saves it.
  const auto shared = folder_ / "shared.json";
  ASSERT_FALSE(Fennix::replaceFileAtomically(shared, "theirs"));
  ASSERT_EQ(::chown(shared.c_str(), 4301, 4300), 0);
  ASSERT_EQ(::chmod(shared.c_str(), 0660), 0);
  const int saved = runAs(4302, 4300, [&] {
    const auto error = Fennix::replaceFileAtomically(shared, "mine", options);
    return error == Fennix::ReplaceFileError::ownerNotKept ? 0 : error ? 1 : 2;
  });
  EXPECT_EQ(saved, 0) << "1: another error, 2: replaced";
  EXPECT_EQ(read(shared), "theirs");
  struct stat info {};
  ASSERT_EQ(::stat(shared.c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 4301u);
  EXPECT_EQ(info.st_gid, 4300u);
  // The owner saves it as ever.
  EXPECT_EQ(runAs(4301, 4300, [&] { return Fennix::replaceFileAtomically(shared, "owner's", options) ? 1 : 0; }), 0);
  EXPECT_EQ(read(shared), "owner's");
  ASSERT_EQ(::stat(shared.c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 4301u);

  // A file its owner may write but not read: its attributes cannot be read to be copied.
  const auto sealed = folder_ / "sealed.json";
  ASSERT_FALSE(Fennix::replaceFileAtomically(sealed, "sealed"));
  if (::setxattr(sealed.c_str(), "user.origin", "kept", 4, 0) != 0) {
    GTEST_SKIP() << "this file system keeps no extended attributes: " << std::strerror(errno);
  }
  ASSERT_EQ(::chown(sealed.c_str(), 4301, 4300), 0);
  ASSERT_EQ(::chmod(sealed.c_str(), 0200), 0);
  EXPECT_EQ(runAs(4301, 4300,
                  [&] {
                    const auto error = Fennix::replaceFileAtomically(sealed, "without them", options);
                    return error == Fennix::ReplaceFileError::attributesNotKept ? 0 : error ? 1 : 2;
                  }),
            0);
  EXPECT_EQ(read(sealed), "sealed");
  EXPECT_EQ(attribute(sealed, "user.origin"), "kept");
  EXPECT_EQ(entries(), (std::vector<std::string>{"sealed.json", "shared.json"}));
}

// A file without a list of its own whose extended attributes take all the room its file system
// gives them, in a folder that gives its new files a list: the new file's inherited list would take
// some of that room, but it goes before the attributes come, and every one of them is kept.
TEST_F(FileSafetyTests, AttributesThatFillTheirRoomAreKeptBesideAFolderThatGivesNewFilesAList) {
  const auto file = folder_ / "full.json";
  ASSERT_FALSE(Fennix::replaceFileAtomically(file, "old"));
  // The largest value the file takes, then small ones until no more fit.
  std::size_t fits = 0;
  for (std::size_t low = 0, high = 65536; low + 1 < high;) {
    const std::size_t middle = (low + high) / 2;
    ::removexattr(file.c_str(), "user.large");
    if (::setxattr(file.c_str(), "user.large", std::string(middle, 'l').data(), middle, 0) == 0) {
      low = fits = middle;
    } else {
      high = middle;
    }
  }
  if (fits == 0) GTEST_SKIP() << "this file system keeps no extended attributes";
  ::removexattr(file.c_str(), "user.large");
  ASSERT_EQ(::setxattr(file.c_str(), "user.large", std::string(fits, 'l').data(), fits, 0), 0);
  int small = 0;
  while (small < 64 && ::setxattr(file.c_str(), ("user.small" + std::to_string(small)).c_str(), "0123456789", 10, 0) == 0) {
    ++small;
  }
  const std::string inherited = accessList(06, {{4243, 06}}, 04, 06, 04);
  if (::setxattr(folder_.c_str(), "system.posix_acl_default", inherited.data(), inherited.size(), 0) != 0) {
    GTEST_SKIP() << "this file system keeps no access control lists";
  }

  EXPECT_FALSE(Fennix::replaceFileAtomically(file, "new"));
  EXPECT_EQ(read(file), "new");
  EXPECT_EQ(attribute(file, "user.large").value_or("").size(), fits);
  for (int index = 0; index < small; ++index) {
    EXPECT_EQ(attribute(file, ("user.small" + std::to_string(index)).c_str()), "0123456789") << index;
  }
  EXPECT_EQ(attribute(file, "system.posix_acl_access"), std::nullopt);
  EXPECT_EQ(entries(), std::vector<std::string>{"full.json"});
}

// A folder that may only be added to, or not changed at all, would take a temporary file and then
// refuse both its rename and its removal: nothing is written there, and nothing is left.
TEST_F(FileSafetyTests, AFolderThatMayOnlyBeAddedToGetsNoTemporaryFile) {
  const auto file = folder_ / "doc.json";
  ASSERT_FALSE(Fennix::replaceFileAtomically(file, "old"));
  for (const int flag : {FS_APPEND_FL, FS_IMMUTABLE_FL}) {
    SCOPED_TRACE(flag == FS_APPEND_FL ? "append only" : "immutable");
    struct Flagged {
      int folder;
      int flags = 0;
      bool set = false;
      Flagged(const fs::path& path, int flag) : folder(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        if (folder < 0 || ::ioctl(folder, FS_IOC_GETFLAGS, &flags) != 0) return;
        int changed = flags | flag;
        set = ::ioctl(folder, FS_IOC_SETFLAGS, &changed) == 0;
      }
      ~Flagged() {
        if (set) ::ioctl(folder, FS_IOC_SETFLAGS, &flags);
        if (folder >= 0) ::close(folder);
      }
    } flagged(folder_, flag);
    if (!flagged.set) GTEST_SKIP() << "the folder's flags cannot be set here: " << std::strerror(errno);
    EXPECT_EQ(Fennix::replaceFileAtomically(file, "new"), std::errc::operation_not_permitted);
    EXPECT_EQ(read(file), "old");
    EXPECT_EQ(entries(), std::vector<std::string>{"doc.json"});
  }
}

// A folder its owner may write to and enter but not list (a drop box) takes new files and renames
// like any other: the owner's file there is saved.
TEST_F(FileSafetyTests, AFolderThatCannotBeListedIsSavedInAsAnyOther) {
  if (::geteuid() != 0) GTEST_SKIP() << "a folder of another user needs an administrator to set up";
  const auto dropBox = folder_ / "drop box";
  fs::create_directory(dropBox);
  const auto file = dropBox / "doc.json";
  ASSERT_FALSE(Fennix::replaceFileAtomically(file, "old"));
  ASSERT_EQ(::chown(dropBox.c_str(), 4301, 4300), 0);
  ASSERT_EQ(::chown(file.c_str(), 4301, 4300), 0);
  ASSERT_EQ(::chmod(file.c_str(), 0600), 0);
  ASSERT_EQ(::chmod(dropBox.c_str(), 0300), 0);
  Fennix::ReplaceFileOptions options;
  options.keepOwner = true;
  const int saved = runAs(4301, 4300, [&] {
    const auto error = Fennix::replaceFileAtomically(file, "new", options);
    return error ? 1 : 0;
  });
  EXPECT_EQ(saved, 0);
  EXPECT_EQ(read(file), "new");
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 4301u);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
  ASSERT_EQ(::chmod(dropBox.c_str(), 0700), 0);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dropBox)) names.push_back(entry.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"doc.json"});
}

TEST_F(FileSafetyTests, ReplacesAndCreatesFilesWithoutLeavingTemporaries) {
  const auto file = folder_ / "doc.json";
  ASSERT_FALSE(Fennix::replaceFileAtomically(file, "first"));
  EXPECT_EQ(read(file), "first");
  std::string big(3 << 20, 'x');
  big[12345] = '\0';
  ASSERT_FALSE(Fennix::replaceFileAtomically(file, big));
  EXPECT_EQ(read(file), big);
  ASSERT_FALSE(Fennix::replaceFileAtomically(file, ""));
  EXPECT_EQ(read(file), "");
  EXPECT_EQ(entries(), std::vector<std::string>{"doc.json"});
}

TEST_F(FileSafetyTests, KeepsPermissionsAndLinksAsAsked) {
  const auto file = folder_ / "target";
  ASSERT_FALSE(Fennix::replaceFileAtomically(file, "a"));
  ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
  ASSERT_FALSE(Fennix::replaceFileAtomically(file, "b"));
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);

  // By default the file behind a link is replaced and the link stays.
  const auto link = folder_ / "link";
  fs::create_symlink(file, link);
  ASSERT_FALSE(Fennix::replaceFileAtomically(link, "through the link"));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(read(file), "through the link");

  Fennix::ReplaceFileOptions options;
  options.followSymlink = false;
  options.keepPermissions = false;
  options.permissions = 0600;
  options.temporaryPrefix = ".link.tmp.";
  ASSERT_FALSE(Fennix::replaceFileAtomically(link, "instead of the link", options));
  EXPECT_FALSE(fs::is_symlink(link));
  EXPECT_EQ(read(link), "instead of the link");
  EXPECT_EQ(read(file), "through the link");
  ASSERT_EQ(::stat(link.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0077, 0u);
}

TEST_F(FileSafetyTests, FailuresReportAnErrorAndKeepWhatWasThere) {
  // No such folder.
  auto error = Fennix::replaceFileAtomically(folder_ / "missing" / "file", "x");
  EXPECT_EQ(error, std::errc::no_such_file_or_directory);
  EXPECT_EQ(Fennix::replaceFileAtomically("", "x"), std::errc::invalid_argument);

  // A folder in the way: the rename fails after the temporary file was written.
  const auto occupied = folder_ / "occupied";
  fs::create_directories(occupied / "inside");
  error = Fennix::replaceFileAtomically(occupied, "x");
  EXPECT_TRUE(error);
  EXPECT_TRUE(fs::is_directory(occupied / "inside"));
  EXPECT_EQ(entries(), std::vector<std::string>{"occupied"});
}

TEST_F(FileSafetyTests, OnlyTheVersionReadIsReplacedEvenWhenAnotherProgramChangesItDuringTheSave) {
  const auto file = folder_ / "doc";
  ASSERT_FALSE(Fennix::replaceFileAtomically(file, "read"));
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  Fennix::ReplaceFileOptions options;
  options.expectedVersion = Fennix::FileVersion::of(info);

  // Another program puts its own file in place between the writing and the rename.
  options.beforeRename = [&] {
    std::ofstream(folder_ / "theirs") << "theirs";
    fs::rename(folder_ / "theirs", file);
  };
  EXPECT_EQ(Fennix::replaceFileAtomically(file, "mine", options), Fennix::ReplaceFileError::fileChanged);
  EXPECT_EQ(read(file), "theirs");
  EXPECT_EQ(entries(), std::vector<std::string>{"doc"});

  // Or writes into the file itself: the same inode, another version.
  ASSERT_FALSE(Fennix::replaceFileAtomically(file, "read"));
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  options.expectedVersion = Fennix::FileVersion::of(info);
  options.beforeRename = [&] { std::ofstream(file, std::ios::app) << " and more"; };
  EXPECT_EQ(Fennix::replaceFileAtomically(file, "mine", options), Fennix::ReplaceFileError::fileChanged);
  EXPECT_EQ(read(file), "read and more");

  // Or writes into it as much as was there and puts its modification time back: its status change
  // time still tells (stamped in a later tick of the file clock than the version read).
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  options.expectedVersion = Fennix::FileVersion::of(info);
  options.beforeRename = [&] {
    for (struct timespec now {}; ::clock_gettime(CLOCK_REALTIME_COARSE, &now) == 0 &&
                                  (now.tv_sec < info.st_ctim.tv_sec ||
                                   (now.tv_sec == info.st_ctim.tv_sec && now.tv_nsec <= info.st_ctim.tv_nsec));) {
      std::this_thread::yield();
    }
    std::ofstream(file, std::ios::trunc) << "READ AND MORE";
    const struct timespec times[2] = {info.st_atim, info.st_mtim};
    ::utimensat(AT_FDCWD, file.c_str(), times, 0);
  };
  EXPECT_EQ(Fennix::replaceFileAtomically(file, "mine", options), Fennix::ReplaceFileError::fileChanged);
  EXPECT_EQ(read(file), "READ AND MORE");

  // Or removes it.
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  options.expectedVersion = Fennix::FileVersion::of(info);
  options.beforeRename = [&] { fs::remove(file); };
  EXPECT_EQ(Fennix::replaceFileAtomically(file, "mine", options), Fennix::ReplaceFileError::fileChanged);
  EXPECT_FALSE(fs::exists(file));

  // A file that should not be there yet, and is.
  options.expectedVersion = std::optional<Fennix::FileVersion>();
  options.beforeRename = [&] { std::ofstream(file) << "first"; };
  EXPECT_EQ(Fennix::replaceFileAtomically(file, "mine", options), Fennix::ReplaceFileError::fileChanged);
  EXPECT_EQ(read(file), "first");
  EXPECT_EQ(entries(), std::vector<std::string>{"doc"});

  // Left alone, the version read is replaced, and a new file is made where there was none.
  options.beforeRename = nullptr;
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  options.expectedVersion = Fennix::FileVersion::of(info);
  EXPECT_FALSE(Fennix::replaceFileAtomically(file, "mine", options));
  EXPECT_EQ(read(file), "mine");
  options.expectedVersion = std::optional<Fennix::FileVersion>();
  EXPECT_FALSE(Fennix::replaceFileAtomically(folder_ / "new", "new", options));
  EXPECT_EQ(read(folder_ / "new"), "new");
  EXPECT_EQ(entries(), (std::vector<std::string>{"doc", "new"}));
}

TEST_F(FileSafetyTests, WithoutATemporaryFileNothingIsWritten) {
  const auto file = folder_ / "doc";
  const std::string old = "{\"svg\":\"old\"}";
  ASSERT_FALSE(Fennix::replaceFileAtomically(file, old));
  // Temporary files that cannot be made: their folder does not exist.
  Fennix::ReplaceFileOptions options;
  options.temporaryPrefix = "missing/.doc.";
  EXPECT_EQ(Fennix::replaceFileAtomically(file, std::string(100000, 'n'), options), std::errc::no_such_file_or_directory);
  EXPECT_EQ(read(file), old);

  // A disk whose inodes are all used: the old file is not written into in their stead.
  const auto disk = folder_ / "disk";
  fs::create_directories(disk);
  if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=1m,nr_inodes=8") != 0) {
    GTEST_SKIP() << "no small file system could be mounted here (" << std::strerror(errno)
                 << "); the failure of the temporary file was checked through its folder only";
  }
  struct Unmount {
    fs::path path;
    ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
  } unmount{disk};
  ASSERT_FALSE(Fennix::replaceFileAtomically(disk / "doc", old));
  for (int index = 0; index < 100; ++index) {
    const int filler = ::open((disk / ("fill" + std::to_string(index))).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (filler < 0) break;
    ::close(filler);
  }
  EXPECT_EQ(Fennix::replaceFileAtomically(disk / "doc", std::string(100000, 'n')), std::errc::no_space_on_device);
  EXPECT_EQ(read(disk / "doc"), old);
}

TEST_F(FileSafetyTests, TheTemporaryNameOfALongNameKeepsItsCharactersWhole) {
  // Some file systems take only names that are UTF-8; the shortened name of the temporary file
  // must not end in the middle of a character.
  const std::string name = std::string(99, 'z') + "\u00e9\u00e9" + std::string(40, 'w');
  std::vector<std::string> during;
  Fennix::ReplaceFileOptions options;
  options.beforeRename = [&] { during = entries(); };
  ASSERT_FALSE(Fennix::replaceFileAtomically(folder_ / name, "text", options));
  ASSERT_EQ(during.size(), 1u);
  EXPECT_EQ(during[0].rfind("." + std::string(99, 'z') + ".", 0), 0u) << during[0];
  EXPECT_EQ(entries(), std::vector<std::string>{name});
}

TEST_F(FileSafetyTests, WriteAllSurvivesShortWritesAndReportsFailure) {
  int pipeEnds[2];
  ASSERT_EQ(::pipe(pipeEnds), 0);
  Fennix::FileDescriptor readEnd(pipeEnds[0]), writeEnd(pipeEnds[1]);
  // More than a pipe holds at once, so the writer sees short writes while the reader drains.
  const std::string bytes(1 << 20, 'q');
  std::string received;
  std::thread reader([&] {
    char buffer[4096];
    ssize_t count;
    while ((count = ::read(readEnd.get(), buffer, sizeof buffer)) > 0) received.append(buffer, count);
  });
  EXPECT_TRUE(Fennix::writeAll(writeEnd.get(), bytes));
  EXPECT_EQ(writeEnd.close(), 0);
  EXPECT_FALSE(writeEnd.isOpen());
  reader.join();
  EXPECT_EQ(received, bytes);

  Fennix::FileDescriptor readOnly(::open("/dev/null", O_RDONLY | O_CLOEXEC));
  EXPECT_FALSE(Fennix::writeAll(readOnly.get(), "x"));
  EXPECT_EQ(errno, EBADF);
  // A moved holder closes once.
  Fennix::FileDescriptor moved(std::move(readOnly));
  EXPECT_FALSE(readOnly.isOpen());
  EXPECT_TRUE(moved.isOpen());
}

}  // namespace
