// Draws the sample animations into the folder named on the command line.
#include <cstdio>
#include <filesystem>
#include <string>

#include "gif/gif_writer.h"
#include "samples/sample_drawings.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_samples OUTPUT_DIRECTORY\n");
    return 2;
  }
  const std::string dir = argv[1];
  std::filesystem::create_directories(dir);
  struct Sample {
    const char* name;
    fw::AnimPtr (*draw)();
  };
  const Sample samples[] = {{"bouncing-ball.gif", fw::samples::BouncingBall},
                            {"spinner.gif", fw::samples::Spinner},
                            {"interlaced.gif", fw::samples::InterlacedPicture},
                            {"comment.gif", fw::samples::CommentedAnimation}};
  for (const Sample& s : samples) {
    fw::AnimPtr doc = s.draw();
    const std::string path = dir + "/" + s.name;
    if (fw::WriteGifFile(path, *doc, nullptr) != 1) {
      std::fprintf(stderr, "make_samples: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
