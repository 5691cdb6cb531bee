#include "platform/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <optional>
#include <random>

namespace estimetrix {
namespace {

// Reads are done in pieces of this size, so a large file costs its lines and
// one piece, not a second copy of the whole file.
constexpr size_t kReadPieceBytes = 64 * 1024;

// Links followed before a save gives up, as the system does for paths.
constexpr int kMaxLinkHops = 40;

// Closes the descriptor it holds when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // Closes now and reports the result, which matters after writing.
  bool Close() {
    int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

std::string SystemReason(int code) {
  return std::strerror(code);
}

// Why a file of this type is not accepted as a text file, or "" for a
// regular file.
std::string NotRegularReason(mode_t mode) {
  if (S_ISREG(mode)) return "";
  if (S_ISDIR(mode)) return "is a folder, not a file";
  if (S_ISFIFO(mode)) return "is a pipe, not a regular file";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "is a device, not a regular file";
  if (S_ISSOCK(mode)) return "is a socket, not a regular file";
  return "is not a regular file";
}

std::string TooLargeReason() {
  return "is larger than " + std::to_string(kMaxTextFileBytes / (1024 * 1024)) +
         " MB, too large for a text file";
}

// Splits text fed to it in pieces into lines at CR LF, LF or a lone CR.
class LineSplitter {
 public:
  void Feed(const char* data, size_t size) {
    const char* end = data + size;
    while (data < end) {
      if (afterCr_) {
        afterCr_ = false;
        if (*data == '\n') {
          ++data;
          continue;
        }
      }
      const char* stop = std::find_if(data, end, [](char c) { return c == '\r' || c == '\n'; });
      current_.append(data, stop);
      if (stop == end) break;
      afterCr_ = *stop == '\r';
      lines_.push_back(std::move(current_));
      current_.clear();
      data = stop + 1;
    }
  }

  std::vector<std::string> Finish() {
    if (!current_.empty()) lines_.push_back(std::move(current_));
    current_.clear();
    afterCr_ = false;
    return std::move(lines_);
  }

 private:
  std::vector<std::string> lines_;
  std::string current_;
  bool afterCr_ = false;
};

// The folder part of a path with its final "/" ("" for a bare name).
std::string FolderPart(const std::string& path) {
  size_t at = path.rfind('/');
  return at == std::string::npos ? std::string() : path.substr(0, at + 1);
}

// The text of the symbolic link at `path`, or nullopt with errno set.
std::optional<std::string> ReadLink(const std::string& path, const struct stat& info) {
  // st_size is the length of the link text, but some file systems give 0.
  size_t size = std::max<size_t>(static_cast<size_t>(info.st_size) + 1, 256);
  while (true) {
    std::string link(size, '\0');
    ssize_t length = ::readlink(path.c_str(), link.data(), link.size());
    if (length < 0) return std::nullopt;
    if (static_cast<size_t>(length) < link.size()) {
      link.resize(static_cast<size_t>(length));
      return link;
    }
    if (size >= (size_t{1} << 20)) {
      errno = ENAMETOOLONG;
      return std::nullopt;
    }
    size *= 2;
  }
}

struct SaveTarget {
  std::string path;  // the final target after following links
  bool exists = false;
  struct stat info = {};  // valid when exists
};

// Follows a chain of symbolic links from `path` to the file a save should
// replace. On failure returns nullopt with the system's error code in `code`.
std::optional<SaveTarget> ResolveSaveTarget(const std::string& path, int& code) {
  SaveTarget target;
  target.path = path;
  for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
    if (::lstat(target.path.c_str(), &target.info) != 0) {
      if (errno != ENOENT) {
        code = errno;
        return std::nullopt;
      }
      target.exists = false;
      return target;
    }
    if (!S_ISLNK(target.info.st_mode)) {
      target.exists = true;
      return target;
    }
    std::optional<std::string> link = ReadLink(target.path, target.info);
    if (!link) {
      code = errno;
      return std::nullopt;
    }
    target.path = (!link->empty() && (*link)[0] == '/') ? *link : FolderPart(target.path) + *link;
  }
  code = ELOOP;
  return std::nullopt;
}

// Creates a new, empty file with a short unique name in `folder` (which is
// "" or ends with "/"), with mode 0666 so the umask and the folder's default
// permissions apply as for any new file. Returns the descriptor, or -1 with
// errno set.
int CreateTemporaryFile(const std::string& folder, std::string& name) {
  static constexpr char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::mt19937_64 random(
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
      (static_cast<std::uint64_t>(::getpid()) << 32) ^ reinterpret_cast<std::uintptr_t>(&name));
  std::uniform_int_distribution<size_t> pick(0, sizeof(kLetters) - 2);
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = folder + ".est-";
    for (int i = 0; i < 6; ++i) name += kLetters[pick(random)];
    int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

bool WriteAll(int fd, const std::string& text) {
  const char* data = text.data();
  size_t left = text.size();
  while (left > 0) {
    ssize_t written = ::write(fd, data, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    left -= static_cast<size_t>(written);
  }
  return true;
}

// Gives the new file the old one's owner, group and permission bits. The
// owner and group are kept only where the process may set them.
bool CopyOwnerAndMode(int fd, const struct stat& old) {
  if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
    // Not allowed to give the file away: at least keep the group if we may.
    if (errno != EPERM && errno != EINVAL) return false;
    if (::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0 && errno != EPERM && errno != EINVAL)
      return false;
  }
  return ::fchmod(fd, old.st_mode & 07777) == 0;
}

// Why an existing file may not be replaced, or "" when it may. A file
// without any write permission bit has been made read-only on purpose, and
// is refused even where the process could replace it (the superuser, or the
// owner of the folder), as editors refuse it. Otherwise the system decides.
std::string WriteProtectionReason(const std::string& path, const struct stat& info) {
  if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
    return "it is read-only (no one may write to it); it was left as it was.";
  if (::access(path.c_str(), W_OK) != 0) return SystemReason(errno) + "; it was left as it was.";
  return "";
}

// Makes the rename itself durable; a folder that cannot be synced is no
// reason to call a finished save failed.
void SyncFolder(const std::string& folder) {
  int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

std::string ToCrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16 + 2);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

bool SaveTextFileAtomically(const std::string& path, const std::string& text, std::string& error) {
  auto fail = [&](const std::string& verb, const std::string& reason) {
    error = "Cannot " + verb + " " + path + ": " + reason;
    return false;
  };
  int code = 0;
  std::optional<SaveTarget> target = ResolveSaveTarget(path, code);
  if (!target) return fail("write", SystemReason(code));
  if (target->exists && !S_ISREG(target->info.st_mode))
    return fail("write", "it " + NotRegularReason(target->info.st_mode) + ".");
  if (target->exists) {
    const std::string locked = WriteProtectionReason(target->path, target->info);
    if (!locked.empty()) return fail("write", locked);
  }

  const std::string folder = FolderPart(target->path);
  std::string temp;
  Descriptor file(CreateTemporaryFile(folder, temp));
  if (file.get() < 0) return fail("write", SystemReason(errno));

  bool ok = WriteAll(file.get(), text);
  if (ok && target->exists) ok = CopyOwnerAndMode(file.get(), target->info);
  if (ok) ok = ::fsync(file.get()) == 0 || errno == EINVAL;
  code = errno;
  if (!file.Close() && ok) {
    ok = false;
    code = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    return fail("write", SystemReason(code));
  }
  if (::rename(temp.c_str(), target->path.c_str()) != 0) {
    code = errno;
    ::unlink(temp.c_str());
    return fail("replace", SystemReason(code));
  }
  SyncFolder(folder);
  return true;
}

std::optional<std::vector<std::string>> ReadTextLines(const std::string& path, std::string& error) {
  // Look before opening: opening a pipe for reading waits for a writer.
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) {
    error = "Cannot open " + path + ": " + SystemReason(errno);
    return std::nullopt;
  }
  auto refuse = [&](const struct stat& seen) {
    if (S_ISDIR(seen.st_mode)) {
      error = path + " is a folder, not a file.";
    } else {
      error = "Cannot open " + path + ": it " + NotRegularReason(seen.st_mode) + ".";
    }
    return std::nullopt;
  };
  if (!S_ISREG(info.st_mode)) return refuse(info);
  if (static_cast<std::uint64_t>(info.st_size) > kMaxTextFileBytes) {
    error = "Cannot read " + path + ": it " + TooLargeReason() + ".";
    return std::nullopt;
  }

  // Non-blocking in case the file was swapped for a pipe since the look.
  Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (file.get() < 0) {
    error = "Cannot open " + path + ": " + SystemReason(errno);
    return std::nullopt;
  }
  if (::fstat(file.get(), &info) != 0) {
    error = "Cannot read " + path + ": " + SystemReason(errno);
    return std::nullopt;
  }
  if (!S_ISREG(info.st_mode)) return refuse(info);

  LineSplitter splitter;
  std::vector<char> piece(kReadPieceBytes);
  std::uint64_t total = 0;
  while (true) {
    ssize_t got = ::read(file.get(), piece.data(), piece.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      error = "Cannot read " + path + ": " + SystemReason(errno);
      return std::nullopt;
    }
    if (got == 0) break;
    total += static_cast<std::uint64_t>(got);
    if (total > kMaxTextFileBytes) {  // it grew while we read it
      error = "Cannot read " + path + ": it " + TooLargeReason() + ".";
      return std::nullopt;
    }
    splitter.Feed(piece.data(), static_cast<size_t>(got));
  }
  return splitter.Finish();
}

bool DropByteOrderMark(std::vector<std::string>& lines) {
  static constexpr char kMark[] = "\xEF\xBB\xBF";
  if (lines.empty() || lines.front().compare(0, 3, kMark) != 0) return false;
  lines.front().erase(0, 3);
  return true;
}

std::string EscapeControlCharacters(const std::string& text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string shown;
  shown.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte < 0x20 && c != '\n' && c != '\t') || byte == 0x7F) {
      shown += "\\x";
      shown += kHex[byte >> 4];
      shown += kHex[byte & 0xF];
    } else {
      shown += c;
    }
  }
  return shown;
}

bool ContainsNulBytes(const std::vector<std::string>& lines) {
  return std::any_of(lines.begin(), lines.end(),
                     [](const std::string& line) { return line.find('\0') != std::string::npos; });
}

std::string BareFileName(const std::string& path) {
  size_t at = path.find_last_of("/\\");
  return at == std::string::npos ? path : path.substr(at + 1);
}

}  // namespace estimetrix
