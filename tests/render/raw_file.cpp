// A temporary folder per test, removed with the files written into it.
#include "tests/render/raw_file.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>

void RawFileTest::SetUp() {
  char pattern[] = "/tmp/avifold-texture-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  folder = pattern;
}

void RawFileTest::TearDown() {
  // remove() takes files, FIFOs and empty folders alike.
  for (const std::string& path : written) {
    remove(path.c_str());
  }
  rmdir(folder.c_str());
}

std::string RawFileTest::writeFile(const char* name, const std::vector<unsigned char>& bytes) {
  std::string path = folder + "/" + name;
  FILE* file = fopen(path.c_str(), "wb");
  EXPECT_NE(file, nullptr) << path;
  if (file != nullptr) {
    if (!bytes.empty()) {
      EXPECT_EQ(fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    }
    fclose(file);
  }
  written.push_back(path);
  return path;
}
