// Quantisation quality and speed against libimagequant and ImageMagick, in one run.
//
// For three generated true-colour pictures (a photograph-like gradient with noise, a rendered
// scene, a screenshot with text and flat areas) and 256, 64 and 16 colours, every contender
// reduces the picture and we report PSNR against the original and the time taken. Then a
// 1920 x 1080 frame is dithered onto a 256-colour palette to measure megapixels per second.
//
// ImageMagick runs as /usr/bin/convert on PPM files; its times include starting the process
// and the file round trip, so they are an upper bound on its own work.
//
// Usage: colour_bench [--speed] [scratch directory]   (--speed: only the remapping table)
#include <libimagequant.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "core/indexed_image.h"
#include "imaging/ditherer.h"
#include "imaging/inverse_map.h"
#include "imaging/octree.h"
#include "imaging/refined_palette.h"

namespace {

using fw::Rgb;

struct Picture {
  std::string name;
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;  // packed red, green, blue

  uint8_t* at(int x, int y) { return rgb.data() + (size_t(y) * width + x) * 3; }
};

uint8_t Clamp(double v) { return static_cast<uint8_t>(std::clamp(v, 0.0, 255.0) + 0.5); }

Picture Photographic(int w, int h) {
  Picture p{"photographic", w, h, std::vector<uint8_t>(size_t(w) * h * 3)};
  std::mt19937 rng(1);
  std::normal_distribution<double> noise(0.0, 6.0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double u = double(x) / w, v = double(y) / h;
      // Sky-like vertical gradient, a warm diagonal band and soft blobs, plus sensor noise.
      double r = 40 + 160 * v + 50 * std::sin(6.0 * u + 2.0 * v);
      double g = 90 + 100 * (1 - v) * u + 30 * std::cos(9.0 * v);
      double b = 200 - 120 * v + 40 * std::sin(4.0 * (u + v));
      const double blob = std::exp(-((u - 0.3) * (u - 0.3) + (v - 0.6) * (v - 0.6)) * 30);
      r += 70 * blob;
      g += 30 * blob;
      uint8_t* px = p.at(x, y);
      px[0] = Clamp(r + noise(rng));
      px[1] = Clamp(g + noise(rng));
      px[2] = Clamp(b + noise(rng));
    }
  return p;
}

Picture RenderedScene(int w, int h) {
  Picture p{"rendered scene", w, h, std::vector<uint8_t>(size_t(w) * h * 3)};
  struct Sphere {
    double x, y, z, radius, r, g, b;
  };
  const Sphere spheres[] = {{-1.2, 0.0, 5.0, 1.0, 0.9, 0.2, 0.2},
                            {1.1, -0.2, 4.2, 0.8, 0.2, 0.7, 0.3},
                            {0.0, -0.6, 3.2, 0.4, 0.3, 0.4, 0.95}};
  const double lx = -0.5, ly = 0.8, lz = -0.4;
  const double ln = std::sqrt(lx * lx + ly * ly + lz * lz);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double dx = (x - w / 2.0) / (h / 2.0), dy = -(y - h / 2.0) / (h / 2.0), dz = 1.6;
      const double dn = std::sqrt(dx * dx + dy * dy + dz * dz);
      const double rx = dx / dn, ry = dy / dn, rz = dz / dn;
      double best = 1e9, cr = 0, cg = 0, cb = 0;
      // Sky gradient and a checkered floor at y = -1.
      cr = 0.5 + 0.3 * ry;
      cg = 0.7 + 0.2 * ry;
      cb = 0.95;
      if (ry < 0) {
        const double t = -1.0 / ry;
        const double fx = rx * t, fz = rz * t;
        const bool check = (int(std::floor(fx)) + int(std::floor(fz))) & 1;
        const double fade = std::exp(-t * 0.08);
        const double base = check ? 0.85 : 0.25;
        cr = cg = cb = base * fade + 0.6 * (1 - fade);
        best = t;
      }
      for (const Sphere& s : spheres) {
        const double ox = -s.x, oy = -s.y, oz = -s.z;
        const double bq = ox * rx + oy * ry + oz * rz;
        const double c = ox * ox + oy * oy + oz * oz - s.radius * s.radius;
        const double disc = bq * bq - c;
        if (disc < 0) continue;
        const double t = -bq - std::sqrt(disc);
        if (t <= 0 || t >= best) continue;
        best = t;
        const double nx = (rx * t - s.x) / s.radius, ny = (ry * t - s.y) / s.radius, nz = (rz * t - s.z) / s.radius;
        const double diffuse = std::max(0.0, (nx * lx + ny * ly + nz * lz) / ln);
        // Blinn highlight toward the viewer.
        const double hx = lx / ln - rx, hy = ly / ln - ry, hz = lz / ln - rz;
        const double hn = std::sqrt(hx * hx + hy * hy + hz * hz);
        const double highlight = std::pow(std::max(0.0, (nx * hx + ny * hy + nz * hz) / hn), 40);
        const double light = 0.15 + 0.85 * diffuse;
        cr = s.r * light + highlight;
        cg = s.g * light + highlight;
        cb = s.b * light + highlight;
      }
      uint8_t* px = p.at(x, y);
      px[0] = Clamp(cr * 255);
      px[1] = Clamp(cg * 255);
      px[2] = Clamp(cb * 255);
    }
  return p;
}

Picture Screenshot(int w, int h) {
  Picture p{"screenshot", w, h, std::vector<uint8_t>(size_t(w) * h * 3)};
  auto fill = [&](int x0, int y0, int x1, int y1, Rgb c) {
    for (int y = std::max(0, y0); y < std::min(h, y1); ++y)
      for (int x = std::max(0, x0); x < std::min(w, x1); ++x) {
        uint8_t* px = p.at(x, y);
        px[0] = c.r;
        px[1] = c.g;
        px[2] = c.b;
      }
  };
  fill(0, 0, w, h, {236, 236, 236});
  // Title bar with a gradient, a side panel, a window with text lines, buttons and an icon.
  for (int y = 0; y < 28; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* px = p.at(x, y);
      px[0] = uint8_t(30 + 40 * x / w);
      px[1] = uint8_t(80 + 60 * x / w);
      px[2] = uint8_t(160 + 80 * x / w - y);
    }
  fill(0, 28, 160, h, {52, 56, 64});
  fill(180, 50, w - 20, h - 60, {255, 255, 255});
  fill(180, 50, w - 20, 52, {180, 180, 190});
  std::mt19937 rng(4);
  std::uniform_int_distribution<int> glyph(0, 31), len(20, 60);
  const Rgb textColours[] = {{20, 20, 20}, {0, 90, 200}, {200, 40, 40}};
  for (int line = 0; line < (h - 130) / 16; ++line) {
    const Rgb ink = textColours[line % 7 == 3 ? 1 : line % 11 == 5 ? 2 : 0];
    int x = 196;
    const int words = len(rng);
    for (int k = 0; k < words && x < w - 40; ++k) {
      // 5 x 7 glyph cells from random bit patterns, with anti-aliased edges toward white.
      const int bits = glyph(rng) | glyph(rng) << 5 | glyph(rng) << 10 | glyph(rng) << 15 | glyph(rng) << 20;
      for (int gy = 0; gy < 7; ++gy)
        for (int gx = 0; gx < 5; ++gx) {
          if (!((bits >> ((gy * 5 + gx) % 25)) & 1)) continue;
          const int px = x + gx, py = 66 + line * 16 + gy;
          if (px >= w || py >= h) continue;
          uint8_t* c = p.at(px, py);
          c[0] = ink.r;
          c[1] = ink.g;
          c[2] = ink.b;
          if (px + 1 < w) {
            uint8_t* e = p.at(px + 1, py);
            e[0] = uint8_t((e[0] + ink.r) / 2);
            e[1] = uint8_t((e[1] + ink.g) / 2);
            e[2] = uint8_t((e[2] + ink.b) / 2);
          }
        }
      x += (k % 6 == 5) ? 12 : 7;
    }
  }
  for (int b = 0; b < 3; ++b) fill(w - 300 + b * 90, h - 48, w - 220 + b * 90, h - 22, {uint8_t(70 + b * 60), 120, uint8_t(200 - b * 50)});
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 48; ++x) {
      uint8_t* c = p.at(40 + x, 60 + y);
      c[0] = uint8_t(255 - 4 * y);
      c[1] = uint8_t(128 + 2 * x);
      c[2] = uint8_t(40 + 3 * (x ^ y));
    }
  for (int i = 0; i < 8; ++i) fill(16, 140 + i * 30, 144, 160 + i * 30, i == 2 ? Rgb{90, 100, 120} : Rgb{60, 64, 72});
  return p;
}

double Psnr(const Picture& a, const std::vector<uint8_t>& b) {
  double sum = 0;
  for (size_t i = 0; i < a.rgb.size(); ++i) {
    const double d = double(a.rgb[i]) - b[i];
    sum += d * d;
  }
  const double mse = sum / double(a.rgb.size());
  return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

double Seconds(const std::function<void()>& f, int repeats = 3) {
  double best = 1e9;
  for (int i = 0; i < repeats; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    const auto t1 = std::chrono::steady_clock::now();
    best = std::min(best, std::chrono::duration<double>(t1 - t0).count());
  }
  return best;
}

// Blue, green, red rows with four-byte strides, as our frames hold them.
std::vector<uint8_t> ToFrameRows(const Picture& p) {
  std::vector<uint8_t> rows(fw::Stride24(p.width) * size_t(p.height));
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) {
      const uint8_t* s = p.rgb.data() + (size_t(y) * p.width + x) * 3;
      uint8_t* d = rows.data() + y * fw::Stride24(p.width) + 3 * size_t(x);
      d[0] = s[2];
      d[1] = s[1];
      d[2] = s[0];
    }
  return rows;
}

std::vector<uint8_t> Expand(const Picture& p, const std::vector<uint8_t>& indices, size_t stride, const Rgb* palette) {
  std::vector<uint8_t> out(size_t(p.width) * p.height * 3);
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) {
      const Rgb c = palette[indices[y * stride + x]];
      uint8_t* d = out.data() + (size_t(y) * p.width + x) * 3;
      d[0] = c.r;
      d[1] = c.g;
      d[2] = c.b;
    }
  return out;
}

struct Outcome {
  double psnr = 0, seconds = 0;
};

// Our adaptive path: the pixel octree builds the palette and maps undithered pixels.
struct OctreeQuantiser {
  static constexpr bool kExactDithering = false;
  fw::Octree tree;
  explicit OctreeQuantiser(int colours) : tree(colours) {}
  int build(const Picture& p, const std::vector<uint8_t>& rows, int colours, Rgb* palette) {
    tree.addTrueColour(p.width, p.height, rows.data(), fw::Stride24(p.width));
    return tree.makeEntries(colours, false, palette);
  }
  void map(const Picture& p, const std::vector<uint8_t>& rows, const Rgb*, int, uint8_t* indices, size_t stride) {
    tree.mapTrueColour(p.width, p.height, rows.data(), fw::Stride24(p.width), nullptr, 0, 0, indices, stride);
  }
};

// The refined builder: exact-colour histogram, least-error splits, k-means; undithered pixels
// go to their exact nearest entry.
struct RefinedQuantiser {
  static constexpr bool kExactDithering = true;
  explicit RefinedQuantiser(int) {}
  int build(const Picture& p, const std::vector<uint8_t>& rows, int colours, Rgb* palette) {
    fw::ColourHistogram histogram;
    histogram.addTrueColour(p.width, p.height, rows.data(), fw::Stride24(p.width));
    return fw::BuildRefinedPalette(histogram, colours, palette);
  }
  void map(const Picture& p, const std::vector<uint8_t>&, const Rgb* palette, int n, uint8_t* indices, size_t stride) {
    fw::NearestColourCache nearest(palette, n);
    for (int y = 0; y < p.height; ++y)
      for (int x = 0; x < p.width; ++x) {
        const uint8_t* s = p.rgb.data() + (size_t(y) * p.width + x) * 3;
        indices[y * stride + x] = nearest.lookup(Rgb{s[0], s[1], s[2]});
      }
  }
};

// Builds the palette and brings the picture onto it: dithered through our ditherer (onto exact
// nearest entries for the refined builder, through the inverse map for the octree), undithered
// the quantiser's own way.
template <typename Quantiser>
Outcome Ours(const Picture& p, int colours, bool dither) {
  const std::vector<uint8_t> rows = ToFrameRows(p);
  const size_t stride = fw::Stride8(p.width);
  std::vector<uint8_t> indices(stride * p.height);
  Rgb palette[256] = {};
  Outcome o;
  o.seconds = Seconds([&] {
    Quantiser q(colours);
    const int n = q.build(p, rows, colours, palette);
    if (dither) {
      fw::PrepareDithering(palette, n, p.width, Quantiser::kExactDithering);
      fw::ConvertTrueColourRows(indices.data(), stride, rows.data(), fw::Stride24(p.width), nullptr, 0, p.width,
                                p.height, true, 0);
    } else {
      q.map(p, rows, palette, n, indices.data(), stride);
    }
  });
  o.psnr = Psnr(p, Expand(p, indices, stride, palette));
  return o;
}

std::vector<uint8_t> ToRgba(const Picture& p) {
  std::vector<uint8_t> rgba(size_t(p.width) * p.height * 4);
  for (size_t i = 0; i < size_t(p.width) * p.height; ++i) {
    rgba[4 * i] = p.rgb[3 * i];
    rgba[4 * i + 1] = p.rgb[3 * i + 1];
    rgba[4 * i + 2] = p.rgb[3 * i + 2];
    rgba[4 * i + 3] = 255;
  }
  return rgba;
}

Outcome Liq(const Picture& p, int colours, bool dither) {
  const std::vector<uint8_t> rgba = ToRgba(p);
  std::vector<uint8_t> indices(size_t(p.width) * p.height);
  Rgb palette[256] = {};
  Outcome o;
  o.seconds = Seconds([&] {
    liq_attr* attr = liq_attr_create();
    liq_set_max_colors(attr, colours);
    liq_image* image = liq_image_create_rgba(attr, rgba.data(), p.width, p.height, 0);
    liq_result* result = nullptr;
    if (liq_image_quantize(image, attr, &result) == LIQ_OK) {
      liq_set_dithering_level(result, dither ? 1.0f : 0.0f);
      liq_write_remapped_image(result, image, indices.data(), indices.size());
      const liq_palette* pal = liq_get_palette(result);
      for (unsigned i = 0; i < pal->count; ++i) palette[i] = {pal->entries[i].r, pal->entries[i].g, pal->entries[i].b};
      liq_result_destroy(result);
    }
    liq_image_destroy(image);
    liq_attr_destroy(attr);
  });
  o.psnr = Psnr(p, Expand(p, indices, size_t(p.width), palette));
  return o;
}

void WritePpm(const std::string& path, const Picture& p) {
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << p.width << " " << p.height << "\n255\n";
  out.write(reinterpret_cast<const char*>(p.rgb.data()), std::streamsize(p.rgb.size()));
}

bool ReadPpm(const std::string& path, std::vector<uint8_t>& rgb, size_t expected) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int w, h, max;
  in >> magic >> w >> h >> max;
  in.get();
  if (magic != "P6" || max != 255) return false;
  rgb.resize(size_t(w) * h * 3);
  in.read(reinterpret_cast<char*>(rgb.data()), std::streamsize(rgb.size()));
  return rgb.size() == expected && in.gcount() == std::streamsize(expected);
}

Outcome Magick(const Picture& p, int colours, bool dither, const std::string& dir) {
  const std::string in = dir + "/in.ppm", out = dir + "/out.ppm";
  WritePpm(in, p);
  const std::string command = "/usr/bin/convert " + in + (dither ? " -dither FloydSteinberg" : " +dither") +
                              " -colors " + std::to_string(colours) + " " + out + " 2>/dev/null";
  Outcome o;
  bool ok = true;
  o.seconds = Seconds([&] { ok = ok && std::system(command.c_str()) == 0; }, 2);
  std::vector<uint8_t> rgb;
  if (!ok || !ReadPpm(out, rgb, p.rgb.size())) return {-1, -1};
  o.psnr = Psnr(p, rgb);
  return o;
}

void QualityTable(const std::string& dir) {
  std::printf("## Quantisation quality (PSNR dB, higher is better) and time (ms)\n\n");
  std::printf("| image | colours | ours octree | ours octree + dither | ours refined | ours refined + dither | "
              "libimagequant | libimagequant + dither | IM +dither | IM FloydSteinberg |\n"
              "|---|---|---|---|---|---|---|---|---|---|\n");
  const Picture pictures[] = {Photographic(640, 480), RenderedScene(640, 480), Screenshot(640, 480)};
  for (const Picture& p : pictures)
    for (int colours : {256, 64, 16}) {
      const Outcome results[] = {Ours<OctreeQuantiser>(p, colours, false), Ours<OctreeQuantiser>(p, colours, true),
                                 Ours<RefinedQuantiser>(p, colours, false), Ours<RefinedQuantiser>(p, colours, true),
                                 Liq(p, colours, false),
                                 Liq(p, colours, true), Magick(p, colours, false, dir), Magick(p, colours, true, dir)};
      std::printf("| %s | %d |", p.name.c_str(), colours);
      for (const Outcome& o : results)
        if (o.seconds < 0)
          std::printf(" n/a |");
        else
          std::printf(" %.2f / %.1f |", o.psnr, o.seconds * 1000);
      std::printf("\n");
      std::fflush(stdout);
    }
}

void SpeedTable() {
  const Picture p = Photographic(1920, 1080);
  const double megapixels = 1920.0 * 1080.0 / 1e6;
  const std::vector<uint8_t> rows = ToFrameRows(p);
  const size_t stride = fw::Stride8(p.width);
  std::vector<uint8_t> indices(stride * p.height);

  fw::Octree tree(256);
  tree.addTrueColour(p.width, p.height, rows.data(), fw::Stride24(p.width));
  Rgb palette[256];
  const int n = tree.makeEntries(256, false, palette);
  const double build = Seconds([&] {
    fw::SharedInverseMap().invalidate();
    fw::PrepareDithering(palette, n, p.width);
  });
  fw::PrepareDithering(palette, n, p.width);
  const double dither = Seconds(
      [&] {
        fw::ConvertTrueColourRows(indices.data(), stride, rows.data(), fw::Stride24(p.width), nullptr, 0, p.width,
                                  p.height, true, 0);
      },
      5);
  const double plain = Seconds(
      [&] {
        fw::ConvertTrueColourRows(indices.data(), stride, rows.data(), fw::Stride24(p.width), nullptr, 0, p.width,
                                  p.height, false, 0);
      },
      5);

  const std::vector<uint8_t> rgba = ToRgba(p);
  std::vector<uint8_t> liqOut(size_t(p.width) * p.height);
  liq_attr* attr = liq_attr_create();
  liq_set_max_colors(attr, 256);
  liq_image* image = liq_image_create_rgba(attr, rgba.data(), p.width, p.height, 0);
  liq_result* result = nullptr;
  double liqDither = -1, liqPlain = -1;
  if (liq_image_quantize(image, attr, &result) == LIQ_OK) {
    liq_set_dithering_level(result, 1.0f);
    liqDither = Seconds([&] { liq_write_remapped_image(result, image, liqOut.data(), liqOut.size()); }, 5);
    liq_set_dithering_level(result, 0.0f);
    liqPlain = Seconds([&] { liq_write_remapped_image(result, image, liqOut.data(), liqOut.size()); }, 5);
    liq_result_destroy(result);
  }
  liq_image_destroy(image);
  liq_attr_destroy(attr);

  std::printf("\n## Remapping a 1920 x 1080 true-colour frame onto 256 colours (megapixels per second)\n\n");
  std::printf("| contender | ms | MP/s |\n|---|---|---|\n");
  std::printf("| ours, dithered (inverse map) | %.1f | %.1f |\n", dither * 1000, megapixels / dither);
  std::printf("| ours, plain inverse-map lookup | %.1f | %.1f |\n", plain * 1000, megapixels / plain);
  std::printf("| libimagequant remap, dithered | %.1f | %.1f |\n", liqDither * 1000, megapixels / liqDither);
  std::printf("| libimagequant remap, no dither | %.1f | %.1f |\n", liqPlain * 1000, megapixels / liqPlain);
  std::printf("\nBuilding our inverse map for a new 256-colour palette: %.1f ms (once per palette).\n", build * 1000);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "--speed") {
    SpeedTable();
    return 0;
  }
  std::string dir;
  if (argc > 1) {
    dir = argv[1];
  } else {
    char pattern[] = "/tmp/fw-colour-bench-XXXXXX";
    if (!::mkdtemp(pattern)) return 1;
    dir = pattern;
  }
  QualityTable(dir);
  SpeedTable();
  if (argc <= 1) std::filesystem::remove_all(dir);
  return 0;
}
