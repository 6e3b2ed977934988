// Audio files for the command-line renderer: reading any file libsndfile
// understands (mono or stereo) in chunks, and writing a WAV file safely: the
// data goes to a hidden temporary file in the destination folder that is
// renamed into place only when everything has been written, so a failed or
// interrupted run never leaves a half-written file and never touches an
// existing file of the same name until the new one is complete.
//
// Knows nothing about the plug-in. Errors come back as one line of text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct sf_private_tag;

namespace quarv::render {

// What a file holds. format is libsndfile's major|subtype code.
struct AudioInfo {
  int sampleRate = 0;
  int channels = 0;
  int64_t frames = 0;
  int format = 0;
};

// Supported sample rates, in Hz.
constexpr int kMinSampleRate = 8000;
constexpr int kMaxSampleRate = 768000;

class AudioReader {
public:
  AudioReader() = default;
  ~AudioReader();
  AudioReader(const AudioReader&) = delete;
  AudioReader& operator=(const AudioReader&) = delete;

  // Opens path and checks it is mono or stereo audio at a supported rate
  // with at least one frame. On failure returns false with a one-line reason.
  bool Open(const std::string& path, std::string* error);
  const AudioInfo& Info() const { return mInfo; }

  // Reads up to maxFrames frames, one vector per channel (resized to the
  // frames read). Returns the number of frames read; 0 at the end; -1 on a
  // read error (with the reason).
  int64_t Read(std::vector<std::vector<double>>& channels, int64_t maxFrames, std::string* error);

private:
  sf_private_tag* mFile = nullptr;
  AudioInfo mInfo;
  std::string mPath;
  std::vector<double> mInterleaved;
};

// The WAV subtype used for a result taken from a file of format
// inputFormat: the same PCM width or float type where WAV has it, 32-bit float
// for compressed or lossy sources.
int OutputFormatFor(int inputFormat);
// 32-bit float WAV: the format of the demo input.
int FloatWavFormat();
// "16-bit PCM", "32-bit float", ... for a libsndfile format code.
std::string SampleFormatName(int format);
// The largest sample value a PCM format holds, 1 - 2^-(bits - 1) (its
// smallest is -1); none for float formats, which hold any value. Values
// beyond are clipped when written.
std::optional<double> HighestSample(int format);

class AudioWriter {
public:
  AudioWriter() = default;
  // Discards the temporary file unless Commit succeeded.
  ~AudioWriter();
  AudioWriter(const AudioWriter&) = delete;
  AudioWriter& operator=(const AudioWriter&) = delete;

  // Creates the temporary file beside path for a WAV of the given rate,
  // channel count and format (libsndfile code).
  bool Open(const std::string& path, int sampleRate, int channels, int format, std::string* error);
  // Writes frames from one vector per channel, starting at offset.
  bool Write(const std::vector<std::vector<double>>& channels, int64_t offset, int64_t frames,
             std::string* error);
  // Finishes the file and renames it to the final path.
  bool Commit(std::string* error);
  // Removes the temporary file (also done by the destructor).
  void Discard();

  const std::string& TempPath() const { return mTempPath; }
  int64_t FramesWritten() const { return mFrames; }

private:
  sf_private_tag* mFile = nullptr;
  std::string mPath, mTempPath;
  int mFd = -1;  // owned by libsndfile; used to start writing back early
  int mPendingSlot = -1;
  int mChannels = 0;
  int64_t mFrames = 0;
  int64_t mUnsyncedFrames = 0;
  std::vector<double> mInterleaved;
};

// Creates a hidden temporary file beside path (".name.XXXXXX") with the
// usual permissions, registered for removal on an interruption before it
// exists (the registration is the caller's to clear). Returns its
// descriptor, or -1 with a one-line reason.
int CreateTempBeside(const std::string& path, std::string* tempPath, int* registration, std::string* error);

// Writes size bytes to path through a temporary file beside it that is
// renamed into place, so a failed write leaves the old file (or none)
// untouched. what names the file in the message ("state file", "chart").
// Any thread; blocks on the file system.
bool WriteWholeFile(const std::string& path, const void* data, size_t size, const std::string& what,
                    std::string* error);

// Checks before a long render that a file can be written at path later: no
// folder there, and a file can be created beside it. False with a one-line
// reason naming what the file is. Any thread; blocks on the file system.
bool CheckWritable(const std::string& path, const std::string& what, std::string* error);

// Registers a temporary file to be removed if the process is interrupted by
// SIGINT, SIGTERM or SIGHUP; returns the registration (-1 when there is no
// room, and the file is then left behind on an interruption). Any thread.
int SetPendingTemp(const std::string& path);
void ClearPendingTemp(int registration);

// "dir/song.flac" -> "dir/song-quarvelline.wav".
std::string DefaultOutputPath(const std::string& input);
// True when both paths name the same file (or would, once created).
bool SameFile(const std::string& a, const std::string& b);

}  // namespace quarv::render
