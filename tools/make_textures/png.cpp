// A PNG made of stored (uncompressed) deflate blocks, which every PNG reader accepts and which
// needs no compression library.
#include "tools/make_textures/png.h"

#include <algorithm>
#include <cstdint>

// The CRC-32 that PNG puts after every chunk, over bytes [from, end) of `bytes`.
static uint32_t pngCrc(const std::vector<unsigned char>& bytes, size_t from) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = from; i < bytes.size(); ++i) {
    crc ^= bytes[i];
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 1u) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
  }
  return crc ^ 0xFFFFFFFFu;
}

static void appendBigEndian(std::vector<unsigned char>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    out.push_back(static_cast<unsigned char>(value >> shift));
  }
}

static void appendChunk(std::vector<unsigned char>& out, const char* type,
                        const std::vector<unsigned char>& data) {
  appendBigEndian(out, static_cast<uint32_t>(data.size()));
  size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  appendBigEndian(out, pngCrc(out, start));
}

// A zlib stream that stores `raw` in deflate blocks of at most 65535 bytes, without compressing.
static std::vector<unsigned char> zlibStored(const std::vector<unsigned char>& raw) {
  const size_t blockLimit = 65535;
  std::vector<unsigned char> out = {0x78, 0x01};
  size_t at = 0;
  do {
    size_t length = std::min(blockLimit, raw.size() - at);
    bool last = at + length == raw.size();
    out.push_back(last ? 1 : 0);
    out.push_back(static_cast<unsigned char>(length & 0xFF));
    out.push_back(static_cast<unsigned char>(length >> 8));
    out.push_back(static_cast<unsigned char>(~length & 0xFF));
    out.push_back(static_cast<unsigned char>((~length >> 8) & 0xFF));
    out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
               raw.begin() + static_cast<std::ptrdiff_t>(at + length));
    at += length;
  } while (at < raw.size());
  uint32_t a = 1;
  uint32_t b = 0;
  for (unsigned char byte : raw) {
    a = (a + byte) % 65521u;
    b = (b + a) % 65521u;
  }
  appendBigEndian(out, (b << 16) | a);
  return out;
}

std::vector<unsigned char> encodePng(const std::vector<unsigned char>& rgba, int width,
                                     int height) {
  // Every scanline starts with filter type 0: the bytes are stored as they are.
  std::vector<unsigned char> raw;
  size_t rowBytes = static_cast<size_t>(width) * 4;
  for (int row = 0; row < height; ++row) {
    raw.push_back(0);
    auto start = rgba.begin() + static_cast<std::ptrdiff_t>(row * rowBytes);
    raw.insert(raw.end(), start, start + static_cast<std::ptrdiff_t>(rowBytes));
  }
  std::vector<unsigned char> header;
  appendBigEndian(header, static_cast<uint32_t>(width));
  appendBigEndian(header, static_cast<uint32_t>(height));
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits a channel, RGBA, no interlace

  std::vector<unsigned char> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  appendChunk(png, "IHDR", header);
  appendChunk(png, "IDAT", zlibStored(raw));
  appendChunk(png, "IEND", {});
  return png;
}
