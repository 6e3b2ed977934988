#include "tools/StateFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tools/AudioFile.h"

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
  return WriteWholeFile(path, bytes.data(), bytes.size(), "state file", error);
}

}  // namespace quarv::render
