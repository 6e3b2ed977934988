// Audio and state files: where the result goes, the format it keeps, reading
// in chunks, and writing through a temporary file that appears only when
// complete.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>

#include <fstream>
#include <string>
#include <vector>

#include "tests/tools/HostTestSupport.h"
#include "tools/AudioFile.h"
#include "tools/StateFile.h"

using namespace quarv::render;
using namespace quarv::test;

namespace {

TEST(AudioFileTest, OutputGoesBesideTheInputAsWav) {
  EXPECT_EQ(DefaultOutputPath("song.wav"), "song-quarvelline.wav");
  EXPECT_EQ(DefaultOutputPath("dir/song.flac"), "dir/song-quarvelline.wav");
  EXPECT_EQ(DefaultOutputPath("/a/b.c/track"), "/a/b.c/track-quarvelline.wav");
  EXPECT_EQ(DefaultOutputPath("my.song.aiff"), "my.song-quarvelline.wav");
}

TEST(AudioFileTest, SameFileSeesThroughSpellingsAndLinks) {
  TempDir dir;
  WriteWav(dir / "a.wav", SineChannels(1, 0.01, 8000, 0.1), 8000);
  EXPECT_TRUE(SameFile(dir / "a.wav", (dir.path / "." / "a.wav").string()));
  EXPECT_TRUE(SameFile(dir / "a.wav", (dir.path / "sub" / ".." / "a.wav").string()));
  fs::create_hard_link(dir / "a.wav", dir / "hard.wav");
  EXPECT_TRUE(SameFile(dir / "a.wav", dir / "hard.wav"));
  fs::create_symlink(dir / "a.wav", dir / "soft.wav");
  EXPECT_TRUE(SameFile(dir / "soft.wav", dir / "a.wav"));
  EXPECT_FALSE(SameFile(dir / "a.wav", dir / "b.wav"));
  EXPECT_TRUE(SameFile(dir / "new.wav", (dir.path / "." / "new.wav").string()));
}

TEST(AudioFileTest, OutputFormatKeepsPcmWidthOrFloat) {
  EXPECT_EQ(OutputFormatFor(SF_FORMAT_WAV | SF_FORMAT_PCM_16), SF_FORMAT_WAV | SF_FORMAT_PCM_16);
  EXPECT_EQ(OutputFormatFor(SF_FORMAT_AIFF | SF_FORMAT_PCM_24), SF_FORMAT_WAV | SF_FORMAT_PCM_24);
  EXPECT_EQ(OutputFormatFor(SF_FORMAT_FLAC | SF_FORMAT_PCM_16), SF_FORMAT_WAV | SF_FORMAT_PCM_16);
  EXPECT_EQ(OutputFormatFor(SF_FORMAT_WAV | SF_FORMAT_DOUBLE), SF_FORMAT_WAV | SF_FORMAT_DOUBLE);
  EXPECT_EQ(OutputFormatFor(SF_FORMAT_AIFF | SF_FORMAT_PCM_S8), SF_FORMAT_WAV | SF_FORMAT_PCM_U8);
  EXPECT_EQ(OutputFormatFor(SF_FORMAT_OGG | SF_FORMAT_VORBIS), SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  EXPECT_EQ(OutputFormatFor(SF_FORMAT_WAV | SF_FORMAT_ULAW), SF_FORMAT_WAV | SF_FORMAT_FLOAT);
}

TEST(AudioFileTest, WriterShowsTheFileOnlyAfterCommit) {
  TempDir dir;
  const Channels ch = SineChannels(2, 0.1, 8000, 0.5);
  std::string err;
  {
    AudioWriter w;
    ASSERT_TRUE(w.Open(dir / "out.wav", 8000, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_24, &err)) << err;
    ASSERT_TRUE(w.Write(ch, 0, 400, &err)) << err;
    ASSERT_TRUE(w.Write(ch, 400, 400, &err)) << err;
    EXPECT_FALSE(fs::exists(dir / "out.wav"));
    EXPECT_TRUE(fs::exists(w.TempPath()));
    ASSERT_TRUE(w.Commit(&err)) << err;
  }
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"out.wav"});
  const WavData d = ReadWav(dir / "out.wav");
  EXPECT_EQ(d.info.frames, 800);
  EXPECT_EQ(d.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
  ASSERT_EQ(d.ch.size(), 2u);
  EXPECT_NEAR(d.ch[1][123], ch[1][123], 1e-6);
}

TEST(AudioFileTest, AnUncommittedWriterLeavesNothingAndKeepsTheOldFile) {
  TempDir dir;
  std::ofstream(dir / "out.wav") << "previous";
  std::string err;
  {
    AudioWriter w;
    ASSERT_TRUE(w.Open(dir / "out.wav", 8000, 1, SF_FORMAT_WAV | SF_FORMAT_FLOAT, &err)) << err;
    ASSERT_TRUE(w.Write(SineChannels(1, 0.1, 8000, 0.5), 0, 800, &err)) << err;
  }
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"out.wav"});
  std::ifstream in(dir / "out.wav");
  std::string content;
  in >> content;
  EXPECT_EQ(content, "previous");
}

TEST(AudioFileTest, WriterRefusesMissingFoldersAndDirectories) {
  TempDir dir;
  std::string err;
  AudioWriter w;
  EXPECT_FALSE(w.Open(dir / "missing/out.wav", 8000, 1, SF_FORMAT_WAV | SF_FORMAT_FLOAT, &err));
  EXPECT_NE(err.find("No such file"), std::string::npos) << err;
  fs::create_directory(dir / "folder.wav");
  EXPECT_FALSE(w.Open(dir / "folder.wav", 8000, 1, SF_FORMAT_WAV | SF_FORMAT_FLOAT, &err));
  EXPECT_NE(err.find("directory"), std::string::npos) << err;
}

TEST(AudioFileTest, ReaderReadsInChunksUntilTheEnd) {
  TempDir dir;
  const Channels ch = SineChannels(2, 0.25, 8000, 0.5);  // 2000 frames
  WriteWav(dir / "in.wav", ch, 8000, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  AudioReader r;
  std::string err;
  ASSERT_TRUE(r.Open(dir / "in.wav", &err)) << err;
  EXPECT_EQ(r.Info().frames, 2000);
  EXPECT_EQ(r.Info().channels, 2);
  Channels got;
  int64_t total = 0;
  std::vector<int64_t> sizes;
  for (int64_t n; (n = r.Read(got, 768, &err)) > 0; total += n) {
    sizes.push_back(n);
    EXPECT_NEAR(got[1][5], ch[1][static_cast<size_t>(total + 5)], 1e-7);
  }
  EXPECT_EQ(total, 2000);
  EXPECT_EQ(sizes, (std::vector<int64_t>{768, 768, 464}));
}

std::string OpenError(const std::string& path) {
  AudioReader r;
  std::string err;
  EXPECT_FALSE(r.Open(path, &err)) << path;
  EXPECT_EQ(err.find('\n'), std::string::npos);
  return err;
}

TEST(AudioFileTest, ReaderRefusesWhatItCannotLimit) {
  TempDir dir;
  EXPECT_NE(OpenError(dir / "none.wav").find("No such file"), std::string::npos);
  std::ofstream(dir / "text.wav") << "this is not audio at all, just some words";
  EXPECT_NE(OpenError(dir / "text.wav").find("not an audio file"), std::string::npos);
  EXPECT_NE(OpenError(dir.path.string()).find("directory"), std::string::npos);
  WriteWav(dir / "three.wav", SineChannels(3, 0.01, 8000, 0.1), 8000);
  EXPECT_NE(OpenError(dir / "three.wav").find("3 channels"), std::string::npos);
  WriteWav(dir / "slow.wav", SineChannels(1, 0.1, 4000, 0.1, 100.0), 4000);
  EXPECT_NE(OpenError(dir / "slow.wav").find("4000 Hz"), std::string::npos);
  WriteWav(dir / "empty.wav", Channels(2), 48000);
  EXPECT_NE(OpenError(dir / "empty.wav").find("no audio"), std::string::npos);
}

TEST(StateFileTest, WritesAndReadsBackEveryByte) {
  TempDir dir;
  std::vector<uint8_t> bytes(300);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);
  std::string err;
  ASSERT_TRUE(WriteStateFile(dir / "a.state", bytes, &err)) << err;
  std::vector<uint8_t> back;
  ASSERT_TRUE(ReadStateFile(dir / "a.state", &back, &err)) << err;
  EXPECT_EQ(back, bytes);
  EXPECT_EQ(dir.Files(), std::vector<std::string>{"a.state"});
  struct stat st {};
  ASSERT_EQ(stat((dir / "a.state").c_str(), &st), 0);
  EXPECT_NE(st.st_mode & S_IRGRP, 0u);  // usual permissions, not the temporary file's private ones
}

TEST(StateFileTest, AFailedWriteLeavesTheOldFileAndNoTemporary) {
  TempDir dir;
  std::ofstream(dir / "a.state") << "old";
  std::string err;
  fs::create_directory(dir / "dir.state");
  EXPECT_FALSE(WriteStateFile(dir / "dir.state", {1, 2}, &err));
  EXPECT_NE(err.find("directory"), std::string::npos) << err;
  EXPECT_FALSE(WriteStateFile(dir / "missing/a.state", {1, 2}, &err));
  EXPECT_NE(err.find("No such file"), std::string::npos) << err;
  EXPECT_EQ(dir.Files(), (std::vector<std::string>{"a.state", "dir.state"}));
  EXPECT_EQ(Slurp(dir / "a.state"), "old");
}

TEST(StateFileTest, RefusesMissingFilesAndDirectories) {
  TempDir dir;
  std::vector<uint8_t> bytes;
  std::string err;
  EXPECT_FALSE(ReadStateFile(dir / "none.state", &bytes, &err));
  EXPECT_NE(err.find("No such file"), std::string::npos) << err;
  EXPECT_FALSE(ReadStateFile(dir.path.string(), &bytes, &err));
  EXPECT_NE(err.find("not a regular file"), std::string::npos) << err;
  std::ofstream(dir / "empty.state").flush();
  EXPECT_TRUE(ReadStateFile(dir / "empty.state", &bytes, &err)) << err;  // the plug-in judges
  EXPECT_TRUE(bytes.empty());
}

}  // namespace
