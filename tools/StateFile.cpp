#include "tools/StateFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace quarv::render {
namespace {

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

}  // namespace

bool ReadStateFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = "cannot open state file " + Quoted(path) + ": " + std::strerror(errno);
    return false;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    *error = "state file " + Quoted(path) + " is not a regular file";
    return false;
  }
  if (static_cast<uint64_t>(st.st_size) > kMaxStateBytes) {
    ::close(fd);
    *error = "state file " + Quoted(path) + " is too large to be a plug-in state";
    return false;
  }
  bytes->resize(static_cast<size_t>(st.st_size));
  size_t done = 0;
  while (done < bytes->size()) {
    const ssize_t got = ::read(fd, bytes->data() + done, bytes->size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      const int err = got < 0 ? errno : EIO;
      ::close(fd);
      *error = "reading state file " + Quoted(path) + " failed: " + std::strerror(err);
      return false;
    }
    done += static_cast<size_t>(got);
  }
  ::close(fd);
  return true;
}

bool WriteStateFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) {
    *error = "cannot write state file " + Quoted(path) + ": it is a directory";
    return false;
  }
  const fs::path target(path);
  fs::path dir = target.parent_path();
  if (dir.empty()) dir = ".";
  std::string temp = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) {
    *error = "cannot write state file " + Quoted(path) + ": " + std::strerror(errno);
    return false;
  }
  const mode_t mask = umask(0);
  umask(mask);
  (void)fchmod(fd, 0666 & ~mask);  // on failure the file just stays private
  size_t done = 0;
  int err = 0;
  while (done < bytes.size() && err == 0) {
    const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      err = put < 0 ? errno : EIO;
    } else {
      done += static_cast<size_t>(put);
    }
  }
  if (::close(fd) != 0 && err == 0) err = errno;
  if (err == 0 && std::rename(temp.c_str(), path.c_str()) != 0) err = errno;
  if (err != 0) {
    ::unlink(temp.c_str());
    *error = "cannot write state file " + Quoted(path) + ": " + std::strerror(err);
    return false;
  }
  return true;
}

}  // namespace quarv::render
