// Reading raw RGB files into the texture buffer: row order, the black colour key, short,
// long and missing files, and paths that are no files at all. No GL context: these
// cases never reach the upload.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "render/texture.h"
#include "tests/render/raw_file.h"

const unsigned char kUnwritten = 0xAB;  // fills the buffer before a read
const unsigned kNoWaitSeconds = 20;     // a reader still waiting by then never returns

// The steps of load() short of the upload, with the buffer filled with kUnwritten first.
static bool readRaw(Texture& texture, const std::string& path, int width, int height) {
  if (!texture.prepare(path.c_str(), width, height)) {
    return false;
  }
  memset(texture.pixels, kUnwritten, Texture::bufferBytes(width, height));
  return texture.readPixels();
}

static std::vector<unsigned char> bufferPixels(const Texture& texture, int count) {
  return std::vector<unsigned char>(texture.pixels, texture.pixels + count * 4);
}

using TextureFileTest = RawFileTest;

TEST_F(TextureFileTest, FileFirstRowBecomesBufferLastRow) {
  // P Q over R S: the buffer starts with the bottom row, R S, then P Q.
  std::string square = writeFile("square.raw", {10, 20, 30, 40, 50, 60,       // P Q
                                                70, 80, 90, 100, 110, 120});  // R S
  Texture t;
  ASSERT_TRUE(readRaw(t, square, 2, 2));
  std::vector<unsigned char> expected = {70, 80, 90, 255, 100, 110, 120, 255,   // R S
                                         10, 20, 30, 255, 40,  50,  60,  255};  // P Q
  EXPECT_EQ(bufferPixels(t, 4), expected);

  // Three columns, two rows: width and height are not interchangeable.
  std::string wide = writeFile("wide.raw", {1, 1, 1, 2, 2, 2, 3, 3, 3,    // A B C
                                            4, 4, 4, 5, 5, 5, 6, 6, 6});  // D E F
  Texture w;
  ASSERT_TRUE(readRaw(w, wide, 3, 2));
  std::vector<unsigned char> wideExpected = {4, 4, 4, 255, 5, 5, 5, 255, 6, 6, 6, 255,
                                             1, 1, 1, 255, 2, 2, 2, 255, 3, 3, 3, 255};
  EXPECT_EQ(bufferPixels(w, 6), wideExpected);
}

TEST_F(TextureFileTest, KeysBlackToTransparentButNotNearBlack) {
  std::string path = writeFile("key.raw", {0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 1, 0});
  Texture t;
  ASSERT_TRUE(readRaw(t, path, 4, 1));
  std::vector<unsigned char> expected = {0, 0, 0, 0,   0, 0, 1, 255,  // only pure black is keyed
                                         1, 0, 0, 255, 0, 1, 0, 255};
  EXPECT_EQ(bufferPixels(t, 4), expected);
}

TEST_F(TextureFileTest, EmptyFileReadsAsOpaqueWhite) {
  std::string path = writeFile("empty.raw", {});
  Texture t;
  ASSERT_TRUE(readRaw(t, path, 2, 2));
  EXPECT_EQ(bufferPixels(t, 4), std::vector<unsigned char>(16, 255));
}

TEST_F(TextureFileTest, PathsWithNothingToGiveAtOnceReadAsOpaqueWhiteWithoutWaiting) {
  // A reader that waits is ended by the alarm, and the test with it.
  alarm(kNoWaitSeconds);
  std::string directory = folder + "/directory.raw";
  ASSERT_EQ(mkdir(directory.c_str(), 0755), 0);
  written.push_back(directory);
  // A FIFO without a writer reads as ended.
  std::string fifo = folder + "/fifo.raw";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  written.push_back(fifo);
  for (const std::string& path : {directory, fifo}) {
    Texture t;
    EXPECT_TRUE(readRaw(t, path, 2, 2)) << path;
    EXPECT_EQ(bufferPixels(t, 4), std::vector<unsigned char>(16, 255)) << path;
  }

  // A writer that has sent the top row and stays silent: the top row, then white.
  int writer = open(fifo.c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(writer, 0);
  const unsigned char topRow[] = {10, 20, 30, 40, 50, 60};
  EXPECT_EQ(write(writer, topRow, sizeof topRow), static_cast<ssize_t>(sizeof topRow));
  Texture silent;
  EXPECT_TRUE(readRaw(silent, fifo, 2, 2));
  close(writer);
  std::vector<unsigned char> expected = {255, 255, 255, 255, 255, 255, 255, 255,  //
                                         10,  20,  30,  255, 40,  50,  60,  255};
  EXPECT_EQ(bufferPixels(silent, 4), expected);
  alarm(0);
}

TEST_F(TextureFileTest, FileOneByteShortGivesLastPixelWhiteBlueAndOpacity) {
  // The last pixel would be black, but its blue byte is missing: it reads as 255, and
  // the pixel is no longer keyed out. The file's last pixel is the buffer's second.
  std::string path = writeFile("short.raw", {10, 20, 30, 40, 50, 60, 70, 80, 90, 0, 0});
  Texture t;
  ASSERT_TRUE(readRaw(t, path, 2, 2));
  std::vector<unsigned char> expected = {70, 80, 90, 255, 0,  0,  255, 255,  //
                                         10, 20, 30, 255, 40, 50, 60,  255};
  EXPECT_EQ(bufferPixels(t, 4), expected);
}

TEST_F(TextureFileTest, FileTooLongIgnoresTheExtraBytesAndSpareBufferSpace) {
  std::vector<unsigned char> image = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};
  std::vector<unsigned char> longer = image;
  longer.insert(longer.end(), 30, 0);  // black extra pixels that would show as keyed
  std::string exactPath = writeFile("exact.raw", image);
  std::string longPath = writeFile("long.raw", longer);

  Texture exact;
  Texture tooLong;
  ASSERT_TRUE(readRaw(exact, exactPath, 2, 2));
  ASSERT_TRUE(readRaw(tooLong, longPath, 2, 2));
  EXPECT_EQ(bufferPixels(tooLong, 4), bufferPixels(exact, 4));
  // The spare row and column of the buffer are never written.
  std::vector<unsigned char> all = bufferPixels(tooLong, 9);
  EXPECT_EQ(std::vector<unsigned char>(all.begin() + 16, all.end()),
            std::vector<unsigned char>(20, kUnwritten));
}

TEST_F(TextureFileTest, MissingFileReportsOnOneLineAndMakesNoTexture) {
  std::string path = folder + "/absent.raw";
  Texture first;
  Texture second;
  testing::internal::CaptureStdout();
  bool firstLoaded = first.load(path.c_str(), 4, 4);
  bool secondLoaded = second.load(path.c_str(), 4, 4);
  std::string out = testing::internal::GetCapturedStdout();

  EXPECT_FALSE(firstLoaded);
  EXPECT_FALSE(secondLoaded);
  // No line break: two failures run together.
  EXPECT_EQ(out, "ERROR LOADING FILE!!!ERROR LOADING FILE!!!");
  EXPECT_EQ(first.glName, 0u);
  EXPECT_EQ(second.glName, 0u);
  // The texture keeps its path, size and (unfilled) buffer.
  ASSERT_NE(first.path, nullptr);
  EXPECT_STREQ(first.path, path.c_str());
  EXPECT_EQ(first.width, 4);
  EXPECT_EQ(first.height, 4);
  EXPECT_NE(first.pixels, nullptr);
}

TEST_F(TextureFileTest, BufferThatCannotBeAllocatedIsReportedAsAFileIs) {
  // Four terabytes: more than any machine this runs on gives one buffer.
  const int huge = 1 << 20;
  Texture t;
  testing::internal::CaptureStdout();
  bool loaded = t.load((folder + "/absent.raw").c_str(), huge, huge);
  std::string out = testing::internal::GetCapturedStdout();

  EXPECT_FALSE(loaded);
  EXPECT_EQ(out, "ERROR LOADING FILE!!!");
  EXPECT_EQ(t.pixels, nullptr);
  EXPECT_EQ(t.glName, 0u);
}

TEST_F(TextureFileTest, MissingFileLeavesTheBufferUntouched) {
  Texture t;
  EXPECT_FALSE(readRaw(t, folder + "/absent.raw", 2, 2));
  EXPECT_EQ(bufferPixels(t, 9), std::vector<unsigned char>(36, kUnwritten));
}
