// One compound index file (.CDX): the tag directory, one B+tree of keys and
// record numbers per tag in 512-byte pages (interior pages and compressed
// leaf pages of the published CDX layout), the free-page list, and the lock
// byte and change counter through which copies of the program share it.
//
// Keys are byte strings of the tag's key length, compared as unsigned bytes,
// ties broken by record number; a descending tag is stored ascending and read
// backwards by the engine. What a key means is the engine's business.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "store/file_layer.h"

namespace canalix::store {

struct IndexEntry {
  std::string key;
  uint32_t recno;
  friend bool operator==(const IndexEntry&, const IndexEntry&) = default;
};
// Key bytes, then record number.
bool entryLess(const IndexEntry& a, const IndexEntry& b);

struct CdxTag {
  std::string name;      // upper case
  uint32_t header = 0;   // file offset of the tag header
  uint32_t root = 0;
  int keyLength = 0;
  uint8_t options = 0;
  bool descending = false;
  std::string keyExpression;
  std::string forExpression;
  char fill = ' ';  // trailing fill byte: blank for character keys, 0 for the others
};

class CdxFile {
 public:
  // Opens and validates an index file; throws 21/1003 or 32/1012. Returns
  // null (errno in `errnoOut`) when the system refuses access.
  static std::unique_ptr<CdxFile> open(FileLayer& env, const std::filesystem::path& path, bool readOnly,
                                       int& errnoOut);
  // Writes a new index file with an empty tag directory (aside, then renamed).
  static void create(FileLayer& env, const std::filesystem::path& path);
  ~CdxFile();
  CdxFile(const CdxFile&) = delete;
  CdxFile& operator=(const CdxFile&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Tags in order of their header offsets: order n is tags()[n - 1]. Re-read
  // when another copy changed the file.
  const std::vector<CdxTag>& tags();
  int tagNumber(const std::string& name);  // 0 when absent
  void setFill(int order, char fill);

  // Every entry of tag `order`, ascending; cached until the file changes.
  const std::vector<IndexEntry>& entries(int order);
  // Visits the entries of tag `order` from the first entry not below `from`
  // (above it when !inclusive) upwards, or from the last entry not above it
  // (below it when !inclusive) downwards, while `visit` returns true. One
  // shared lock covers the whole visit.
  void scan(int order, const IndexEntry& from, bool forward, bool inclusive,
            const std::function<bool(const IndexEntry&)>& visit);
  // Problems of the tree of tag `order` (links, order of keys, interior keys
  // that are not the highest of their page), in Spanish; empty when sound.
  std::vector<std::string> verify(int order);

  // Changes, each under the exclusive index lock.
  void insert(int order, const IndexEntry& e);
  void remove(int order, const IndexEntry& e);
  // Creates tag `name` (or replaces the tag of that name, keeping its number)
  // holding `sorted` entries; returns its order number.
  int createTag(const std::string& name, const std::string& keyExpression, const std::string& forExpression,
                int keyLength, char fill, bool descending, std::vector<IndexEntry> sorted);
  // Replaces the entries of tag `order` (after a pack).
  void rebuild(int order, std::vector<IndexEntry> sorted);
  void sync();

  class Lock;  // shared or exclusive hold of the lock byte (cdx_file.cpp)

  // Holds the exclusive lock across several changes, so that they cost one
  // lock and one step of the change counter.
  class ChangeScope {
   public:
    explicit ChangeScope(CdxFile& f);
    ~ChangeScope();

   private:
    std::unique_ptr<Lock> lock_;
  };

 private:
  CdxFile(FileLayer& env, std::filesystem::path path, int fd, bool readOnly);
  struct Node;
  void refresh();  // drops caches when offsets 4 to 11 differ from what was last seen
  void readDirectory();
  void validate(uint64_t size);
  // The page at `offset`, from the cache; valid until the next page is read.
  const std::string& page(uint32_t offset);
  std::string tagHeader(uint32_t offset);  // the two pages of a tag header
  void writePage(uint32_t offset, const std::string& bytes);
  uint32_t allocatePage();
  uint32_t appendPages(int count);
  void freePage(uint32_t offset);
  void freeTree(uint32_t root, int keyLength, char fill);
  Node readNode(uint32_t offset, int keyLength, char fill);
  void checkSorted(const Node& n, uint32_t offset) const;
  // The leaf where a visit from `from` starts, and the position in it.
  std::pair<Node, long> startLeaf(const CdxTag& t, const IndexEntry& from, bool forward, bool inclusive);
  uint64_t fileSize();
  void writeNode(const Node& n, int keyLength, char fill);
  uint32_t buildTree(std::vector<IndexEntry> sorted, int keyLength, char fill);
  void writeTagHeader(const CdxTag& t);
  void rootChanged(int order, uint32_t root);
  void insertInto(CdxTag& tag, int order, const IndexEntry& e);
  void removeFrom(CdxTag& tag, const IndexEntry& e);
  void writeCounters();
  [[noreturn]] void corrupt(const std::string& detail) const;
  [[noreturn]] void ioFailed(int rc) const;

  FileLayer& env_;
  std::filesystem::path path_;
  int fd_;
  bool readOnly_;
  int lockDepth_ = 0;
  bool exclusive_ = false;
  bool changed_ = false;
  uint32_t freeHead_ = 0;
  uint32_t counter_ = 0;
  bool directoryValid_ = false;
  std::vector<CdxTag> tags_;
  std::map<std::string, char> fills_;  // by tag name, set by the engine
  std::map<uint32_t, std::string> pages_;
  std::map<int, std::vector<IndexEntry>> entries_;
};

}  // namespace canalix::store
