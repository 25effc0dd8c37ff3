// Raw image files for the texture tests, written into a fresh temporary folder.
#ifndef AVIFOLD_TESTS_RENDER_RAW_FILE_H
#define AVIFOLD_TESTS_RENDER_RAW_FILE_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

class RawFileTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes bytes to name inside the folder and returns the file's path.
  std::string writeFile(const char* name, const std::vector<unsigned char>& bytes);

  std::string folder;
  std::vector<std::string> written;
};

#endif
