// The member record's operations over a real data directory: numbering of new
// members (inactive and filtered-out members included, two copies at once),
// names and form of address, the votes bands, values that do not fit their
// fields, the photograph's path, and PONVOTOSATODOS with a record held by
// another copy.
#include "members/member_record.h"

#include <gtest/gtest.h>

#include <set>

#include "common/child_process.h"
#include "member_fixture.h"
#include "output/number_format.h"
#include "output/text_format.h"
#include "store/retry_locks.h"

namespace canalix::members {
namespace {

const store::Sleeper kNoWait = [](std::chrono::milliseconds) {};

class MemberRecordTest : public testing::MembersDir {
 protected:
  // A new member named by `ape1` saved as the dialog saves it; its number.
  std::string saveNew(const std::string& ape1, ui::UiPort& ui) {
    MemberForm f = newMemberForm(*ws);
    f.sexo = "H";
    f.ape1 = ape1;
    EXPECT_TRUE(saveMember(ui, *ws, f, true, kNoWait));
    return f.numSocio;
  }
};

TEST_F(MemberRecordTest, FirstMemberOfAnEmptyTableIsNumberOne) {
  EXPECT_EQ(saveNew("PEREZ", port), "   1");
  EXPECT_EQ(reader("SOCIOS").column("NumSocio"), std::vector<std::string>{"   1"});
}

TEST_F(MemberRecordTest, InactiveMembersHiddenByTheBrowserStillCountForTheNumber) {
  for (int n = 1; n <= 7; ++n) addMember(output::STR(n, 4), "SOCIO " + std::to_string(n), n == 7);
  // A deleted member with a higher number does not count.
  addMember("  20", "BORRADO", false, [](store::WorkArea& s) { s.DBDELETE(); });
  store::WorkArea& socios = ws->area("SOCIOS");
  socios.DBSETFILTER([](store::WorkArea& s) { return !s.getLogical("Inactivo"); }, "!SOCIOS->Inactivo");
  socios.DBSETORDER(2);
  socios.DBGOTOP();
  EXPECT_EQ(saveNew("NUEVO", port), "   8");
  EXPECT_EQ(socios.filterText(), "!SOCIOS->Inactivo") << "the browser's filter stays";
  EXPECT_EQ(socios.INDEXORD(), 2);
}

TEST_F(MemberRecordTest, NamesAndFormOfAddressAreDerivedOnSaving) {
  struct Case {
    const char* sexo;
    const char* tratami;  // UTF-8
    const char* nombre;
    const char* ape1;
    const char* razon;
  } cases[] = {
      // A company keeps no surnames even when they were typed before the sex changed.
      {"E", "         ", "AGRICOLA DEL SUR SL", "               ", "AGRICOLA DEL SUR SL"},
      {"H", "Sr. Don  ", "PEREZ GARCIA JUAN", "PEREZ", ""},
      {"M", "Sra. Doña", "PEREZ GARCIA JUAN", "PEREZ", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sexo);
    MemberForm f = newMemberForm(*ws);
    f.sexo = c.sexo;
    f.ape1 = "PEREZ";
    f.ape2 = "  GARCIA ";
    f.nomb = "JUAN";
    f.razon = "AGRICOLA DEL SUR SL";
    ASSERT_TRUE(saveMember(port, *ws, f, true, kNoWait));
    auto r = reader("SOCIOS");
    ASSERT_TRUE(r.member(f.numSocio));
    EXPECT_EQ(utf8(r.area->getText("Tratami")), c.tratami);
    EXPECT_EQ(output::ALLTRIM(r.area->getText("Nombre")), c.nombre);
    EXPECT_EQ(output::RTRIM(r.area->getText("Ape1")), output::RTRIM(c.ape1));
    EXPECT_EQ(output::ALLTRIM(r.area->getText("Nomb")), std::string(c.sexo) == "E" ? "" : "JUAN");
    EXPECT_EQ(output::ALLTRIM(r.area->getText("Razon")), c.razon);
  }
}

TEST_F(MemberRecordTest, VotesFollowTheBands) {
  VoteRule rule{true, 1, 100, 1000, 500, 1};
  struct Case {
    double m2;
    long votes;
  } cases[] = {{99, 0}, {100, 1}, {1000, 1}, {1000.5, 1}, {1001, 2}, {1500, 2}, {1501, 3}, {0, 0}};
  for (const Case& c : cases) EXPECT_EQ(votesFor(c.m2, rule), c.votes) << c.m2;
  // Without a size for the further votes every member above the first band has Votos1.
  rule.desde2m2 = 0;
  for (double m2 : {1001.0, 1500.0, 250000.0}) EXPECT_EQ(votesFor(m2, rule), 1) << m2;
}

TEST_F(MemberRecordTest, VotesAndSurfaceComeFromTheMembersOwnParcels) {
  setVoteBands();
  addMember("  12", "PEREZ");
  addParcel("00001", "  12", 600.25);
  addParcel("00002", "  12", 900.75);  // 1501 m2: 3 votes
  addParcel("00003", "   1", 5000);     // someone else's
  const VotesSurface vs = memberVotesSurface(*ws, "  12", readVoteRule(*ws));
  EXPECT_TRUE(vs.hasParcels);
  EXPECT_DOUBLE_EQ(vs.surface, 1501);
  EXPECT_EQ(vs.votos, "  3");
  EXPECT_FALSE(memberVotesSurface(*ws, "  13", readVoteRule(*ws)).hasParcels);
}

TEST_F(MemberRecordTest, ValuesThatDoNotFitTheirFieldsAreRefusedNamingTheField) {
  struct Case {
    double superficie;
    const char* votos;
    const char* field;  // named in the refusal; nullptr: accepted
  } cases[] = {
      {9999.99, "999", nullptr},
      {10000, "  1", "campo Superficie"},
      {12.5, "1000", "campo Votos"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.votos);
    port.clear();
    const uint32_t before = reader("SOCIOS").area->LASTREC();
    MemberForm f = newMemberForm(*ws);
    f.sexo = "H";
    f.superficie = c.superficie;
    f.votos = c.votos;
    const bool saved = saveMember(port, *ws, f, true, kNoWait);
    EXPECT_EQ(saved, c.field == nullptr);
    if (saved) continue;
    ASSERT_EQ(port.calls().size(), 1u);
    EXPECT_EQ(port.calls()[0].title, "¡¡¡ Atención !!!");
    EXPECT_NE(port.calls()[0].text.find(c.field), std::string::npos) << port.calls()[0].text;
    EXPECT_EQ(reader("SOCIOS").area->LASTREC(), before) << "nothing appended";
  }
}

TEST_F(MemberRecordTest, AnEditWritesOverTheMemberAndKeepsItsNumber) {
  const uint32_t recno = addMember("   5", "VIEJO");
  addMember("   6", "OTRO");
  store::WorkArea& socios = ws->area("SOCIOS");
  socios.DBGOTO(recno);
  MemberForm f = readMemberForm(socios);
  f.sexo = "M";
  f.ape1 = "NUEVA";
  ASSERT_TRUE(saveMember(port, *ws, f, false, kNoWait));
  auto r = reader("SOCIOS");
  EXPECT_EQ(r.column("NumSocio"), (std::vector<std::string>{"   5", "   6"}));
  ASSERT_TRUE(r.member("   5"));
  EXPECT_EQ(output::ALLTRIM(r.area->getText("Nombre")), "NUEVA");
}

TEST_F(MemberRecordTest, AMemberHeldByAnotherCopyIsNotWritten) {
  const uint32_t recno = addMember("   5", "VIEJO");
  canalix::testing::Child other([&](canalix::testing::Child& self) {
    store::Workspace mine(dir);
    if (!mine.DBUSEAREA(true, "SOCIOS.DBF", "SOCIOS", true)) return 1;
    mine.area("SOCIOS").DBGOTO(recno);
    if (!mine.area("SOCIOS").RLOCK()) return 2;
    self.signalParent();
    self.waitParent();
    return 0;
  });
  other.waitChild();
  store::WorkArea& socios = ws->area("SOCIOS");
  socios.DBGOTO(recno);
  MemberForm f = readMemberForm(socios);
  f.sexo = "H";
  f.ape1 = "NUEVO";
  EXPECT_FALSE(saveMember(port, *ws, f, false, kNoWait));
  other.signalChild();
  EXPECT_EQ(other.wait(), 0);
  EXPECT_EQ(port.toneFrequencies(), (std::vector<int>{400, 200}));
  ASSERT_EQ(port.callsOf(ui::CallKind::kInfo).size(), 1u);
  EXPECT_EQ(port.callsOf(ui::CallKind::kInfo)[0].text, "No es posible la modificación;inténtelo más tarde, por favor.");
  auto r = reader("SOCIOS");
  ASSERT_TRUE(r.member("   5"));
  EXPECT_EQ(output::ALLTRIM(r.area->getText("Nombre")), "VIEJO");
}

// Another copy that has appended its member and not yet written the number:
// the number taken here must not be the one that copy is about to write.
TEST_F(MemberRecordTest, ANewMemberWaitsForTheNumberOfOneAppendedJustBefore) {
  addMember("   1", "PRIMERO");
  canalix::testing::Child other([&](canalix::testing::Child& self) {
    store::Workspace mine(dir);
    if (!mine.DBUSEAREA(true, "SOCIOS.DBF", "SOCIOS", true)) return 1;
    store::WorkArea& s = mine.area("SOCIOS");
    if (!s.DBAPPEND()) return 2;
    const std::string number = nextMemberNumber(s);  // "   2", taken before the write
    self.signalParent();
    usleep(800 * 1000);  // the parent appends and takes its number meanwhile
    s.put("NumSocio", number);
    s.DBRUNLOCK();
    s.DBCOMMIT();
    return 0;
  });
  other.waitChild();
  ui::ScriptedPort mine;
  MemberForm f = newMemberForm(*ws);
  f.sexo = "H";
  ASSERT_TRUE(saveMember(mine, *ws, f, true));  // waits for real
  EXPECT_EQ(other.wait(), 0);
  EXPECT_EQ(f.numSocio, "   3");
  EXPECT_EQ(reader("SOCIOS").column("NumSocio"), (std::vector<std::string>{"   1", "   2", "   3"}));
}

TEST_F(MemberRecordTest, TwoCopiesAddingMembersAtOnceNeverShareANumber) {
  constexpr int kEach = 15;
  const auto adder = [&](canalix::testing::Child& self) {
    store::Workspace mine(dir);
    if (!mine.DBUSEAREA(true, "SOCIOS.DBF", "SOCIOS", true)) return 2;
    ui::ScriptedPort quiet;
    self.signalParent();
    self.waitParent();
    for (int i = 0; i < kEach; ++i) {
      MemberForm f = newMemberForm(mine);
      f.sexo = "H";
      if (!saveMember(quiet, mine, f, true)) return 3;
    }
    return 0;
  };
  canalix::testing::Child a(adder), b(adder);
  a.waitChild();
  b.waitChild();
  a.signalChild();
  b.signalChild();
  EXPECT_EQ(a.wait(), 0);
  EXPECT_EQ(b.wait(), 0);
  const std::vector<std::string> numbers = reader("SOCIOS").column("NumSocio");
  ASSERT_EQ(numbers.size(), size_t(2 * kEach));
  std::set<std::string> distinct(numbers.begin(), numbers.end());
  EXPECT_EQ(distinct.size(), numbers.size()) << "a number was given twice";
  EXPECT_EQ(*distinct.rbegin(), output::STR(2 * kEach, 4));
}

TEST_F(MemberRecordTest, PhotographPathsThatCannotBeStoredAreRefused) {
  struct Case {
    std::string chosen;
    bool ok;
    std::string stored;  // trimmed, Windows-1252
  } cases[] = {
      {(dir / "fotos" / "socio.jpg").string(), true, "fotos/socio.jpg"},  // inside the data directory
      {"/home/ana/Imágenes/socio.jpg", true, "/home/ana/Im\xE1genes/socio.jpg"},
      {"/home/ana/" + std::string(60, 'x') + ".jpg", false, ""},
      {"/home/ana/фото.jpg", false, ""},  // no Windows-1252 for Cyrillic
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.chosen);
    const PhotoPath p = photoPathFor(c.chosen, dir);
    EXPECT_EQ(p.verdict.ok, c.ok) << p.verdict.message;
    if (c.ok) {
      EXPECT_EQ(p.text.size(), 60u);
      EXPECT_EQ(output::RTRIM(p.text), c.stored);
    } else {
      EXPECT_NE(p.verdict.message.find("fotografía"), std::string::npos);
    }
  }
}

TEST_F(MemberRecordTest, PonVotosATodosWritesEveryMemberAndSkipsThoseItCannot) {
  setVoteBands();
  const uint32_t plain = addMember("   1", "UNO");
  const uint32_t held = addMember("   2", "DOS");
  const uint32_t huge = addMember("   3", "TRES", true, [](store::WorkArea& s) {  // inactive: still counted
    s.put("Votos", std::string("  7"));
    s.put("Superficie", 7.0);
  });
  const uint32_t none = addMember("   4", "CUATRO", false, [](store::WorkArea& s) {
    s.put("Votos", std::string("  9"));
    s.put("Superficie", 9.0);
  });
  addParcel("00001", "   1", 1501);
  addParcel("00002", "   2", 150);
  addParcel("00003", "   3", 9000);
  addParcel("00004", "   3", 9000);  // 18000: too wide for Superficie
  ws->area("SOCIOS").DBSETFILTER([](store::WorkArea& s) { return !s.getLogical("Inactivo"); }, "!Inactivo");

  canalix::testing::Child other([&](canalix::testing::Child& self) {
    store::Workspace mine(dir);
    if (!mine.DBUSEAREA(true, "SOCIOS.DBF", "SOCIOS", true)) return 1;
    mine.area("SOCIOS").DBGOTO(held);
    if (!mine.area("SOCIOS").RLOCK()) return 2;
    self.signalParent();
    self.waitParent();
    return 0;
  });
  other.waitChild();
  EXPECT_EQ(PONVOTOSATODOS(port, *ws, kNoWait), 2);
  other.signalChild();
  EXPECT_EQ(other.wait(), 0);

  EXPECT_EQ(port.toneFrequencies(), (std::vector<int>{400, 200})) << "the held member";
  const auto alerts = port.callsOf(ui::CallKind::kAlert);
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_NE(alerts[0].text.find("Socio 3 - TRES"), std::string::npos) << alerts[0].text;
  EXPECT_NE(alerts[0].text.find("campo Superficie"), std::string::npos) << alerts[0].text;

  auto r = reader("SOCIOS");
  const auto at = [&](uint32_t recno) {
    r.area->DBGOTO(recno);
    return std::make_pair(r.area->getText("Votos"), r.area->getNumber("Superficie"));
  };
  EXPECT_EQ(at(plain), std::make_pair(std::string("  3"), 1501.0));
  EXPECT_EQ(at(held), std::make_pair(std::string("   "), 0.0)) << "left as it was";
  EXPECT_EQ(at(huge), std::make_pair(std::string("  7"), 7.0)) << "left as it was";
  EXPECT_EQ(at(none), std::make_pair(std::string("   "), 0.0)) << "no parcels: blank votes, surface 0";
}

TEST_F(MemberRecordTest, PonVotosATodosIsAskedWithNoAsTheDefault) {
  addMember("   1", "UNO");
  addParcel("00001", "   1", 150);
  EXPECT_FALSE(askPONVOTOSATODOS(port, *ws));
  EXPECT_EQ(port.calls().at(0).kind, ui::CallKind::kInfo) << "AutoVoto is off";
  setVoteBands();
  port.clear();
  port.answer(false);
  EXPECT_FALSE(askPONVOTOSATODOS(port, *ws));
  ASSERT_EQ(port.callsOf(ui::CallKind::kQuestion).size(), 1u);
  EXPECT_EQ(port.callsOf(ui::CallKind::kQuestion)[0].defaultAnswer, ui::DefaultAnswer::kNo);
  EXPECT_EQ(reader("SOCIOS").column("Votos"), std::vector<std::string>{"   "});
  port.answer(true);
  EXPECT_TRUE(askPONVOTOSATODOS(port, *ws));
  EXPECT_EQ(reader("SOCIOS").column("Votos"), std::vector<std::string>{"  1"});
}

}  // namespace
}  // namespace canalix::members
