// The rules shared by every UI port, the scripted port's record and script,
// and the tone's WAV bytes.
#include <gtest/gtest.h>

#include <cstdint>

#include "ui/scripted_port.h"
#include "ui/tone_wave.h"

namespace canalix::ui {
namespace {

TEST(BoxTitle, EmptyTitleTakesTheDefaultOfItsKind) {
  struct Case {
    BoxKind kind;
    const char* given;
    const char* shown;
  };
  const Case cases[] = {
      {BoxKind::kInfo, "", "Information"},
      {BoxKind::kStop, "", "Stop"},
      {BoxKind::kAlert, "", "Alert"},
      {BoxKind::kQuestion, "", "Select an option"},
      {BoxKind::kStop, "¡¡¡ Atención !!!", "¡¡¡ Atención !!!"},
      {BoxKind::kInfo, " ", " "},  // a blank is a title, not an absent one
  };
  for (const Case& c : cases) EXPECT_EQ(boxTitle(c.kind, c.given), c.shown) << c.given;
}

TEST(BoxLines, LinesBreakOnlyAtCarriageReturnLineFeed) {
  struct Case {
    const char* text;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {"No es posible la modificación;inténtelo más tarde, por favor.",
       {"No es posible la modificación;inténtelo más tarde, por favor."}},
      {"uno\r\ndos", {"uno", "dos"}},
      {"uno\r\n\r\n\r\ndos", {"uno", "", "", "dos"}},
      {"uno\ndos", {"uno dos"}},  // a lone line feed does not break
      {"uno\rdos", {"uno dos"}},  // nor a lone carriage return
      {"fin\r\n", {"fin", ""}},
      {"", {""}},
  };
  for (const Case& c : cases) EXPECT_EQ(boxLines(c.text), c.lines) << c.text;
}

TEST(ScriptedPort, RecordsEveryCallWithTheTitleShown) {
  ScriptedPort port;
  port.answer(false);
  port.info("uno");
  port.stop("dos", "Título");
  port.alert("tres");
  EXPECT_FALSE(port.yesNo("¿ cuatro ?", {}, DefaultAnswer::kNo));
  port.tone(400, 110);
  port.tone(200, 110);
  port.notice("cinco");
  port.progressBegin("Progreso", "seis", 13);
  port.progressStep(7, "siete");
  port.progressEnd();

  const auto& calls = port.calls();
  ASSERT_EQ(calls.size(), 10u);
  EXPECT_EQ(calls[0].kind, CallKind::kInfo);
  EXPECT_EQ(calls[0].title, "Information");
  EXPECT_EQ(calls[1].title, "Título");
  EXPECT_EQ(calls[1].text, "dos");
  EXPECT_EQ(calls[2].title, "Alert");
  EXPECT_EQ(calls[3].kind, CallKind::kQuestion);
  EXPECT_EQ(calls[3].title, "Select an option");
  EXPECT_EQ(calls[3].defaultAnswer, DefaultAnswer::kNo);
  EXPECT_EQ(port.toneFrequencies(), (std::vector<int>{400, 200}));
  EXPECT_EQ(calls[4].milliseconds, 110);
  EXPECT_EQ(calls[7].value, 13);
  EXPECT_EQ(calls[8].value, 7);
  EXPECT_EQ(port.callsOf(CallKind::kNotice).at(0).text, "cinco");
}

TEST(ScriptedPort, AnswersInScriptOrderAndRefusesUnscriptedQuestions) {
  ScriptedPort port;
  port.answer(true);
  port.answer(false);
  EXPECT_TRUE(port.yesNo("a"));
  EXPECT_FALSE(port.yesNo("b"));
  EXPECT_THROW(port.yesNo("c"), UnscriptedCall);
  EXPECT_THROW(port.openFile("Abrir", "/tmp", {}), UnscriptedCall);
  port.answerFile(std::filesystem::path("/tmp/x.zip"));
  port.answerFile(std::nullopt);
  EXPECT_EQ(port.openFile("Abrir", "/tmp", {}), std::filesystem::path("/tmp/x.zip"));
  EXPECT_EQ(port.chooseFolder("Carpeta", "/tmp"), std::nullopt);
}

TEST(ScriptedPort, DumpWritesOneLinePerCall) {
  ScriptedPort port;
  port.info("a\r\nb", "T");
  port.tone(400, 110);
  EXPECT_EQ(port.dump(), "info | T | a\\r\\nb\ntone |  |  | 400 Hz 110 ms\n");
}

uint32_t le32(const std::string& b, size_t at) {
  return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 | uint32_t(uint8_t(b[at + 2])) << 16 |
         uint32_t(uint8_t(b[at + 3])) << 24;
}

TEST(ToneWave, HeaderDescribesMonoSixteenBitPcmOfTheRightLength) {
  const std::string wave = toneWave(400, 110, 22050);
  const uint32_t samples = 110 * 22050 / 1000;
  ASSERT_EQ(wave.size(), 44 + samples * 2);
  EXPECT_EQ(wave.substr(0, 4), "RIFF");
  EXPECT_EQ(le32(wave, 4), wave.size() - 8);
  EXPECT_EQ(wave.substr(8, 8), "WAVEfmt ");
  EXPECT_EQ(le32(wave, 16), 16u);
  EXPECT_EQ(wave[20], 1);  // PCM
  EXPECT_EQ(wave[22], 1);  // mono
  EXPECT_EQ(le32(wave, 24), 22050u);
  EXPECT_EQ(le32(wave, 28), 44100u);
  EXPECT_EQ(wave[34], 16);
  EXPECT_EQ(wave.substr(36, 4), "data");
  EXPECT_EQ(le32(wave, 40), samples * 2);
  // It fades in from silence rather than starting with a click.
  EXPECT_EQ(wave[44], 0);
  EXPECT_EQ(wave[45], 0);
}

}  // namespace
}  // namespace canalix::ui
