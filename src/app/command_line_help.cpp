#include "app/command_line_help.h"

#include <cstdio>

namespace fw {

std::string CommandLineUsage() {
  return R"(Usage: framewright [FILE]
       framewright -i FILES... [-l LIST] [-t DELAY] [-z] [-s SIZE] [-o OUTPUT] ...

Without arguments, or with one file, the editor window opens. A first argument beginning with
"-" runs the batch mode: the flags act left to right on one current animation.

  -i FILES...   load every matching file (wildcards * and ? allowed), in case-insensitive
                name order, and append their frames
  -l LIST       load every file named in LIST, one path per line
  -t DELAY      set every frame's delay, in hundredths of a second (a plain number)
  -z            optimize the animation for file size without changing what it shows
  -s SIZE       replace the animation by its best-looking version that fits SIZE bytes as
                GIF (K = 1024 bytes, M = 1024 K: 500K, 1.5M); tries the lossless optimizer,
                fewer colours, dropped frames and smaller pictures, each really encoded; put
                it before -o. When nothing fits the run stops with status 1, nothing written
  -o OUTPUT     write the animation; the type comes from the name's last three letters:
                gif, avi, swf, bmp, jpg, psd, png (animated PNG for several frames), cur,
                ico, ani; any other ending writes GIF
  -h, --help    print this text
  --version     print the version

A value may follow its flag or be attached to it (-t5). Output is written to a temporary file
beside the target and moved over it only when complete.

Exit status: 0 when every flag succeeded, 1 when any flag reported a problem, 2 for a
malformed command line.

Examples:
  framewright -i 'frames/*.gif' -t 5 -o walk.gif
  framewright -l order.txt -i extra1.gif extra2.gif -t 10 -o slow.gif -t 4 -o fast.gif
  framewright -i in.gif -z -o small.gif -o small.png
  framewright -i recording.gif -s 500K -o upload.gif
)";
}

std::string VersionText() { return "Framewright " FW_VERSION "\n"; }

int AnswerInformationFlag(const std::string& firstArgument) {
  std::string text;
  if (firstArgument == "-h" || firstArgument == "--help") text = CommandLineUsage();
  else if (firstArgument == "--version") text = VersionText();
  else return -1;
  std::fputs(text.c_str(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace fw
