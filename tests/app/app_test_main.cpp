// Runs one registered window test: `app_tests <file stem> [Qt Test arguments]`.
#include <QApplication>
#include <QTest>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "app_test_registry.h"

namespace fw::test {
namespace {

std::map<std::string, AppTestFactory>& Registry() {
  static std::map<std::string, AppTestFactory> tests;
  return tests;
}

std::string StemOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

int ListTests() {
  std::fprintf(stderr, "usage: app_tests <test> [Qt Test arguments]; tests:\n");
  for (const auto& [name, make] : Registry()) std::fprintf(stderr, "  %s\n", name.c_str());
  return 2;
}

}  // namespace

bool RegisterAppTest(const char* file, AppTestFactory make) {
  Registry()[StemOf(file)] = make;
  return true;
}

}  // namespace fw::test

int main(int argc, char** argv) {
  // As QTEST_MAIN sets up a widgets test.
  QApplication app(argc, argv);
  app.setAttribute(Qt::AA_Use96Dpi, true);
  if (argc < 2) return fw::test::ListTests();
  const auto found = fw::test::Registry().find(argv[1]);
  if (found == fw::test::Registry().end()) return fw::test::ListTests();
  std::unique_ptr<QObject> test = found->second();
  std::vector<char*> args{argv[0]};
  args.insert(args.end(), argv + 2, argv + argc);
  return QTest::qExec(test.get(), static_cast<int>(args.size()), args.data());
}
