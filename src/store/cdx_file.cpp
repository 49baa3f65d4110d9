// The compound index file: pages, the tag directory, B+tree upkeep and the
// sharing protocol (lock byte, change counter, free-list head).
#include "store/names.h"
#include "store/cdx_file.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>
#include <set>

#include "store/engine_error.h"

namespace canalix::store {
namespace {

constexpr uint32_t kPage = 512;
constexpr uint32_t kNone = 0xFFFFFFFF;
constexpr uint64_t kLockByte = 0x7FFFFFFE;
constexpr int kLeafRoom = 488;       // bytes of an empty leaf after its 24-byte header
constexpr int kInteriorRoom = 500;   // bytes of an interior page after its 12-byte header
constexpr uint16_t kRootAttr = 1, kLeafAttr = 2;
constexpr size_t kMaxDepth = 32;  // far beyond any real tree; a deeper one is a cycle
constexpr uint8_t kTagOptions = 0x60, kForOption = 0x08, kDirectoryOptions = 0xE0;

uint32_t le32(const std::string& p, size_t at) {
  return uint32_t(uint8_t(p[at])) | uint32_t(uint8_t(p[at + 1])) << 8 | uint32_t(uint8_t(p[at + 2])) << 16 |
         uint32_t(uint8_t(p[at + 3])) << 24;
}
uint16_t le16(const std::string& p, size_t at) { return uint16_t(uint8_t(p[at]) | uint8_t(p[at + 1]) << 8); }
uint32_t be32(const std::string& p, size_t at) {
  return uint32_t(uint8_t(p[at])) << 24 | uint32_t(uint8_t(p[at + 1])) << 16 | uint32_t(uint8_t(p[at + 2])) << 8 |
         uint32_t(uint8_t(p[at + 3]));
}
void putLe(std::string& p, size_t at, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) p[at + size_t(i)] = char((v >> (8 * i)) & 0xFF);
}
void putBe32(std::string& p, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[at + size_t(i)] = char((v >> (8 * (3 - i))) & 0xFF);
}
int bitLength(int v) {
  int bits = 0;
  while (v >> bits) ++bits;
  return bits;
}
uint64_t mask(int bits) { return bits >= 64 ? ~0ull : (1ull << bits) - 1; }

std::string paddedName(const std::string& name) {
  std::string k = upperAscii(name).substr(0, 10);
  k.resize(10, ' ');
  return k;
}

// Bytes a leaf needs for `keys`, with its entry width; -1 when more than a page.
struct LeafShape {
  int bytesPerEntry, recBits, dupBits, total;
};
LeafShape leafShape(const std::vector<IndexEntry>& keys, int keyLength, char fill) {
  const int bits = bitLength(keyLength);
  uint32_t maxRec = 0;
  for (const auto& e : keys) maxRec = std::max(maxRec, e.recno);
  LeafShape s{3, 24 - 2 * bits, bits, 0};
  while (s.recBits < 0 || maxRec > mask(s.recBits)) s.bytesPerEntry++, s.recBits += 8;
  int data = 0;
  const std::string* prev = nullptr;
  for (const auto& e : keys) {
    int dup = 0;
    if (prev)
      while (dup < keyLength && (*prev)[size_t(dup)] == e.key[size_t(dup)]) ++dup;
    int trail = 0;
    while (trail < keyLength - dup && e.key[size_t(keyLength - 1 - trail)] == fill) ++trail;
    data += keyLength - dup - trail;
    prev = &e.key;
  }
  s.total = int(keys.size()) * s.bytesPerEntry + data;
  return s;
}

bool fitsNode(const std::vector<IndexEntry>& keys, bool leaf, int keyLength, char fill) {
  if (leaf) return leafShape(keys, keyLength, fill).total <= kLeafRoom;
  return int(keys.size()) <= kInteriorRoom / (keyLength + 8);
}

}  // namespace

bool entryLess(const IndexEntry& a, const IndexEntry& b) {
  const int c = std::memcmp(a.key.data(), b.key.data(), std::min(a.key.size(), b.key.size()));
  if (c != 0) return c < 0;
  if (a.key.size() != b.key.size()) return a.key.size() < b.key.size();
  return a.recno < b.recno;
}

struct CdxFile::Node {
  uint32_t offset = 0;
  uint16_t attr = 0;
  uint32_t left = kNone, right = kNone;
  std::vector<IndexEntry> keys;     // interior: the highest entry of each child
  std::vector<uint32_t> children;   // interior only
  bool leaf() const { return attr & kLeafAttr; }
};

// ---- lock ---------------------------------------------------------------------

class CdxFile::Lock {
 public:
  Lock(CdxFile& f, bool exclusive) : f_(f) {
    if (exclusive && f.readOnly_)
      throw EngineError(err::kReadOnly, err::kReadOnlySub, "índice", f.path_.string(), "índice abierto solo para lectura");
    if (f.lockDepth_ == 0 || (exclusive && !f.exclusive_)) {
      const LockResult r = f.env_.lock(f.fd_, kLockByte, 1, exclusive ? LockKind::kExclusive : LockKind::kShared, true);
      if (r != LockResult::kGranted)
        throw EngineError(err::kIndexLock, err::kIndexLockSub, "índice", f.path_.string(), "no se puede bloquear el índice");
      f.exclusive_ = f.exclusive_ || exclusive;
      if (f.lockDepth_ == 0) f.refresh();
    }
    ++f.lockDepth_;
  }
  ~Lock() {
    if (--f_.lockDepth_ > 0) return;
    if (f_.changed_) {
      ++f_.counter_;
      f_.writeCounters();
      f_.changed_ = false;
    }
    f_.env_.unlock(f_.fd_, kLockByte, 1);
    f_.exclusive_ = false;
  }

 private:
  CdxFile& f_;
};

CdxFile::ChangeScope::ChangeScope(CdxFile& f) : lock_(std::make_unique<Lock>(f, true)) {}
CdxFile::ChangeScope::~ChangeScope() = default;

// ---- open, create ---------------------------------------------------------------

CdxFile::CdxFile(FileLayer& env, std::filesystem::path path, int fd, bool readOnly)
    : env_(env), path_(std::move(path)), fd_(fd), readOnly_(readOnly) {}

CdxFile::~CdxFile() { env_.close(fd_); }

void CdxFile::corrupt(const std::string& detail) const {
  throw EngineError(err::kCorrupt, err::kCorruptSub, "índice", path_.string(), detail);
}
void CdxFile::ioFailed(int rc) const {
  throw EngineError(err::kWrite, err::kWriteSub, "índice", path_.string(), std::strerror(rc));
}

std::unique_ptr<CdxFile> CdxFile::open(FileLayer& env, const std::filesystem::path& path, bool readOnly,
                                       int& errnoOut) {
  int fd = -1;
  errnoOut = env.open(path, !readOnly, false, fd);
  if (errnoOut == EACCES || errnoOut == EPERM) return nullptr;
  if (errnoOut != 0)
    throw EngineError(err::kIndexOpen, err::kIndexOpenSub, "DBSETINDEX", path.string(), std::strerror(errnoOut));
  std::unique_ptr<CdxFile> f(new CdxFile(env, path, fd, readOnly));
  uint64_t size = 0;
  env.size(fd, size);
  f->validate(size);
  return f;
}

void CdxFile::create(FileLayer& env, const std::filesystem::path& path) {
  std::string bytes(3 * kPage, '\0');
  putLe(bytes, 0, 2 * kPage, 4);  // the directory's root: an empty leaf after its header
  putLe(bytes, 12, 10, 2);
  bytes[14] = char(kDirectoryOptions);
  bytes[15] = 1;
  std::string leaf(kPage, '\0');
  putLe(leaf, 0, kRootAttr | kLeafAttr, 2);
  putLe(leaf, 4, kNone, 4);
  putLe(leaf, 8, kNone, 4);
  putLe(leaf, 12, kLeafRoom, 2);
  // Entry layout for the 10-byte tag names: 4 bits per count, 16 for the offset.
  putLe(leaf, 14, 0xFFFF, 4);
  leaf[18] = leaf[19] = 15;
  leaf[20] = 16;
  leaf[21] = leaf[22] = 4;
  leaf[23] = 3;
  bytes.replace(2 * kPage, kPage, leaf);
  if (const int rc = writeFileAside(env, path, bytes))
    throw EngineError(err::kCreate, err::kCreateSub, "ORDCREATE", path.string(), std::strerror(rc));
}

void CdxFile::validate(uint64_t size) {
  if (size <= 2 * kPage) corrupt("archivo de índice de " + std::to_string(size) + " bytes");
  Lock lock(*this, false);
  auto checkHeader = [&](uint32_t at, const std::string& h, bool directory) {
    const uint32_t root = le32(h, 0);
    const int keyLength = le16(h, 12);
    if (root % kPage != 0 || root + kPage > size) corrupt("raíz fuera del archivo en la cabecera " + std::to_string(at));
    if (keyLength < 1 || keyLength > 240) corrupt("longitud de clave " + std::to_string(keyLength) + " no válida");
    if (directory) return;
    const int forPos = le16(h, 504), forLen = le16(h, 506), keyPos = le16(h, 508), keyLen = le16(h, 510);
    if (keyLen < 2 || keyPos + keyLen > int(kPage) || forLen < 1 || forPos + forLen > int(kPage))
      corrupt("expresiones fuera de la cabecera " + std::to_string(at));
  };
  checkHeader(0, tagHeader(0), true);
  for (const CdxTag& t : tags()) {
    if (t.header % kPage != 0 || t.header + 2 * kPage > size) corrupt("cabecera de etiqueta fuera del archivo");
    checkHeader(t.header, tagHeader(t.header), false);
  }
}

// ---- pages --------------------------------------------------------------------

void CdxFile::refresh() {
  std::string h(12, '\0');
  size_t got = 0;
  if (const int rc = env_.read(fd_, 0, h.data(), 12, got)) ioFailed(rc);
  const uint32_t freeHead = le32(h, 4), counter = be32(h, 8);
  if (freeHead == freeHead_ && counter == counter_ && directoryValid_) return;
  freeHead_ = freeHead;
  counter_ = counter;
  pages_.clear();
  entries_.clear();
  directoryValid_ = false;
}

uint64_t CdxFile::fileSize() {
  uint64_t size = 0;
  if (const int rc = env_.size(fd_, size)) ioFailed(rc);
  return size;
}

std::string CdxFile::tagHeader(uint32_t offset) {
  std::string h = page(offset);
  return h + page(offset + kPage);
}

const std::string& CdxFile::page(uint32_t offset) {
  auto it = pages_.find(offset);
  if (it != pages_.end()) return it->second;
  if (offset % kPage != 0) corrupt("puntero de página " + std::to_string(offset) + " no múltiplo de 512");
  std::string p(kPage, '\0');
  size_t got = 0;
  if (const int rc = env_.read(fd_, offset, p.data(), kPage, got)) ioFailed(rc);
  if (got != kPage) corrupt("página " + std::to_string(offset) + " fuera del archivo");
  if (pages_.size() > 4096) pages_.clear();
  return pages_[offset] = std::move(p);
}

void CdxFile::writePage(uint32_t offset, const std::string& bytes) {
  if (const int rc = env_.write(fd_, offset, bytes.data(), bytes.size())) ioFailed(rc);
  for (uint32_t at = 0; at < bytes.size(); at += kPage) pages_[offset + at] = bytes.substr(at, kPage);
  changed_ = true;
}

uint32_t CdxFile::appendPages(int count) {
  uint64_t size = 0;
  env_.size(fd_, size);
  const uint32_t at = uint32_t((size + kPage - 1) / kPage * kPage);
  writePage(at, std::string(size_t(count) * kPage, '\0'));
  return at;
}

uint32_t CdxFile::allocatePage() {
  if (freeHead_ == 0) return appendPages(1);
  const uint32_t at = freeHead_;
  if (at < 3 * kPage) corrupt("lista de páginas libres no válida");
  freeHead_ = le32(page(at), 0);
  if (freeHead_ == at || freeHead_ % kPage != 0 || freeHead_ >= fileSize()) corrupt("lista de páginas libres no válida");
  changed_ = true;
  return at;
}

void CdxFile::freePage(uint32_t offset) {
  std::string p(kPage, '\0');
  putLe(p, 0, freeHead_, 4);
  writePage(offset, p);
  freeHead_ = offset;
}

void CdxFile::writeCounters() {
  std::string b(8, '\0');
  putLe(b, 0, freeHead_, 4);
  putBe32(b, 4, counter_);
  if (const int rc = env_.write(fd_, 4, b.data(), 8)) ioFailed(rc);
  if (auto it = pages_.find(0); it != pages_.end()) it->second.replace(4, 8, b);
}

void CdxFile::sync() {
  if (!readOnly_) env_.sync(fd_);
}

// ---- nodes ----------------------------------------------------------------------

CdxFile::Node CdxFile::readNode(uint32_t offset, int keyLength, char fill) {
  const std::string& p = page(offset);
  Node n;
  n.offset = offset;
  n.attr = le16(p, 0);
  const int count = le16(p, 2);
  n.left = le32(p, 4);
  n.right = le32(p, 8);
  if (n.attr > 3) corrupt("página " + std::to_string(offset) + " de tipo desconocido");
  if (!n.leaf()) {
    if (count * (keyLength + 8) > kInteriorRoom) corrupt("página interior " + std::to_string(offset) + " desbordada");
    for (int i = 0; i < count; ++i) {
      const size_t at = 12 + size_t(i) * size_t(keyLength + 8);
      n.keys.push_back({p.substr(at, size_t(keyLength)), be32(p, at + size_t(keyLength))});
      n.children.push_back(be32(p, at + size_t(keyLength) + 4));
    }
    checkSorted(n, offset);
    return n;
  }
  const int recBits = uint8_t(p[20]), dupBits = uint8_t(p[21]), trailBits = uint8_t(p[22]), bpe = uint8_t(p[23]);
  if (bpe < 3 || bpe > 8 || recBits + dupBits + trailBits != 8 * bpe || 24 + count * bpe > int(kPage))
    corrupt("hoja " + std::to_string(offset) + " con cabecera no válida");
  size_t pos = kPage;
  std::string prev;
  for (int i = 0; i < count; ++i) {
    uint64_t v = 0;
    for (int b = bpe - 1; b >= 0; --b) v = v << 8 | uint8_t(p[24 + size_t(i * bpe + b)]);
    const uint32_t rec = uint32_t(v & mask(recBits));
    const int dup = int((v >> recBits) & mask(dupBits));
    const int trail = int((v >> (recBits + dupBits)) & mask(trailBits));
    const int len = keyLength - dup - trail;
    if (len < 0 || size_t(dup) > prev.size() || pos < size_t(24 + count * bpe + len))
      corrupt("hoja " + std::to_string(offset) + " con claves no válidas");
    pos -= size_t(len);
    std::string key = prev.substr(0, size_t(dup)) + p.substr(pos, size_t(len)) + std::string(size_t(trail), fill);
    n.keys.push_back({key, rec});
    prev = std::move(key);
  }
  checkSorted(n, offset);
  return n;
}

void CdxFile::checkSorted(const Node& n, uint32_t offset) const {
  for (size_t i = 1; i < n.keys.size(); ++i)
    if (!entryLess(n.keys[i - 1], n.keys[i])) corrupt("página " + std::to_string(offset) + " con claves desordenadas");
}

void CdxFile::writeNode(const Node& n, int keyLength, char fill) {
  std::string p(kPage, '\0');
  putLe(p, 0, n.attr, 2);
  putLe(p, 2, n.keys.size(), 2);
  putLe(p, 4, n.left, 4);
  putLe(p, 8, n.right, 4);
  if (!n.leaf()) {
    for (size_t i = 0; i < n.keys.size(); ++i) {
      const size_t at = 12 + i * size_t(keyLength + 8);
      p.replace(at, size_t(keyLength), n.keys[i].key);
      putBe32(p, at + size_t(keyLength), n.keys[i].recno);
      putBe32(p, at + size_t(keyLength) + 4, n.children[i]);
    }
    writePage(n.offset, p);
    return;
  }
  const LeafShape s = leafShape(n.keys, keyLength, fill);
  const int bits = bitLength(keyLength);
  putLe(p, 12, uint32_t(kLeafRoom - s.total), 2);
  putLe(p, 14, mask(std::min(s.recBits, 32)), 4);
  p[18] = char(mask(bits));
  p[19] = char(mask(bits));
  p[20] = char(s.recBits);
  p[21] = char(bits);
  p[22] = char(bits);
  p[23] = char(s.bytesPerEntry);
  size_t pos = kPage;
  const std::string* prev = nullptr;
  for (size_t i = 0; i < n.keys.size(); ++i) {
    const std::string& key = n.keys[i].key;
    int dup = 0;
    if (prev)
      while (dup < keyLength && (*prev)[size_t(dup)] == key[size_t(dup)]) ++dup;
    int trail = 0;
    while (trail < keyLength - dup && key[size_t(keyLength - 1 - trail)] == fill) ++trail;
    const uint64_t v = uint64_t(n.keys[i].recno) | uint64_t(dup) << s.recBits | uint64_t(trail) << (s.recBits + bits);
    putLe(p, 24 + i * size_t(s.bytesPerEntry), v, s.bytesPerEntry);
    const size_t len = size_t(keyLength - dup - trail);
    pos -= len;
    p.replace(pos, len, key.substr(size_t(dup), len));
    prev = &key;
  }
  writePage(n.offset, p);
}

// ---- trees ----------------------------------------------------------------------

namespace {

// Splits `keys` into runs that each fit one page, as evenly as the sizes allow.
std::vector<std::vector<IndexEntry>> packRuns(const std::vector<IndexEntry>& keys, bool leaf, int keyLength, char fill) {
  std::vector<std::vector<IndexEntry>> runs;
  std::vector<IndexEntry> run;
  for (const IndexEntry& e : keys) {
    run.push_back(e);
    if (!fitsNode(run, leaf, keyLength, fill)) {
      run.pop_back();
      runs.push_back(std::move(run));
      run = {e};
    }
  }
  if (!run.empty() || runs.empty()) runs.push_back(std::move(run));
  return runs;
}

}  // namespace

uint32_t CdxFile::buildTree(std::vector<IndexEntry> sorted, int keyLength, char fill) {
  std::vector<Node> level;
  for (auto& run : packRuns(sorted, true, keyLength, fill)) {
    Node n;
    n.offset = allocatePage();
    n.attr = kLeafAttr;
    n.keys = std::move(run);
    level.push_back(std::move(n));
  }
  for (;;) {
    for (size_t i = 0; i < level.size(); ++i) {
      level[i].left = i == 0 ? kNone : level[i - 1].offset;
      level[i].right = i + 1 == level.size() ? kNone : level[i + 1].offset;
    }
    if (level.size() == 1) {
      level[0].attr |= kRootAttr;
      writeNode(level[0], keyLength, fill);
      return level[0].offset;
    }
    std::vector<IndexEntry> tops;
    std::vector<uint32_t> children;
    for (Node& n : level) {
      writeNode(n, keyLength, fill);
      tops.push_back(n.keys.back());
      children.push_back(n.offset);
    }
    std::vector<Node> up;
    size_t next = 0;
    for (auto& run : packRuns(tops, false, keyLength, fill)) {
      Node n;
      n.offset = allocatePage();
      n.children.assign(children.begin() + long(next), children.begin() + long(next + run.size()));
      next += run.size();
      n.keys = std::move(run);
      up.push_back(std::move(n));
    }
    level = std::move(up);
  }
}

void CdxFile::freeTree(uint32_t root, int keyLength, char fill) {
  const Node n = readNode(root, keyLength, fill);
  if (!n.leaf())
    for (uint32_t child : n.children) freeTree(child, keyLength, fill);
  freePage(root);
}

// `order` 0 is the tag directory itself, whose keys are the tag names.
void CdxFile::insertInto(CdxTag& tag, int order, const IndexEntry& e) {
  // Descend to the leaf, choosing the first child whose highest entry is not below e.
  std::vector<std::pair<Node, size_t>> path;
  Node node = readNode(tag.root, tag.keyLength, tag.fill);
  while (!node.leaf()) {
    if (node.keys.empty() || path.size() > kMaxDepth) corrupt("árbol de la etiqueta " + tag.name + " no válido");
    size_t i = 0;
    while (i + 1 < node.keys.size() && entryLess(node.keys[i], e)) ++i;
    const uint32_t child = node.children[i];
    path.push_back({std::move(node), i});
    node = readNode(child, tag.keyLength, tag.fill);
  }
  node.keys.insert(std::upper_bound(node.keys.begin(), node.keys.end(), e, entryLess), e);

  // Write the changed node; when it overflows, split it and carry the new
  // siblings into its parent, up to a new root when the root splits.
  std::vector<Node> pieces{std::move(node)};
  for (;;) {
    Node& first = pieces.front();
    if (!fitsNode(first.keys, first.leaf(), tag.keyLength, tag.fill)) {
      const bool leaf = first.leaf();
      const uint16_t attr = uint16_t(first.attr & ~kRootAttr);
      const uint32_t right = first.right;
      std::vector<IndexEntry> keys = std::move(first.keys);
      std::vector<uint32_t> children = std::move(first.children);
      const size_t half = keys.size() / 2;
      std::vector<std::vector<IndexEntry>> runs{{keys.begin(), keys.begin() + long(half)}, {keys.begin() + long(half), keys.end()}};
      if (!fitsNode(runs[0], leaf, tag.keyLength, tag.fill) || !fitsNode(runs[1], leaf, tag.keyLength, tag.fill))
        runs = packRuns(keys, leaf, tag.keyLength, tag.fill);
      std::vector<Node> split;
      size_t next = 0;
      for (size_t r = 0; r < runs.size(); ++r) {
        Node n;
        n.offset = r == 0 ? pieces.front().offset : allocatePage();
        n.attr = attr;
        if (!leaf) n.children.assign(children.begin() + long(next), children.begin() + long(next + runs[r].size()));
        next += runs[r].size();
        n.keys = std::move(runs[r]);
        split.push_back(std::move(n));
      }
      split.front().left = pieces.front().left;
      for (size_t r = 0; r + 1 < split.size(); ++r) {
        split[r].right = split[r + 1].offset;
        split[r + 1].left = split[r].offset;
      }
      split.back().right = right;
      if (right != kNone) {
        Node neighbour = readNode(right, tag.keyLength, tag.fill);
        neighbour.left = split.back().offset;
        writeNode(neighbour, tag.keyLength, tag.fill);
      }
      pieces = std::move(split);
    }
    for (const Node& n : pieces) writeNode(n, tag.keyLength, tag.fill);
    if (path.empty()) {
      if (pieces.size() == 1) return;
      Node root;
      root.offset = allocatePage();
      root.attr = kRootAttr;
      for (const Node& n : pieces) root.keys.push_back(n.keys.back()), root.children.push_back(n.offset);
      tag.root = root.offset;
      rootChanged(order, root.offset);
      pieces = {std::move(root)};
      continue;
    }
    auto [parent, i] = std::move(path.back());
    path.pop_back();
    const bool topChanged = !(parent.keys[i] == pieces.back().keys.back()) || pieces.size() > 1;
    if (!topChanged) return;
    parent.keys[i] = pieces.front().keys.back();
    for (size_t r = 1; r < pieces.size(); ++r) {
      parent.keys.insert(parent.keys.begin() + long(i + r), pieces[r].keys.back());
      parent.children.insert(parent.children.begin() + long(i + r), pieces[r].offset);
    }
    pieces = {std::move(parent)};
  }
}

void CdxFile::removeFrom(CdxTag& tag, const IndexEntry& e) {
  std::vector<std::pair<Node, size_t>> path;
  Node node = readNode(tag.root, tag.keyLength, tag.fill);
  while (!node.leaf()) {
    if (path.size() > kMaxDepth) corrupt("árbol de la etiqueta " + tag.name + " no válido");
    size_t i = 0;
    while (i < node.keys.size() && entryLess(node.keys[i], e)) ++i;
    if (i == node.keys.size()) return;  // beyond every key: not in the tag
    const uint32_t child = node.children[i];
    path.push_back({std::move(node), i});
    node = readNode(child, tag.keyLength, tag.fill);
  }
  auto it = std::find(node.keys.begin(), node.keys.end(), e);
  if (it == node.keys.end()) return;
  node.keys.erase(it);
  for (;;) {
    if (node.keys.empty() && !path.empty()) {
      // An empty page leaves the tree; its neighbours close the gap.
      if (node.left != kNone) {
        Node l = readNode(node.left, tag.keyLength, tag.fill);
        l.right = node.right;
        writeNode(l, tag.keyLength, tag.fill);
      }
      if (node.right != kNone) {
        Node r = readNode(node.right, tag.keyLength, tag.fill);
        r.left = node.left;
        writeNode(r, tag.keyLength, tag.fill);
      }
      freePage(node.offset);
      auto [parent, i] = std::move(path.back());
      path.pop_back();
      parent.keys.erase(parent.keys.begin() + long(i));
      parent.children.erase(parent.children.begin() + long(i));
      node = std::move(parent);
      continue;
    }
    if (node.keys.empty()) node.attr = kRootAttr | kLeafAttr;  // the last key of the tag is gone
    writeNode(node, tag.keyLength, tag.fill);
    if (path.empty()) return;
    auto [parent, i] = std::move(path.back());
    path.pop_back();
    if (parent.keys[i] == node.keys.back()) return;
    parent.keys[i] = node.keys.back();
    node = std::move(parent);
  }
}

// ---- tags -----------------------------------------------------------------------

void CdxFile::rootChanged(int order, uint32_t root) {
  std::string b(4, '\0');
  putLe(b, 0, root, 4);
  const uint32_t header = order == 0 ? 0 : tags_[size_t(order - 1)].header;
  if (const int rc = env_.write(fd_, header, b.data(), 4)) ioFailed(rc);
  if (auto it = pages_.find(header); it != pages_.end()) it->second.replace(0, 4, b);
  changed_ = true;
}

void CdxFile::readDirectory() {
  if (directoryValid_) return;
  const std::string h = page(0);
  CdxTag dir;
  dir.root = le32(h, 0);
  dir.keyLength = le16(h, 12);
  if (dir.keyLength != 10) corrupt("directorio de etiquetas no válido");
  std::vector<IndexEntry> names;
  std::set<uint32_t> seen;
  std::function<void(uint32_t, int)> walk = [&](uint32_t at, int depth) {
    if (depth > int(kMaxDepth) || !seen.insert(at).second) corrupt("árbol del directorio no válido");
    const Node n = readNode(at, 10, ' ');
    if (n.leaf())
      names.insert(names.end(), n.keys.begin(), n.keys.end());
    else
      for (uint32_t c : n.children) walk(c, depth + 1);
  };
  walk(dir.root, 0);
  std::sort(names.begin(), names.end(), [](const IndexEntry& a, const IndexEntry& b) { return a.recno < b.recno; });
  tags_.clear();
  for (const IndexEntry& e : names) {
    if (e.recno < 3 * kPage || e.recno % kPage != 0) corrupt("cabecera de etiqueta fuera del archivo");
    const std::string th = tagHeader(e.recno);
    CdxTag t;
    t.name = e.key.substr(0, e.key.find_last_not_of(' ') + 1);
    t.header = e.recno;
    t.root = le32(th, 0);
    t.keyLength = le16(th, 12);
    t.options = uint8_t(th[14]);
    t.descending = le16(th, 502) != 0;
    const int forPos = le16(th, 504), forLen = le16(th, 506), keyPos = le16(th, 508), keyLen = le16(th, 510);
    auto text = [&](int pos, int len) {
      if (len < 1 || pos + len > int(kPage)) return std::string();
      const std::string raw = th.substr(size_t(kPage + pos), size_t(len - 1));
      return raw.substr(0, raw.find('\0'));
    };
    t.keyExpression = text(keyPos, keyLen);
    t.forExpression = text(forPos, forLen);
    if (auto it = fills_.find(t.name); it != fills_.end()) t.fill = it->second;
    tags_.push_back(std::move(t));
  }
  directoryValid_ = true;
}

const std::vector<CdxTag>& CdxFile::tags() {
  Lock lock(*this, false);
  readDirectory();
  return tags_;
}

int CdxFile::tagNumber(const std::string& name) {
  const std::string want = upperAscii(name);
  const auto& all = tags();
  for (size_t i = 0; i < all.size(); ++i)
    if (all[i].name == want) return int(i + 1);
  return 0;
}

void CdxFile::setFill(int order, char fill) {
  const std::string name = tags()[size_t(order - 1)].name;
  fills_[name] = fill;
  tags_[size_t(order - 1)].fill = fill;
  entries_.erase(order);
}

const std::vector<IndexEntry>& CdxFile::entries(int order) {
  Lock lock(*this, false);
  readDirectory();
  auto it = entries_.find(order);
  if (it != entries_.end()) return it->second;
  const CdxTag& t = tags_.at(size_t(order - 1));
  std::vector<IndexEntry> all;
  std::set<uint32_t> seen;
  std::function<void(uint32_t, int)> walk = [&](uint32_t at, int depth) {
    if (depth > int(kMaxDepth) || !seen.insert(at).second) corrupt("árbol de la etiqueta " + t.name + " no válido");
    const Node n = readNode(at, t.keyLength, t.fill);
    if (n.leaf())
      all.insert(all.end(), n.keys.begin(), n.keys.end());
    else
      for (uint32_t c : n.children) walk(c, depth + 1);
  };
  walk(t.root, 0);
  return entries_[order] = std::move(all);
}

void CdxFile::insert(int order, const IndexEntry& e) {
  Lock lock(*this, true);
  readDirectory();
  insertInto(tags_.at(size_t(order - 1)), order, e);
  entries_.erase(order);
}

void CdxFile::remove(int order, const IndexEntry& e) {
  Lock lock(*this, true);
  readDirectory();
  removeFrom(tags_.at(size_t(order - 1)), e);
  entries_.erase(order);
}

std::pair<CdxFile::Node, long> CdxFile::startLeaf(const CdxTag& t, const IndexEntry& from, bool forward,
                                                  bool inclusive) {
  // "Past" is the first entry the visit must not start before (forward) or
  // the first it must not reach (backward): >= from, or > from.
  auto past = [&](const IndexEntry& k) { return inclusive != forward ? entryLess(from, k) : !entryLess(k, from); };
  Node node = readNode(t.root, t.keyLength, t.fill);
  for (size_t depth = 0; !node.leaf(); ++depth) {
    if (node.keys.empty() || depth > kMaxDepth) corrupt("árbol de la etiqueta " + t.name + " no válido");
    size_t i = 0;
    while (i + 1 < node.keys.size() && !past(node.keys[i])) ++i;
    node = readNode(node.children[i], t.keyLength, t.fill);
  }
  long i = 0;
  while (i < long(node.keys.size()) && !past(node.keys[size_t(i)])) ++i;
  return {std::move(node), forward ? i : i - 1};
}

void CdxFile::scan(int order, const IndexEntry& from, bool forward, bool inclusive,
                   const std::function<bool(const IndexEntry&)>& visit) {
  Lock lock(*this, false);
  readDirectory();
  const CdxTag& t = tags_.at(size_t(order - 1));
  auto [node, i] = startLeaf(t, from, forward, inclusive);
  std::set<uint32_t> seen{node.offset};
  std::optional<IndexEntry> previous;
  for (;;) {
    for (; i >= 0 && i < long(node.keys.size()); i += forward ? 1 : -1) {
      const IndexEntry& e = node.keys[size_t(i)];
      // Pages out of order would make navigation go round for ever.
      const bool inOrder = previous ? (forward ? entryLess(*previous, e) : entryLess(e, *previous))
                           : forward   ? (inclusive ? !entryLess(e, from) : entryLess(from, e))
                                       : (inclusive ? !entryLess(from, e) : entryLess(e, from));
      if (!inOrder) corrupt("hojas de la etiqueta " + t.name + " desordenadas");
      if (!visit(e)) return;
      previous = e;
    }
    const uint32_t next = forward ? node.right : node.left;
    if (next == kNone) return;
    if (!seen.insert(next).second) corrupt("hojas de la etiqueta " + t.name + " enlazadas en ciclo");
    node = readNode(next, t.keyLength, t.fill);
    if (!node.leaf()) corrupt("hoja de la etiqueta " + t.name + " enlazada con una página interior");
    i = forward ? 0 : long(node.keys.size()) - 1;
  }
}

std::vector<std::string> CdxFile::verify(int order) {
  Lock lock(*this, false);
  readDirectory();
  const CdxTag& t = tags_.at(size_t(order - 1));
  std::vector<std::string> problems;
  std::vector<uint32_t> leaves;
  std::set<uint32_t> seen;
  std::function<void(uint32_t, int, const IndexEntry*)> walk = [&](uint32_t at, int depth, const IndexEntry* top) {
    if (depth > int(kMaxDepth) || !seen.insert(at).second) corrupt("árbol de la etiqueta " + t.name + " no válido");
    const Node n = readNode(at, t.keyLength, t.fill);
    const std::string where = "etiqueta " + t.name + ", página " + std::to_string(at) + ": ";
    if (((n.attr & kRootAttr) != 0) != (depth == 0)) problems.push_back(where + "marca de raíz errónea");
    if (n.keys.empty() && depth > 0) problems.push_back(where + "página vacía");
    for (size_t i = 1; i < n.keys.size(); ++i)
      if (!entryLess(n.keys[i - 1], n.keys[i])) problems.push_back(where + "claves desordenadas");
    if (top && !n.keys.empty() && !(n.keys.back() == *top))
      problems.push_back(where + "la clave de la página superior no es la mayor de esta");
    if (n.leaf()) {
      leaves.push_back(at);
      return;
    }
    for (size_t i = 0; i < n.children.size(); ++i) walk(n.children[i], depth + 1, &n.keys[i]);
  };
  walk(t.root, 0, nullptr);
  for (size_t i = 0; i < leaves.size(); ++i) {
    const Node n = readNode(leaves[i], t.keyLength, t.fill);
    const uint32_t left = i == 0 ? kNone : leaves[i - 1], right = i + 1 == leaves.size() ? kNone : leaves[i + 1];
    if (n.left != left || n.right != right)
      problems.push_back("etiqueta " + t.name + ", hoja " + std::to_string(leaves[i]) + ": enlaces con las hojas vecinas erróneos");
  }
  return problems;
}

void CdxFile::writeTagHeader(const CdxTag& t) {
  std::string h(2 * kPage, '\0');
  putLe(h, 0, t.root, 4);
  putLe(h, 12, uint32_t(t.keyLength), 2);
  h[14] = char(t.options);
  h[15] = 1;
  putLe(h, 502, t.descending ? 1 : 0, 2);
  const size_t keyLen = t.keyExpression.size(), forLen = t.forExpression.size();
  if (keyLen + forLen + 2 > kPage) corrupt("expresiones de la etiqueta " + t.name + " demasiado largas");
  putLe(h, 504, keyLen + 1, 2);
  putLe(h, 506, forLen + 1, 2);
  putLe(h, 508, 0, 2);
  putLe(h, 510, keyLen + 1, 2);
  h.replace(kPage, keyLen, t.keyExpression);
  h.replace(kPage + keyLen + 1, forLen, t.forExpression);
  writePage(t.header, h);
}

int CdxFile::createTag(const std::string& name, const std::string& keyExpression, const std::string& forExpression,
                       int keyLength, char fill, bool descending, std::vector<IndexEntry> sorted) {
  if (keyLength < 1 || keyLength > 240)
    throw EngineError(err::kCreate, err::kCreateSub, "ORDCREATE", path_.string(), "clave de " + std::to_string(keyLength) + " bytes");
  Lock lock(*this, true);
  readDirectory();
  CdxTag t;
  t.name = upperAscii(name).substr(0, 10);
  t.keyLength = keyLength;
  t.fill = fill;
  t.descending = descending;
  t.keyExpression = keyExpression;
  t.forExpression = forExpression;
  t.options = uint8_t(kTagOptions | (forExpression.empty() ? 0 : kForOption));
  fills_[t.name] = fill;
  int order = 0;
  for (size_t i = 0; i < tags_.size(); ++i)
    if (tags_[i].name == t.name) order = int(i + 1);
  if (order != 0) {
    const CdxTag& old = tags_[size_t(order - 1)];
    freeTree(old.root, old.keyLength, old.fill);
    t.header = old.header;
  } else {
    t.header = appendPages(2);
  }
  t.root = buildTree(std::move(sorted), keyLength, fill);
  writeTagHeader(t);
  if (order == 0) {
    CdxTag dir;
    dir.root = le32(page(0), 0);
    dir.keyLength = 10;
    insertInto(dir, 0, {paddedName(t.name), t.header});
  }
  directoryValid_ = false;
  entries_.clear();
  readDirectory();
  return tagNumber(t.name);
}

void CdxFile::rebuild(int order, std::vector<IndexEntry> sorted) {
  Lock lock(*this, true);
  readDirectory();
  CdxTag& t = tags_.at(size_t(order - 1));
  freeTree(t.root, t.keyLength, t.fill);
  t.root = buildTree(std::move(sorted), t.keyLength, t.fill);
  rootChanged(order, t.root);
  entries_.erase(order);
}

}  // namespace canalix::store
