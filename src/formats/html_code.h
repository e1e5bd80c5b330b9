#pragma once
// The HTML tag that embeds a saved animation in a web page.
#include <string>

namespace fw {

struct HtmlCodeFields {
  std::string fileName;
  std::string link;         // empty: no surrounding link
  int border = 0;           // pixels
  std::string description;  // empty: no alt attribute
};

inline constexpr int kMaxHtmlBorder = 100;

// The img tag (wrapped in an a tag when there is a link) for a width x height animation;
// empty when there is no file name to point at.
std::string HtmlImageCode(const HtmlCodeFields& fields, int width, int height);

// The last component of a path, after either kind of separator.
std::string HtmlFileNameOf(const std::string& path);

}  // namespace fw
