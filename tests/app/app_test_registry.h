#pragma once
// The window tests share one program (each test program would otherwise carry its own copy
// of the whole editor). A file registers its test class under its own name, and ctest runs
// the program once per file with that name.
#include <QObject>
#include <memory>

namespace fw::test {

using AppTestFactory = std::unique_ptr<QObject> (*)();

// Registers under the stem of `file` ("editor_test" for ".../editor_test.cpp"). Returns true,
// so that a registration can initialise a constant at namespace scope.
bool RegisterAppTest(const char* file, AppTestFactory make);

}  // namespace fw::test

#define FW_APP_TEST(TestClass)                                                              \
  namespace {                                                                              \
  [[maybe_unused]] const bool registered_app_test = ::fw::test::RegisterAppTest(            \
      __FILE__, []() -> std::unique_ptr<QObject> { return std::make_unique<TestClass>(); }); \
  }
