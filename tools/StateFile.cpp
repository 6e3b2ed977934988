#include "tools/StateFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "tools/AudioFile.h"

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
  std::string temp;
  const int fd = CreateTempBeside(path, &temp, error);
  if (fd < 0) return false;
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
