// The general error handler's report: shown through the port, kept in the log.
#include "shell/error_report.h"

#include <gtest/gtest.h>

#include "shell_fixture.h"
#include "store/engine_error.h"
#include "ui/scripted_port.h"

namespace canalix::shell {
namespace {

class ErrorReportTest : public testing::DataDir {};

TEST_F(ErrorReportTest, AnEngineErrorIsShownWithItsCodesOperationFileAndDetailAndLogged) {
  ui::ScriptedPort port;
  const auto error = std::make_exception_ptr(store::EngineError(store::err::kCorrupt, store::err::kCorruptSub,
                                                                "DBUSEAREA", "SOCIOS.DBF", "cabecera corta"));
  EXPECT_EQ(reportFatalError(port, dir, error), kErrorExitCode);
  EXPECT_NE(kErrorExitCode, 0);
  ASSERT_EQ(port.calls().size(), 1u);
  const ui::PortCall& box = port.calls()[0];
  EXPECT_EQ(box.kind, ui::CallKind::kStop);
  EXPECT_EQ(box.title, "Error de CANALIX");
  const std::string report =
      "Descripción: Corrupción detectada\r\nCódigos: 32/1012\r\nOperación: DBUSEAREA\r\n"
      "Fichero: SOCIOS.DBF\r\nDetalle: cabecera corta";
  EXPECT_NE(box.text.find(report), std::string::npos) << box.text;
  EXPECT_NE(box.text.find((dir / "CANALIX.LOG").string()), std::string::npos);

  const std::string log = bytes("CANALIX.LOG");
  EXPECT_NE(log.find("Códigos: 32/1012\nOperación: DBUSEAREA\nFichero: SOCIOS.DBF\n"), std::string::npos)
      << log;
  EXPECT_NE(log.find("CANALIX - 4.4c"), std::string::npos);

  // A second error is appended, the first kept.
  reportFatalError(port, dir, std::make_exception_ptr(std::runtime_error("otro")));
  const std::string both = bytes("CANALIX.LOG");
  EXPECT_EQ(both.substr(0, log.size()), log);
  EXPECT_NE(both.find("Descripción: Error interno\nDetalle: otro"), std::string::npos);
}

TEST_F(ErrorReportTest, ALogThatCannotBeWrittenIsSaidInTheBox) {
  ui::ScriptedPort port;
  reportFatalError(port, dir / "no-existe", std::make_exception_ptr(std::logic_error("x")));
  ASSERT_EQ(port.calls().size(), 1u);
  EXPECT_NE(port.calls()[0].text.find("No se ha podido anotar el error"), std::string::npos);
}

TEST(DescribeError, EveryKindOfErrorHasADescription) {
  EXPECT_EQ(describeError(std::make_exception_ptr(store::EngineError(21, 1001, "ABREFI", "A.DBF"))).text(),
            "Descripción: Error de apertura\r\nCódigos: 21/1001\r\nOperación: ABREFI\r\nFichero: A.DBF");
  EXPECT_EQ(describeError(std::make_exception_ptr(42)).text(),
            "Descripción: Error interno\r\nDetalle: excepción desconocida");
}

}  // namespace
}  // namespace canalix::shell
