// Uploading a raw file to GL: a successful load leaves a complete, bound, mipmapped
// texture whose full-size level is the buffer that was read.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "render/texture.h"
#include "tests/render/raw_file.h"

using TextureUploadTest = RawFileTest;

static int levelParameter(int level, GLenum name) {
  int value = -1;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, level, name, &value);
  return value;
}

static int textureParameter(GLenum name) {
  int value = -1;
  glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
  return value;
}

static std::vector<unsigned char> fullSizeLevel(int width, int height) {
  std::vector<unsigned char> image(static_cast<size_t>(width * height * 4));
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, image.data());
  return image;
}

TEST_F(TextureUploadTest, LoadMakesACompleteBoundMipmappedTextureWithLinearFilters) {
  // Four columns, two rows: P Q R S over T U V W, with one black pixel.
  std::string path = writeFile("wide.raw", {1,  2,  3,  4,  5,  6,  7,  8,  9,  0,  0,  0,  //
                                            11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22});
  Texture t;
  ASSERT_TRUE(t.load(path.c_str(), 4, 2));
  ASSERT_NE(t.glName, 0u);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  int bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(static_cast<unsigned>(bound), t.glName);
  EXPECT_EQ(levelParameter(0, GL_TEXTURE_WIDTH), 4);
  EXPECT_EQ(levelParameter(0, GL_TEXTURE_HEIGHT), 2);
  EXPECT_EQ(levelParameter(1, GL_TEXTURE_WIDTH), 2);
  EXPECT_EQ(levelParameter(1, GL_TEXTURE_HEIGHT), 1);
  EXPECT_EQ(levelParameter(2, GL_TEXTURE_WIDTH), 1);
  EXPECT_EQ(textureParameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
  EXPECT_EQ(textureParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR);
  EXPECT_EQ(textureParameter(GL_TEXTURE_WRAP_S), GL_REPEAT);
  EXPECT_EQ(textureParameter(GL_TEXTURE_WRAP_T), GL_REPEAT);

  // The uploaded image is the buffer: bottom row first, black keyed out.
  std::vector<unsigned char> expected = {11, 12, 13, 255, 14, 15, 16, 255,  //
                                         17, 18, 19, 255, 20, 21, 22, 255,  //
                                         1,  2,  3,  255, 4,  5,  6,  255,  //
                                         7,  8,  9,  255, 0,  0,  0,  0};
  EXPECT_EQ(fullSizeLevel(4, 2), expected);
  EXPECT_EQ(std::vector<unsigned char>(t.pixels, t.pixels + 32), expected);

  // Every load makes its own texture object.
  Texture again;
  ASSERT_TRUE(again.load(path.c_str(), 4, 2));
  EXPECT_NE(again.glName, t.glName);
}

TEST_F(TextureUploadTest, EmptyFileLoadsAsAnOpaqueWhiteTexture) {
  std::string path = writeFile("empty.raw", {});
  Texture t;
  ASSERT_TRUE(t.load(path.c_str(), 2, 2));
  EXPECT_NE(t.glName, 0u);
  EXPECT_EQ(fullSizeLevel(2, 2), std::vector<unsigned char>(16, 255));
}
