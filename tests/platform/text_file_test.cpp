#include "platform/text_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace estimetrix {
namespace {

namespace fs = std::filesystem;

// A fresh folder of its own for each test, removed afterwards.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = testing::TempDir() + "text_file_XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp: " << std::strerror(errno);
    path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

mode_t ModeOf(const std::string& path) {
  struct stat info;
  EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
  return info.st_mode;
}

// Names of temporary files a save left behind in `folder`.
std::vector<std::string> LeftoverTemporaries(const std::string& folder) {
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator(folder)) {
    std::string name = entry.path().filename().string();
    if (name.rfind(".est-", 0) == 0 || name.find(".tmp") != std::string::npos)
      found.push_back(name);
  }
  return found;
}

using Lines = std::vector<std::string>;

TEST(ReadTextLines, CrLfLfAndLoneCrEachEndOneLine) {
  TempFolder folder;
  const std::string file = folder / "lines.txt";
  struct Case {
    std::string bytes;
    Lines lines;
  };
  const Case cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\n", {"a"}},
      {"a\r\n", {"a"}},
      {"a\r", {"a"}},
      {"\r\n", {""}},
      {"a\rb\rc\r", {"a", "b", "c"}},  // files from old desktops
      {"a\r\r\nb", {"a", "", "b"}},
      {"a\n\rb", {"a", "", "b"}},
      {"a\n\nb\r\n\r\n", {"a", "", "b", ""}},
      {"one\r\ntwo\nthree\rfour", {"one", "two", "three", "four"}},
      {std::string("x\0y\n", 4), {std::string("x\0y", 3)}},
  };
  for (const Case& c : cases) {
    WriteBytes(file, c.bytes);
    std::string error;
    std::optional<Lines> lines = ReadTextLines(file, error);
    ASSERT_TRUE(lines) << error;
    EXPECT_EQ(*lines, c.lines) << "file bytes: \"" << c.bytes << "\"";
  }

  // A CR LF split across the reader's internal pieces is still one line end.
  for (size_t length = 65534; length <= 65537; ++length) {
    std::string longLine(length, 'x');
    WriteBytes(file, longLine + "\r\nb\r\n");
    std::string error;
    std::optional<Lines> lines = ReadTextLines(file, error);
    ASSERT_TRUE(lines) << error;
    EXPECT_EQ(*lines, (Lines{longLine, "b"})) << "line length " << length;
  }

  EXPECT_TRUE(ContainsNulBytes({"ok", std::string("bin\0ary", 7)}));
  EXPECT_FALSE(ContainsNulBytes({"ok", "", "text"}));
}

TEST(ReadTextLines, RefusesFoldersPipesDevicesAndHugeFilesWithAReason) {
  TempFolder folder;
  std::string error;

  EXPECT_FALSE(ReadTextLines(folder.path(), error));
  EXPECT_NE(error.find("is a folder"), std::string::npos) << error;

  // Opening a pipe for reading waits for a writer; the alarm turns a hang
  // into a visible failure.
  const std::string pipe = folder / "pipe.dat";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
  error.clear();
  ::alarm(20);
  EXPECT_FALSE(ReadTextLines(pipe, error));
  ::alarm(0);
  EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
  EXPECT_NE(error.find(pipe), std::string::npos) << error;

  if (fs::exists("/dev/null")) {
    error.clear();
    EXPECT_FALSE(ReadTextLines("/dev/null", error));
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
  }

  error.clear();
  EXPECT_FALSE(ReadTextLines(folder / "missing.alg", error));
  EXPECT_NE(error.find(std::strerror(ENOENT)), std::string::npos) << error;

  const std::string locked = folder / "locked.alg";
  WriteBytes(locked, "x\r\n");
  ::chmod(locked.c_str(), 0);
  if (::access(locked.c_str(), R_OK) != 0) {  // root reads it anyway
    error.clear();
    EXPECT_FALSE(ReadTextLines(locked, error));
    EXPECT_NE(error.find(std::strerror(EACCES)), std::string::npos) << error;
  }

  // A sparse file: large on paper, no disk space and no time to make.
  const std::string huge = folder / "huge.dat";
  WriteBytes(huge, "");
  fs::resize_file(huge, kMaxTextFileBytes + 1);
  error.clear();
  EXPECT_FALSE(ReadTextLines(huge, error));
  EXPECT_NE(error.find("too large"), std::string::npos) << error;

  // A link to a good file reads as that file.
  WriteBytes(folder / "good.txt", "a\r\nb\r\n");
  ASSERT_EQ(::symlink("good.txt", (folder / "good.lnk").c_str()), 0);
  std::optional<Lines> lines = ReadTextLines(folder / "good.lnk", error);
  ASSERT_TRUE(lines) << error;
  EXPECT_EQ(*lines, (Lines{"a", "b"}));
}

TEST(SaveTextFileAtomically, FollowsLinksKeepsModeAndRefusesWhatIsNotAFile) {
  TempFolder folder;
  std::string error;

  // A chain of relative links: the file at the end gets the text, the links
  // stay links.
  fs::create_directory(folder / "sub");
  WriteBytes(folder / "real.alg", "old\r\n");
  ASSERT_EQ(::symlink("real.alg", (folder / "first.lnk").c_str()), 0);
  ASSERT_EQ(::symlink("../first.lnk", (folder / "sub/second.lnk").c_str()), 0);
  ASSERT_TRUE(SaveTextFileAtomically(folder / "sub/second.lnk", "new\r\n", error)) << error;
  EXPECT_EQ(ReadBytes(folder / "real.alg"), "new\r\n");
  EXPECT_TRUE(S_ISLNK(ModeOf(folder / "first.lnk")));
  EXPECT_TRUE(S_ISLNK(ModeOf(folder / "sub/second.lnk")));
  std::error_code ec;
  EXPECT_EQ(fs::read_symlink(folder / "sub/second.lnk", ec), "../first.lnk");

  // A link to a file not made yet makes that file.
  ASSERT_EQ(::symlink("fresh.alg", (folder / "fresh.lnk").c_str()), 0);
  ASSERT_TRUE(SaveTextFileAtomically(folder / "fresh.lnk", "fresh\r\n", error)) << error;
  EXPECT_EQ(ReadBytes(folder / "fresh.alg"), "fresh\r\n");
  EXPECT_TRUE(S_ISLNK(ModeOf(folder / "fresh.lnk")));

  // A private file stays private; a new file follows the umask.
  const std::string secret = folder / "secret.alg";
  WriteBytes(secret, "old\r\n");
  ::chmod(secret.c_str(), 0600);
  ASSERT_TRUE(SaveTextFileAtomically(secret, "new\r\n", error)) << error;
  EXPECT_EQ(ModeOf(secret) & 07777, 0600u);
  mode_t oldMask = ::umask(027);
  ASSERT_TRUE(SaveTextFileAtomically(folder / "new.alg", "x\r\n", error)) << error;
  ::umask(oldMask);
  EXPECT_EQ(ModeOf(folder / "new.alg") & 07777, 0640u);

  if (::geteuid() == 0) {  // only root may hand a file to someone else
    ASSERT_EQ(::chown(secret.c_str(), 4321, 4322), 0);
    ASSERT_TRUE(SaveTextFileAtomically(secret, "owned\r\n", error)) << error;
    struct stat info;
    ASSERT_EQ(::stat(secret.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 4321u);
    EXPECT_EQ(info.st_gid, 4322u);
  }

  // Folders, pipes and devices are refused and left alone; a pipe must not
  // block the save either.
  fs::create_directory(folder / "dir.alg");
  error.clear();
  EXPECT_FALSE(SaveTextFileAtomically(folder / "dir.alg", "x\r\n", error));
  EXPECT_NE(error.find("folder"), std::string::npos) << error;
  EXPECT_TRUE(fs::is_directory(folder / "dir.alg"));

  const std::string pipe = folder / "pipe.alg";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
  error.clear();
  ::alarm(20);
  EXPECT_FALSE(SaveTextFileAtomically(pipe, "x\r\n", error));
  ::alarm(0);
  EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
  EXPECT_TRUE(S_ISFIFO(ModeOf(pipe)));

  if (fs::exists("/dev/null")) {
    ASSERT_EQ(::symlink("/dev/null", (folder / "null.lnk").c_str()), 0);
    error.clear();
    EXPECT_FALSE(SaveTextFileAtomically(folder / "null.lnk", "x\r\n", error));
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
    EXPECT_TRUE(S_ISLNK(ModeOf(folder / "null.lnk")));
    EXPECT_TRUE(S_ISCHR(ModeOf("/dev/null")));
  }

  // A name near the system's limit still saves.
  const std::string longName = folder / (std::string(246, 'n') + ".alg");
  WriteBytes(longName, "old\r\n");
  ASSERT_TRUE(SaveTextFileAtomically(longName, "long\r\n", error)) << error;
  EXPECT_EQ(ReadBytes(longName), "long\r\n");

  // A write that fails part way (here: over the file size limit) leaves the
  // old file as it was and no temporary file behind.
  const std::string kept = folder / "kept.alg";
  WriteBytes(kept, "old content\r\n");
  struct rlimit oldLimit;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &oldLimit), 0);
  struct rlimit small = oldLimit;
  small.rlim_cur = 1024;
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  error.clear();
  bool saved = SaveTextFileAtomically(kept, std::string(8192, 'z'), error);
  ::setrlimit(RLIMIT_FSIZE, &oldLimit);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(saved);
  EXPECT_NE(error.find(kept), std::string::npos) << error;
  EXPECT_NE(error.find(std::strerror(EFBIG)), std::string::npos) << error;
  EXPECT_EQ(ReadBytes(kept), "old content\r\n");

  EXPECT_EQ(LeftoverTemporaries(folder.path()), std::vector<std::string>{});
  EXPECT_EQ(LeftoverTemporaries(folder / "sub"), std::vector<std::string>{});
}

TEST(SaveTextFileAtomically, RefusesATargetTheUserMayNotWriteAndLeavesItAlone) {
  TempFolder folder;
  std::string error;

  // Made read-only on purpose: refused whoever runs the save (the superuser
  // too, who could replace it), with the reason, the text and mode kept.
  for (mode_t mode : {0444, 0400, 0555}) {
    const std::string locked = folder / ("locked" + std::to_string(mode) + ".alg");
    WriteBytes(locked, "kept\r\n");
    ASSERT_EQ(::chmod(locked.c_str(), mode), 0);
    error.clear();
    EXPECT_FALSE(SaveTextFileAtomically(locked, "new\r\n", error)) << mode;
    EXPECT_NE(error.find(locked), std::string::npos) << error;
    EXPECT_NE(error.find("read-only"), std::string::npos) << error;
    EXPECT_EQ(ReadBytes(locked), "kept\r\n");
    EXPECT_EQ(ModeOf(locked) & 07777, mode);
  }

  // Reached through a link, the file at the end is what counts.
  ASSERT_EQ(::symlink("locked292.alg", (folder / "locked.lnk").c_str()), 0);
  EXPECT_FALSE(SaveTextFileAtomically(folder / "locked.lnk", "new\r\n", error));
  EXPECT_EQ(ReadBytes(folder / "locked292.alg"), "kept\r\n");

  // Writable by someone, but not by this process: the system's reason.
  const std::string theirs = folder / "theirs.alg";
  WriteBytes(theirs, "theirs\r\n");
  ASSERT_EQ(::chmod(theirs.c_str(), 0464), 0);  // only the group may write
  if (::access(theirs.c_str(), W_OK) != 0) {    // the superuser may
    error.clear();
    EXPECT_FALSE(SaveTextFileAtomically(theirs, "new\r\n", error));
    EXPECT_NE(error.find(std::strerror(EACCES)), std::string::npos) << error;
    EXPECT_EQ(ReadBytes(theirs), "theirs\r\n");
  }

  // Write permission back: the save goes through and keeps the mode.
  const std::string unlocked = folder / "locked292.alg";
  ASSERT_EQ(::chmod(unlocked.c_str(), 0644), 0);
  ASSERT_TRUE(SaveTextFileAtomically(unlocked, "new\r\n", error)) << error;
  EXPECT_EQ(ReadBytes(unlocked), "new\r\n");
  EXPECT_EQ(LeftoverTemporaries(folder.path()), std::vector<std::string>{});
}

TEST(TextFileHelpers, ByteOrderMarkDroppedOnceAndControlCharactersShownEscaped) {
  std::vector<std::string> lines{"\xEF\xBB\xBF" "21", "\xEF\xBB\xBF" "x"};
  EXPECT_TRUE(DropByteOrderMark(lines));
  EXPECT_EQ(lines, (std::vector<std::string>{"21", "\xEF\xBB\xBF" "x"}));
  EXPECT_FALSE(DropByteOrderMark(lines));  // only a mark at the very start counts
  std::vector<std::string> none;
  EXPECT_FALSE(DropByteOrderMark(none));
  std::vector<std::string> partial{"\xEF\xBB"};
  EXPECT_FALSE(DropByteOrderMark(partial));
  EXPECT_EQ(partial.front(), "\xEF\xBB");

  // Escape sequences, carriage returns, bells and DEL become visible; line
  // feeds, tabs and UTF-8 letters stay as they are.
  EXPECT_EQ(EscapeControlCharacters("a\x1B[2Jb\rc\x07\x7F"), "a\\x1B[2Jb\\x0Dc\\x07\\x7F");
  EXPECT_EQ(EscapeControlCharacters("line 1\nline\t2 \xC3\xA9"), "line 1\nline\t2 \xC3\xA9");
  EXPECT_EQ(EscapeControlCharacters(std::string("nul\0end", 7)), "nul\\x00end");
}

}  // namespace
}  // namespace estimetrix
