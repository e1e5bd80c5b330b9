#include "formats/html_code.h"

namespace fw {
namespace {

// A double quote typed into a field would otherwise end the attribute early.
std::string Quoted(const std::string& value) {
  std::string out = "\"";
  for (char c : value) {
    if (c == '"') out += "&quot;";
    else out += c;
  }
  return out + "\"";
}

}  // namespace

std::string HtmlImageCode(const HtmlCodeFields& fields, int width, int height) {
  if (fields.fileName.empty()) return {};
  std::string code;
  if (!fields.link.empty()) code += "<a href=" + Quoted(fields.link) + ">";
  code += "<img src=" + Quoted(fields.fileName);
  code += " width=" + std::to_string(width) + " height=" + std::to_string(height);
  code += " border=" + std::to_string(fields.border);
  if (!fields.description.empty()) code += " alt=" + Quoted(fields.description);
  code += ">";
  if (!fields.link.empty()) code += "</a>";
  return code;
}

std::string HtmlFileNameOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace fw
