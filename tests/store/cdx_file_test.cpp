// The compound index file: tag headers byte for byte, leaf compression, and
// the tree kept right through many inserts and removals (checked against a
// plain sorted model, and read back by a second open of the file).
#include "store/cdx_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "store_fixture.h"

namespace canalix::store {
namespace {

using testing::ScratchDir;

class CdxFileTest : public ScratchDir {
 protected:
  std::unique_ptr<CdxFile> openIndex(bool readOnly = false) {
    int rc = 0;
    auto f = CdxFile::open(env, dir / "T.CDX", readOnly, rc);
    EXPECT_TRUE(f) << rc;
    return f;
  }
  static std::string key(int n, int width) {
    std::string k = std::to_string(n);
    k.resize(size_t(width), ' ');
    return k;
  }
  uint16_t u16(const std::string& b, size_t at) const { return uint16_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8); }
  uint32_t u32(const std::string& b, size_t at) const { return u16(b, at) | uint32_t(u16(b, at + 2)) << 16; }
  FileLayer env;
};

TEST_F(CdxFileTest, TagHeadersFollowTheLayout) {
  CdxFile::create(env, dir / "T.CDX");
  {
    auto f = openIndex();
    EXPECT_EQ(f->createTag("nombre", "SOCIOS->Nombre", "!DELETED()", 45, ' ', false, {{key(1, 45), 1}}), 1);
    EXPECT_EQ(f->createTag("PAGO", "str(SOCIOS->Pago,1)", "!DELETED()", 1, ' ', true, {}), 2);
    EXPECT_EQ(f->createTag("AAA", "SOCIOS->Nif", "", 10, ' ', false, {}), 3);  // numbered by creation, not by name
  }
  const std::string b = bytes("T.CDX");
  ASSERT_EQ(b.size() % 512, 0u);
  EXPECT_EQ(uint8_t(b[14]), 0xE0);  // the directory
  EXPECT_EQ(u16(b, 12), 10);
  auto f = openIndex(true);
  const auto& tags = f->tags();
  ASSERT_EQ(tags.size(), 3u);
  EXPECT_EQ(tags[0].name, "NOMBRE");
  EXPECT_EQ(tags[1].name, "PAGO");
  EXPECT_EQ(tags[2].name, "AAA");
  EXPECT_LT(tags[0].header, tags[1].header);
  EXPECT_EQ(f->tagNumber("pago"), 2);
  EXPECT_EQ(f->tagNumber("NADA"), 0);

  const std::string h = b.substr(tags[0].header, 1024);
  EXPECT_EQ(u32(h, 0) % 512, 0u);
  EXPECT_EQ(u16(h, 12), 45);
  EXPECT_EQ(uint8_t(h[14]), 0x68);  // compact, compound, FOR condition
  EXPECT_EQ(uint8_t(h[15]), 1);
  EXPECT_EQ(u16(h, 502), 0);
  EXPECT_EQ(u16(h, 504), 15);  // FOR text after the key text and its 0x00
  EXPECT_EQ(u16(h, 506), 11);
  EXPECT_EQ(u16(h, 508), 0);
  EXPECT_EQ(u16(h, 510), 15);
  EXPECT_EQ(h.substr(512, 26), std::string("SOCIOS->Nombre\0!DELETED()\0", 26));
  EXPECT_EQ(h.substr(16, 486), std::string(486, '\0'));
  const std::string d = b.substr(tags[1].header, 1024);
  EXPECT_EQ(u16(d, 502), 1);
  EXPECT_EQ(uint8_t(b[tags[2].header + 14]), 0x60);
  EXPECT_EQ(tags[0].keyExpression, "SOCIOS->Nombre");
  EXPECT_EQ(tags[0].forExpression, "!DELETED()");

  // The one-key leaf of NOMBRE: entry of 3 bytes, 6 bits for each count, the
  // key "1" stored alone at the end of the page with 44 trailing blanks dropped.
  const std::string leaf = b.substr(u32(h, 0), 512);
  EXPECT_EQ(u16(leaf, 0), 3);  // root and leaf
  EXPECT_EQ(u16(leaf, 2), 1);
  EXPECT_EQ(u32(leaf, 4), 0xFFFFFFFFu);
  EXPECT_EQ(u16(leaf, 12), 488 - 3 - 1);
  EXPECT_EQ(uint8_t(leaf[20]), 12);
  EXPECT_EQ(uint8_t(leaf[21]), 6);
  EXPECT_EQ(uint8_t(leaf[22]), 6);
  EXPECT_EQ(uint8_t(leaf[23]), 3);
  const uint32_t entry = uint8_t(leaf[24]) | uint8_t(leaf[25]) << 8 | uint8_t(leaf[26]) << 16;
  EXPECT_EQ(entry & 0xFFF, 1u);          // record number
  EXPECT_EQ((entry >> 12) & 63, 0u);     // duplicate count
  EXPECT_EQ((entry >> 18) & 63, 44u);    // trailing blanks
  EXPECT_EQ(leaf[511], '1');
}

TEST_F(CdxFileTest, RandomInsertsAndRemovalsKeepTheTreeInOrder) {
  CdxFile::create(env, dir / "T.CDX");
  auto f = openIndex();
  std::mt19937 rng(7);
  std::vector<IndexEntry> initial;
  std::set<std::pair<std::string, uint32_t>> model;
  // Wide keys sharing prefixes, and record numbers past 16 bits so leaves widen.
  auto makeKey = [&](uint32_t n) { return "CLAVE" + key(int(n % 977), 40); };
  for (uint32_t r = 1; r <= 3000; ++r) {
    initial.push_back({makeKey(r * 7919), r});
    model.insert({initial.back().key, r});
  }
  std::sort(initial.begin(), initial.end(), entryLess);
  const int order = f->createTag("K", "K", "", 45, ' ', false, initial);
  std::vector<std::pair<std::string, uint32_t>> live(model.begin(), model.end());
  for (int step = 0; step < 4000; ++step) {
    if (rng() % 3 != 0 || live.empty()) {
      const uint32_t r = 70000 + uint32_t(step);
      const IndexEntry e{makeKey(rng()), r};
      f->insert(order, e);
      model.insert({e.key, e.recno});
      live.push_back({e.key, e.recno});
    } else {
      const size_t i = rng() % live.size();
      f->remove(order, {live[i].first, live[i].second});
      model.erase(live[i]);
      live[i] = live.back();
      live.pop_back();
    }
  }
  std::vector<IndexEntry> expected;
  for (const auto& [k, r] : model) expected.push_back({k, r});
  EXPECT_EQ(f->entries(order), expected);
  auto again = openIndex(true);  // a second copy reads the pages from disk
  EXPECT_EQ(again->entries(again->tagNumber("K")), expected);
  EXPECT_EQ(bytes("T.CDX").size() % 512, 0u);
}

TEST_F(CdxFileTest, RemovingEveryKeyLeavesAnEmptyTagThatGrowsAgain) {
  CdxFile::create(env, dir / "T.CDX");
  auto f = openIndex();
  std::vector<IndexEntry> all;
  for (uint32_t r = 1; r <= 500; ++r) all.push_back({key(int(r), 10), r});
  std::sort(all.begin(), all.end(), entryLess);
  const int order = f->createTag("K", "K", "", 10, ' ', false, all);
  for (const IndexEntry& e : all) f->remove(order, e);
  EXPECT_TRUE(f->entries(order).empty());
  const std::string emptied = bytes("T.CDX");
  EXPECT_NE(u32(emptied, 4), 0u) << "emptied pages go to the free list";
  for (const IndexEntry& e : all) f->insert(order, e);
  EXPECT_EQ(f->entries(order), all);
  const std::string regrown = bytes("T.CDX");
  EXPECT_EQ(u32(regrown, 4), 0u) << "freed pages are taken before the file grows";
  // Pages split on insert are half full, so a few more than the packed build.
  EXPECT_LE(regrown.size(), emptied.size() + 4 * 512);
}

TEST_F(CdxFileTest, ChangesOfAnotherCopyAreSeenThroughTheCounter) {
  CdxFile::create(env, dir / "T.CDX");
  auto a = openIndex();
  const int order = a->createTag("K", "K", "", 4, ' ', false, {{"0001", 1}});
  auto b = openIndex();
  EXPECT_EQ(b->entries(order).size(), 1u);
  const std::string before = bytes("T.CDX").substr(8, 4);
  a->insert(order, {"0002", 2});
  EXPECT_NE(bytes("T.CDX").substr(8, 4), before);
  EXPECT_EQ(b->entries(order), (std::vector<IndexEntry>{{"0001", 1}, {"0002", 2}}));
}

TEST_F(CdxFileTest, DamagedIndexFilesAreRefused) {
  CdxFile::create(env, dir / "T.CDX");
  {
    auto f = openIndex();
    f->createTag("K", "K", "", 4, ' ', false, {});
  }
  const std::string good = bytes("T.CDX");
  // The directory takes pages 0 to 2; the one tag's header starts at 1536.
  struct Case {
    const char* what;
    std::function<void(std::string&)> damage;
  } cases[] = {
      {"1024 bytes only", [](std::string& b) { b.resize(1024); }},
      {"root not on a page", [](std::string& b) { b[0] = 7; }},
      {"key length over 240", [&](std::string& b) { b[1536 + 12] = char(241); }},
      {"expression outside the header", [&](std::string& b) { b[1536 + 509] = 2; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string b = good;
    c.damage(b);
    writeBytes("T.CDX", b);
    int rc = 0;
    try {
      CdxFile::open(env, dir / "T.CDX", true, rc);
      ADD_FAILURE() << "opened";
    } catch (const EngineError& e) {
      EXPECT_EQ(e.genCode(), 32);
      EXPECT_EQ(e.subCode(), 1012);
    }
    EXPECT_EQ(bytes("T.CDX"), b);
  }
}

}  // namespace
}  // namespace canalix::store
