// vestrana-make-icon OUTPUT.ico
//
// Paints the program icon with the same shape code the setup window uses
// for its logo: the #5847F0 tile with corner radius 14/56 of its size, the
// white cross of two rectangles and the white stroked hook, drawn in the
// 56-unit tile (the hook in a 48-unit grid scaled by 56/48). Writes one .ico
// with 32-bit images of 16, 24, 32, 48, 64 and 256 pixels, all stored as PNG:
// Windows reads PNG icon images of every size, and the logo's flat colours
// compress to a fraction of an uncompressed bitmap.

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "paint/pixmap.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kSizes[] = {16, 24, 32, 48, 64, 256};

vestrana::Pixmap paint_logo(int size) {
  using vestrana::Color;
  using vestrana::Transform;
  vestrana::Pixmap pixmap(size, size);
  const vestrana::Canvas canvas{pixmap, static_cast<float>(size) / 56.0f};
  const Color white = Color::rgb(0xFFFFFF);
  canvas.fill_rounded_rect(0, 0, 56, 56, 14, Color::rgb(0x5847F0));
  canvas.fill_rect(70.1667f - 48, 9.3333f, 8.1667f, 23.3333f, white);
  canvas.fill_rect(60.8333f - 48, 21, 30.3333f, 8.1667f, white);
  vestrana::Path hook;
  hook.move_to(22.5f, 27.5f);
  hook.line_to(22.5f, 28);
  hook.cubic_to(22.5f, 32.7f, 26.3f, 36.5f, 31, 36.5f);
  hook.line_to(34, 36.5f);
  canvas.stroke_path(hook, 7, white, Transform::scale(56.0f / 48, 56.0f / 48));
  return pixmap;
}

// Straight RGBA, rows top to bottom.
Bytes unpremultiplied(const vestrana::Pixmap& pixmap) {
  Bytes out(pixmap.data(), pixmap.data() + pixmap.byte_size());
  for (std::size_t i = 0; i < out.size(); i += 4) {
    const unsigned a = out[i + 3];
    for (int c = 0; c < 3; ++c)
      out[i + c] = a == 0 ? 0 : static_cast<std::uint8_t>(std::min(255u, (out[i + c] * 255u + a / 2) / a));
  }
  return out;
}

void put16(Bytes& b, unsigned v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void put32(Bytes& b, std::uint32_t v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
}
void put32_be(Bytes& b, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<std::uint8_t>(v >> shift));
}

void png_chunk(Bytes& png, const char* type, const Bytes& data) {
  put32_be(png, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), data.begin(), data.end());
  const uLong crc = crc32(0, png.data() + start, static_cast<uInt>(png.size() - start));
  put32_be(png, static_cast<std::uint32_t>(crc));
}

bool png_image(const Bytes& rgba, int size, Bytes& png) {
  // Each row starts with filter type 0 (none); deflate copes well with the
  // flat colours of the logo.
  Bytes raw;
  const std::size_t stride = static_cast<std::size_t>(size) * 4;
  for (int y = 0; y < size; ++y) {
    raw.push_back(0);
    raw.insert(raw.end(), rgba.begin() + static_cast<std::ptrdiff_t>(y * stride),
               rgba.begin() + static_cast<std::ptrdiff_t>((y + 1) * stride));
  }
  uLongf packed_size = compressBound(static_cast<uLong>(raw.size()));
  Bytes packed(packed_size);
  if (compress2(packed.data(), &packed_size, raw.data(), static_cast<uLong>(raw.size()), 9) != Z_OK) return false;
  packed.resize(packed_size);

  const std::uint8_t signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  png.assign(std::begin(signature), std::end(signature));
  Bytes header;
  put32_be(header, static_cast<std::uint32_t>(size));
  put32_be(header, static_cast<std::uint32_t>(size));
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, no filter set, no interlace
  png_chunk(png, "IHDR", header);
  png_chunk(png, "IDAT", packed);
  png_chunk(png, "IEND", {});
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vestrana-make-icon OUTPUT.ico\n");
    return 2;
  }
  std::vector<Bytes> images;
  for (int size : kSizes) {
    Bytes png;
    if (!png_image(unpremultiplied(paint_logo(size)), size, png)) {
      std::fprintf(stderr, "vestrana-make-icon: compressing the %d px image failed\n", size);
      return 1;
    }
    images.push_back(std::move(png));
  }

  // ICONDIR, then one 16-byte ICONDIRENTRY per image, then the images.
  Bytes ico;
  put16(ico, 0);
  put16(ico, 1);  // icon
  put16(ico, static_cast<unsigned>(images.size()));
  std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    const int size = kSizes[i];
    ico.push_back(static_cast<std::uint8_t>(size >= 256 ? 0 : size));  // 0 means 256
    ico.push_back(static_cast<std::uint8_t>(size >= 256 ? 0 : size));
    ico.push_back(0);  // no palette
    ico.push_back(0);
    put16(ico, 1);  // planes
    put16(ico, 32);  // bits per pixel
    put32(ico, static_cast<std::uint32_t>(images[i].size()));
    put32(ico, offset);
    offset += static_cast<std::uint32_t>(images[i].size());
  }
  for (const Bytes& image : images) ico.insert(ico.end(), image.begin(), image.end());

  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(ico.data()), static_cast<std::streamsize>(ico.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "vestrana-make-icon: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
