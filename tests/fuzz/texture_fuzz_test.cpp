// The raw texture reader against thousands of generated files: every length from empty
// to past the image's end, random contents, random sizes. Each result is compared byte
// for byte with what the file format says the buffer holds: the file's bytes bottom row
// first, 255 for every byte the file lacks, alpha 0 only for pure black. The spare
// bytes that Texture::load allocates past the image carry a canary that must survive,
// and the sanitizer build catches any access outside the buffer itself.
//
// The generator is seeded with kDefaultSeed; AVIFOLD_FUZZ_SEED=<n> replays another run.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "render/texture.h"

const unsigned kDefaultSeed = 20261207;  // the run CI repeats; failures print theirs
const int kBufferBytesPerPixel = 4;      // RGBA in the texture's buffer
const int kFileBytesPerPixel = 3;        // RGB in the file
const size_t kPastTheEnd = 10;           // lengths tried beyond the image's own size
const int kRoundsPerLength = 3;          // different contents for each small-image length
const int kRandomShapes = 600;           // files of random size and length
const int kLargestRandomSide = 48;       // pixels, for the random sizes

static unsigned fuzzSeed() {
  const char* text = getenv("AVIFOLD_FUZZ_SEED");
  if (text == nullptr || *text == '\0') {
    return kDefaultSeed;
  }
  return static_cast<unsigned>(strtoul(text, nullptr, 10));
}

static size_t imageFileBytes(int width, int height) {
  return static_cast<size_t>(width) * static_cast<size_t>(height) * kFileBytesPerPixel;
}

// A value for every buffer byte that no reading should produce there by chance in the
// same pattern; the spare bytes must still hold it afterwards.
static unsigned char canary(size_t offset) {
  return static_cast<unsigned char>(0xA5 ^ (offset * 7));
}

// File contents pixel by pixel, so that the cases the reader tells apart all occur
// often: pure black (transparent), black but for one channel of 1 (opaque), pixels
// with some zero channels, and plain random colours.
static std::vector<unsigned char> randomFile(std::mt19937& rng, size_t length) {
  std::vector<unsigned char> bytes;
  while (bytes.size() < length) {
    unsigned char pixel[kFileBytesPerPixel] = {0, 0, 0};
    switch (rng() % 4) {
      case 0:
        break;
      case 1:
        pixel[rng() % kFileBytesPerPixel] = 1;
        break;
      case 2:
        pixel[rng() % kFileBytesPerPixel] = static_cast<unsigned char>(rng() % 256);
        break;
      default:
        for (unsigned char& channel : pixel) {
          channel = static_cast<unsigned char>(rng() % 256);
        }
        break;
    }
    bytes.insert(bytes.end(), pixel, pixel + kFileBytesPerPixel);
  }
  bytes.resize(length);
  return bytes;
}

// What the whole buffer must hold after reading file as a width x height image, worked
// out from the file's side: every file byte lands at its place, the rest stays white.
static std::vector<unsigned char> expectedBuffer(const std::vector<unsigned char>& file, int width,
                                                 int height) {
  std::vector<unsigned char> expected(Texture::bufferBytes(width, height));
  for (size_t i = 0; i < expected.size(); i++) {
    expected[i] = canary(i);
  }
  size_t pixelCount = static_cast<size_t>(width) * static_cast<size_t>(height);
  for (size_t p = 0; p < pixelCount; p++) {
    std::fill_n(&expected[p * kBufferBytesPerPixel], 3, 255);
  }
  size_t fileBytesUsed = std::min(file.size(), imageFileBytes(width, height));
  for (size_t k = 0; k < fileBytesUsed; k++) {
    size_t filePixel = k / kFileBytesPerPixel;
    size_t fileRow = filePixel / static_cast<size_t>(width);
    size_t column = filePixel % static_cast<size_t>(width);
    size_t bufferRow = static_cast<size_t>(height) - 1 - fileRow;
    size_t bufferPixel = bufferRow * static_cast<size_t>(width) + column;
    expected[bufferPixel * kBufferBytesPerPixel + k % kFileBytesPerPixel] = file[k];
  }
  for (size_t p = 0; p < pixelCount; p++) {
    unsigned char* pixel = &expected[p * kBufferBytesPerPixel];
    pixel[3] = (pixel[0] == 0 && pixel[1] == 0 && pixel[2] == 0) ? 0 : 255;
  }
  return expected;
}

// The first byte where actual and expected differ, described; empty when none does.
static std::string firstDifference(const unsigned char* actual,
                                   const std::vector<unsigned char>& expected, int width,
                                   int height) {
  size_t imageBytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
  for (size_t i = 0; i < expected.size(); i++) {
    if (actual[i] == expected[i]) {
      continue;
    }
    std::ostringstream out;
    out << "byte " << i << " is " << int{actual[i]} << ", expected " << int{expected[i]};
    if (i >= imageBytes) {
      out << " (spare byte past the image: overwritten)";
    } else {
      size_t pixel = i / kBufferBytesPerPixel;
      out << " (buffer row " << pixel / static_cast<size_t>(width) << ", column "
          << pixel % static_cast<size_t>(width) << ", channel " << i % kBufferBytesPerPixel << ")";
    }
    return out.str();
  }
  return "";
}

class RawTextureFile : public ::testing::Test {
 protected:
  void SetUp() override {
    filePath = testing::TempDir() + "avifold_texture_fuzz_" + std::to_string(getpid()) + ".raw";
  }
  void TearDown() override {
    remove(filePath.c_str());
  }

  void writeFile(const std::vector<unsigned char>& bytes) {
    FILE* file = fopen(filePath.c_str(), "wb");
    ASSERT_NE(file, nullptr) << filePath;
    if (!bytes.empty()) {
      ASSERT_EQ(fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    }
    ASSERT_EQ(fclose(file), 0);
  }

  // A texture as Texture::load prepares it before reading, its whole buffer canaried.
  static void prepare(Texture& texture, const std::string& path, int width, int height) {
    ASSERT_TRUE(texture.prepare(path.c_str(), width, height));
    size_t bytes = Texture::bufferBytes(width, height);
    for (size_t i = 0; i < bytes; i++) {
      texture.pixels[i] = canary(i);
    }
  }

  // Writes file, reads it as a width x height image and returns the first difference
  // from what the format says, or an empty text when the whole buffer is right.
  std::string readAndCompare(const std::vector<unsigned char>& file, int width, int height) {
    writeFile(file);
    Texture texture;
    prepare(texture, filePath, width, height);
    if (!texture.readPixels()) {
      return "readPixels returned false for an existing file";
    }
    return firstDifference(texture.pixels, expectedBuffer(file, width, height), width, height);
  }

  std::string filePath;
};

TEST_F(RawTextureFile, ReadsAHandWorkedShortFileBottomRowFirst) {
  // 2 x 2: first row P (1,2,3), Q black; second row R (0,0,1), S cut after two bytes.
  std::vector<unsigned char> file = {1, 2, 3, 0, 0, 0, 0, 0, 1, 9, 8};
  writeFile(file);
  Texture texture;
  prepare(texture, filePath, 2, 2);
  ASSERT_TRUE(texture.readPixels());
  const unsigned char expected[16] = {
      0, 0, 1, 255, 9, 8, 255, 255,  // R S: the file's last row is the buffer's first
      1, 2, 3, 255, 0, 0, 0,   0,    // P Q: Q alone is pure black, so transparent
  };
  for (int i = 0; i < 16; i++) {
    EXPECT_EQ(texture.pixels[i], expected[i]) << "byte " << i;
  }
  // The same file through the generated expectation that the fuzz cases rely on.
  EXPECT_EQ(firstDifference(texture.pixels, expectedBuffer(file, 2, 2), 2, 2), "");
}

TEST_F(RawTextureFile, EveryLengthOfASmallImageReadsFileBytesThenWhite) {
  unsigned seed = fuzzSeed();
  std::mt19937 rng(seed);
  const int sizes[][2] = {{7, 5}, {16, 16}, {1, 1}, {1, 6}, {6, 1}};
  int files = 0;
  for (const auto& size : sizes) {
    int width = size[0];
    int height = size[1];
    size_t longest = imageFileBytes(width, height) + kPastTheEnd;
    for (size_t length = 0; length <= longest; length++) {
      for (int round = 0; round < kRoundsPerLength; round++) {
        std::string difference = readAndCompare(randomFile(rng, length), width, height);
        files++;
        ASSERT_EQ(difference, "") << width << " x " << height << ", " << length << " bytes, round "
                                  << round << ", AVIFOLD_FUZZ_SEED=" << seed;
      }
    }
  }
  EXPECT_GT(files, 2500);
}

TEST_F(RawTextureFile, RandomSizesAndLengthsStayInsideTheBuffer) {
  unsigned seed = fuzzSeed();
  std::mt19937 rng(seed);
  for (int i = 0; i < kRandomShapes; i++) {
    int width = static_cast<int>(rng() % kLargestRandomSide) + 1;
    int height = static_cast<int>(rng() % kLargestRandomSide) + 1;
    size_t full = imageFileBytes(width, height);
    // Mostly any length up to a little past the image; now and then the lengths next
    // to the image's end, or a file twice as long as it.
    size_t length = rng() % (full + kPastTheEnd + 1);
    switch (rng() % 6) {
      case 0:
        length = full - 1 + rng() % 3;
        break;
      case 1:
        length = 2 * full;
        break;
      default:
        break;
    }
    std::string difference = readAndCompare(randomFile(rng, length), width, height);
    ASSERT_EQ(difference, "") << width << " x " << height << ", " << length << " bytes, case " << i
                              << ", AVIFOLD_FUZZ_SEED=" << seed;
  }
}

TEST_F(RawTextureFile, MissingFileReturnsFalseAndLeavesThePixelsAlone) {
  Texture texture;
  prepare(texture, filePath + ".missing", 7, 5);
  EXPECT_FALSE(texture.readPixels());
  size_t bytes = Texture::bufferBytes(7, 5);
  for (size_t i = 0; i < bytes; i++) {
    ASSERT_EQ(texture.pixels[i], canary(i)) << "byte " << i;
  }
}
