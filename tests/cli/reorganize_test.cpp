// canalix-cli reorganize on a real directory: the deleted records gone as an
// independent dBASE reader sees them, the progress on stderr, and the refusal
// while another copy of the program runs.
#include <gtest/gtest.h>

#include <fstream>

#include "cli_run.h"
#include "common/child_process.h"
#include "store/data_dir_lock.h"
#include "store/store_fixture.h"
#include "store/table_engine.h"

namespace canalix {
namespace {

using testing::cli;
using testing::run;

class Reorganize : public store::testing::ScratchDir {
 protected:
  void SetUp() override {
    ScratchDir::SetUp();
    ASSERT_EQ(run(cli("init " + dir.string())).exitCode, 0);
    store::Workspace ws(dir);
    ASSERT_TRUE(ws.DBUSEAREA(true, "CODIGOS.DBF", "CODIGOS", true));
    store::WorkArea& codigos = ws.area("CODIGOS");
    for (const char* code : {"001", "002", "003", "004"}) {
      ASSERT_TRUE(codigos.DBAPPEND());
      codigos.put("Codigo", std::string(code));
      if (code[2] == '2' || code[2] == '3') codigos.DBDELETE();
      codigos.DBRUNLOCK();
    }
  }
};

// Debian's python3-dbfread: live and deleted records of a table, and its codes.
std::string readBack(const std::filesystem::path& dir) {
  std::ofstream(dir / "read.py") << R"PY(
import sys, dbfread
t = dbfread.DBF(sys.argv[1] + '/CODIGOS.DBF', encoding='cp1252')
print(len(list(t)), len(list(t.deleted)), ','.join(r['CODIGO'] for r in t))
)PY";
  const auto r = run("/usr/bin/python3 " + (dir / "read.py").string() + " " + dir.string());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return r.out;
}

TEST_F(Reorganize, RemovesTheDeletedRecordsAndReportsItsProgress) {
  EXPECT_EQ(readBack(dir), "2 2 001,004\n");
  const auto r = run(cli("reorganize " + dir.string()));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(readBack(dir), "2 0 001,004\n");
  EXPECT_NE(r.err.find("  0% Reorganizando SOCIOS\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(" 38% Reorganizando CODIGOS\n"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.substr(r.err.size() - 24), "100% PROCESO FINALIZADO\n");
  const auto check = run(cli("check " + dir.string() + " CODIGOS"));
  EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
}

TEST_F(Reorganize, IsRefusedWhileAnotherCopyRuns) {
  canalix::testing::Child other([this](canalix::testing::Child& self) {
    store::DataDirLock lock(dir);
    if (lock.share() != store::LockResult::kGranted) return 1;
    self.signalParent();
    self.waitParent();
    return 0;
  });
  other.waitChild();
  const auto r = run(cli("reorganize " + dir.string()));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("No es posible reorganizar los archivos: CANALIX está abierto en otro puesto.\n"
                       "No se ha modificado ningún archivo."),
            std::string::npos)
      << r.err;
  EXPECT_EQ(readBack(dir), "2 2 001,004\n");
  other.signalChild();
  EXPECT_EQ(other.wait(), 0);
}

}  // namespace
}  // namespace canalix
