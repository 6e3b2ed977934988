#include "tools/AudioFile.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <system_error>

namespace fs = std::filesystem;

namespace quarv::render {
namespace {

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

std::string SystemError(int err) { return std::strerror(err); }

// libsndfile's messages end with a full stop; ours are embedded in a line.
std::string SfMessage(SNDFILE* file) {
  std::string m = sf_strerror(file);
  while (!m.empty() && (m.back() == '.' || m.back() == ' ' || m.back() == '\n')) m.pop_back();
  return m;
}

// The temporary files being written, removed when the process is interrupted
// so that an aborted run leaves nothing behind. Several files may be written
// at once (one per file rendered in parallel); a slot is free (0), being
// filled (1) or holds a path the handler removes (2). Without a free slot a
// file is simply not removed on an interruption.
constexpr int kPendingSlots = 128;
struct PendingTemp {
  std::atomic<int> state{0};
  char path[4096];
};
PendingTemp gPendingTemps[kPendingSlots];
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads the slots");

extern "C" void RemovePendingTempsAndDie(int sig) {
  for (PendingTemp& p : gPendingTemps) {
    if (p.state.load() == 2) unlink(p.path);
  }
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

void InstallRemovalHandlers() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
      // A signal the caller chose to ignore stays ignored.
      if (std::signal(sig, RemovePendingTempsAndDie) == SIG_IGN) std::signal(sig, SIG_IGN);
    }
  });
}

}  // namespace

int SetPendingTemp(const std::string& path) {
  InstallRemovalHandlers();
  if (path.size() >= sizeof gPendingTemps[0].path) return -1;
  for (int i = 0; i < kPendingSlots; ++i) {
    int expected = 0;
    if (!gPendingTemps[i].state.compare_exchange_strong(expected, 1)) continue;
    std::memcpy(gPendingTemps[i].path, path.c_str(), path.size() + 1);
    gPendingTemps[i].state.store(2);
    return i;
  }
  return -1;
}

void ClearPendingTemp(int slot) {
  if (slot >= 0 && slot < kPendingSlots) gPendingTemps[slot].state.store(0);
}

namespace {

// Samples written between two requests to start writing back (4 MB of
// 32-bit float).
constexpr int64_t kEarlyWriteBackSamples = int64_t{1} << 20;

}  // namespace

// ---------------------------------------------------------------- reading

AudioReader::~AudioReader() {
  if (mFile) sf_close(mFile);
}

bool AudioReader::Open(const std::string& path, std::string* error) {
  mPath = path;
  std::error_code ec;
  if (fs::is_directory(path, ec)) {
    *error = Quoted(path) + " is a directory, not an audio file";
    return false;
  }
  // Opening the descriptor ourselves gives the system's own reason for a
  // missing or unreadable file.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = "cannot open " + Quoted(path) + ": " + SystemError(errno);
    return false;
  }
  SF_INFO info{};
  mFile = sf_open_fd(fd, SFM_READ, &info, SF_TRUE);
  if (!mFile) {
    *error = Quoted(path) + " is not an audio file that can be read (" + SfMessage(nullptr) + ")";
    return false;
  }
  mInfo.sampleRate = info.samplerate;
  mInfo.channels = info.channels;
  mInfo.frames = info.frames;
  mInfo.format = info.format;
  if (info.channels < 1 || info.channels > 2) {
    *error = Quoted(path) + " has " + std::to_string(info.channels) +
             " channels; only mono and stereo files are supported";
    return false;
  }
  if (info.samplerate < kMinSampleRate || info.samplerate > kMaxSampleRate) {
    *error = Quoted(path) + " has a sample rate of " + std::to_string(info.samplerate) +
             " Hz; supported rates are " + std::to_string(kMinSampleRate) + " to " +
             std::to_string(kMaxSampleRate) + " Hz";
    return false;
  }
  if (info.frames <= 0) {
    *error = Quoted(path) + " holds no audio frames";
    return false;
  }
  return true;
}

int64_t AudioReader::Read(std::vector<std::vector<double>>& channels, int64_t maxFrames,
                          std::string* error) {
  const int nch = mInfo.channels;
  channels.resize(static_cast<size_t>(nch));
  if (!mFile || maxFrames <= 0) {
    for (auto& c : channels) c.clear();
    return 0;
  }
  mInterleaved.resize(static_cast<size_t>(maxFrames * nch));
  const sf_count_t got = sf_readf_double(mFile, mInterleaved.data(), maxFrames);
  if (got < 0 || (got == 0 && sf_error(mFile) != SF_ERR_NO_ERROR)) {
    *error = "reading " + Quoted(mPath) + " failed: " + SfMessage(mFile);
    return -1;
  }
  for (int ch = 0; ch < nch; ++ch) {
    std::vector<double>& c = channels[static_cast<size_t>(ch)];
    c.resize(static_cast<size_t>(got));
    for (sf_count_t i = 0; i < got; ++i) c[static_cast<size_t>(i)] = mInterleaved[static_cast<size_t>(i * nch + ch)];
  }
  return got;
}

// ---------------------------------------------------------------- writing

int OutputFormatFor(int inputFormat) {
  switch (inputFormat & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
      return SF_FORMAT_WAV | SF_FORMAT_PCM_U8;  // WAV's only 8-bit PCM
    case SF_FORMAT_PCM_16:
    case SF_FORMAT_PCM_24:
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT:
    case SF_FORMAT_DOUBLE:
      return SF_FORMAT_WAV | (inputFormat & SF_FORMAT_SUBMASK);
    default:
      // Companded, ADPCM and lossy sources: keep the result without loss.
      return SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  }
}

int FloatWavFormat() { return SF_FORMAT_WAV | SF_FORMAT_FLOAT; }

std::string SampleFormatName(int format) {
  switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
      return "8-bit PCM";
    case SF_FORMAT_PCM_16:
      return "16-bit PCM";
    case SF_FORMAT_PCM_24:
      return "24-bit PCM";
    case SF_FORMAT_PCM_32:
      return "32-bit PCM";
    case SF_FORMAT_FLOAT:
      return "32-bit float";
    case SF_FORMAT_DOUBLE:
      return "64-bit float";
    default: {
      SF_FORMAT_INFO info{};
      info.format = format & SF_FORMAT_SUBMASK;
      if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) == 0 && info.name) return info.name;
      return "encoded";
    }
  }
}

std::optional<double> HighestSample(int format) {
  int bits = 0;
  switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
      bits = 8;
      break;
    case SF_FORMAT_PCM_16:
      bits = 16;
      break;
    case SF_FORMAT_PCM_24:
      bits = 24;
      break;
    case SF_FORMAT_PCM_32:
      bits = 32;
      break;
    default:
      return std::nullopt;
  }
  return 1.0 - std::ldexp(1.0, -(bits - 1));
}

AudioWriter::~AudioWriter() { Discard(); }

bool AudioWriter::Open(const std::string& path, int sampleRate, int channels, int format,
                       std::string* error) {
  Discard();
  mPath = path;
  mChannels = channels;
  mFrames = 0;
  std::error_code ec;
  if (fs::is_directory(path, ec)) {
    *error = "cannot write " + Quoted(path) + ": it is a directory";
    return false;
  }
  const int fd = CreateTempBeside(path, &mTempPath, &mPendingSlot, error);
  if (fd < 0) return false;

  SF_INFO info{};
  info.samplerate = sampleRate;
  info.channels = channels;
  info.format = format;
  if (!sf_format_check(&info)) {
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  }
  // libsndfile owns the descriptor from here on, and closes it on failure too.
  mFd = fd;
  mUnsyncedFrames = 0;
  mFile = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
  if (!mFile) {
    *error = "cannot write " + Quoted(path) + ": " + SfMessage(nullptr);
    Discard();
    return false;
  }
  // Integer outputs clip instead of wrapping around on overs.
  sf_command(mFile, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  return true;
}

bool AudioWriter::Write(const std::vector<std::vector<double>>& channels, int64_t offset,
                        int64_t frames, std::string* error) {
  if (frames <= 0) return true;
  if (!mFile) {
    *error = "cannot write " + Quoted(mPath) + ": the file is not open";
    return false;
  }
  mInterleaved.resize(static_cast<size_t>(frames * mChannels));
  for (int ch = 0; ch < mChannels; ++ch) {
    const double* src = channels[static_cast<size_t>(ch)].data() + offset;
    for (int64_t i = 0; i < frames; ++i) mInterleaved[static_cast<size_t>(i * mChannels + ch)] = src[i];
  }
  const sf_count_t put = sf_writef_double(mFile, mInterleaved.data(), frames);
  if (put != frames) {
    *error = "writing " + Quoted(mPath) + " failed: " + SfMessage(mFile);
    return false;
  }
  mFrames += frames;
  // The disk starts on what is written while the rest is computed, so the
  // flush before the rename has little left to wait for.
  mUnsyncedFrames += frames;
  if (mUnsyncedFrames * mChannels >= kEarlyWriteBackSamples) {
    sync_file_range(mFd, 0, 0, SYNC_FILE_RANGE_WRITE);
    mUnsyncedFrames = 0;
  }
  return true;
}

bool AudioWriter::Commit(std::string* error) {
  if (!mFile) {
    *error = "cannot write " + Quoted(mPath) + ": the file is not open";
    return false;
  }
  sf_write_sync(mFile);
  const int closeResult = sf_close(mFile);
  mFile = nullptr;
  if (closeResult != 0) {
    *error = "writing " + Quoted(mPath) + " failed: " + sf_error_number(closeResult);
    Discard();
    return false;
  }
  if (std::rename(mTempPath.c_str(), mPath.c_str()) != 0) {
    *error = "cannot write " + Quoted(mPath) + ": " + SystemError(errno);
    Discard();
    return false;
  }
  mTempPath.clear();
  ClearPendingTemp(mPendingSlot);
  mPendingSlot = -1;
  return true;
}

void AudioWriter::Discard() {
  if (mFile) {
    sf_close(mFile);
    mFile = nullptr;
  }
  if (!mTempPath.empty()) {
    ClearPendingTemp(mPendingSlot);
    mPendingSlot = -1;
    unlink(mTempPath.c_str());
    mTempPath.clear();
  }
}

// ---------------------------------------------------------------- paths

int CreateTempBeside(const std::string& path, std::string* tempPath, int* registration, std::string* error) {
  const fs::path target(path);
  fs::path dir = target.parent_path();
  if (dir.empty()) dir = ".";
  const std::string stem = (dir / ("." + target.filename().string() + ".")).string();
  // The name is registered for removal before the file exists, so an
  // interruption at any moment leaves nothing behind.
  static std::atomic<uint64_t> counter{0};
  static const uint64_t seed = (static_cast<uint64_t>(getpid()) << 32) ^
                               static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  int err = EEXIST;
  for (int attempt = 0; attempt < 100 && err == EEXIST; ++attempt) {
    uint64_t x = seed + 0x9E3779B97F4A7C15ull * (counter.fetch_add(1) + 1);
    x ^= x >> 31;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 29;
    std::string name = stem;
    for (int i = 0; i < 6; ++i, x /= 62) name += kLetters[x % 62];
    const int slot = SetPendingTemp(name);
    // The usual permissions: the process's umask applies to 0666.
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      *tempPath = name;
      *registration = slot;
      return fd;
    }
    err = errno;
    ClearPendingTemp(slot);
  }
  *error = "cannot create a file in " + Quoted(dir.string()) + ": " + SystemError(err);
  return -1;
}

namespace {

// The temporary file for writing what (a "chart", ...) to path; -1 with the
// reason when path is a folder or no file can be created beside it.
int TempFor(const std::string& path, const std::string& what, std::string* temp, int* registration,
            std::string* error) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) {
    *error = "cannot write " + what + " " + Quoted(path) + ": it is a directory";
    return -1;
  }
  return CreateTempBeside(path, temp, registration, error);
}

}  // namespace

bool WriteWholeFile(const std::string& path, const void* data, size_t size, const std::string& what,
                    std::string* error) {
  std::string temp;
  int pending = -1;
  const int fd = TempFor(path, what, &temp, &pending, error);
  if (fd < 0) return false;
  const auto* bytes = static_cast<const unsigned char*>(data);
  size_t done = 0;
  int err = 0;
  while (done < size && err == 0) {
    const ssize_t put = ::write(fd, bytes + done, size - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      err = put < 0 ? errno : EIO;
    } else {
      done += static_cast<size_t>(put);
    }
  }
  if (::close(fd) != 0 && err == 0) err = errno;
  if (err == 0 && std::rename(temp.c_str(), path.c_str()) != 0) err = errno;
  ClearPendingTemp(pending);
  if (err != 0) {
    ::unlink(temp.c_str());
    *error = "cannot write " + what + " " + Quoted(path) + ": " + SystemError(err);
    return false;
  }
  return true;
}

bool CheckWritable(const std::string& path, const std::string& what, std::string* error) {
  std::string temp;
  int pending = -1;
  const int fd = TempFor(path, what, &temp, &pending, error);
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(temp.c_str());
  ClearPendingTemp(pending);
  return true;
}

std::string DefaultOutputPath(const std::string& input) {
  fs::path p(input);
  p.replace_filename(p.stem().string() + "-quarvelline.wav");
  return p.string();
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  if (fs::exists(a, ec) && fs::exists(b, ec)) {
    const bool same = fs::equivalent(a, b, ec);
    if (!ec) return same;
  }
  const fs::path ca = fs::weakly_canonical(fs::absolute(a, ec), ec);
  const fs::path cb = fs::weakly_canonical(fs::absolute(b, ec), ec);
  return ca == cb;
}

}  // namespace quarv::render
