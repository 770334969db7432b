#include <gtest/gtest.h>

#include <string>

#include "platform/DiagnosticLog.h"
#include "platform/MessageBox.h"
#include "platform/Text.h"

namespace vaultline::platform {
namespace {

TEST(DiagnosticLog, GoesToTheSinkOrAsUtf8ToStandardError) {
  std::wstring captured;
  SetDiagnosticSink([&captured](std::wstring_view text) { captured.append(text); });
  WriteDiagnostic(L"\nProblem reading directory");
  SetDiagnosticSink(nullptr);
  EXPECT_EQ(captured, L"\nProblem reading directory");

  ::testing::internal::CaptureStderr();
  WriteDiagnostic(L"\n\u00e9 " + DecodeName("\xFF"));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "\n\xC3\xA9 \xEF\xBF\xBD");
}

std::wstring shown;
void RecordMessageBox(const std::wstring& caption, const std::wstring& text) {
  shown = caption + L"|" + text;
}

TEST(MessageBox, HandlerIsReplaceable) {
  SetMessageBoxHandler(RecordMessageBox);
  ShowWarningMessageBox(L"Marrowby", L"Drive is full");
  EXPECT_EQ(shown, L"Marrowby|Drive is full");
  SetMessageBoxHandler(nullptr);
  ::testing::internal::CaptureStderr();
  ShowWarningMessageBox(L"Marrowby", L"again");
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("again"), std::string::npos);
  EXPECT_EQ(shown, L"Marrowby|Drive is full");
}

}  // namespace
}  // namespace vaultline::platform
