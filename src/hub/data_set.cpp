// Data-set storage and the default-state stream formatting and parsing of its values.
#include "hub/data_set.h"

#include <locale>

namespace qrx {

CDataSet<IDataSet>::CDataSet(std::string name) : name_(std::move(name)) {}

CDataSet<IDataSet>::~CDataSet() {
  values_.clear();
  ReleaseChildren();
}

void CDataSet<IDataSet>::ReleaseChildren() {
  // Taken out first: a child's release may end a data set that reaches this one again.
  std::vector<IDataSet *> children;
  children.swap(children_);
  for (IDataSet *child : children)
    if (child) child->Release();
}

void CDataSet<IDataSet>::Release() {
  --refCount_;
  if (member_) {
    if (refCount_ < 0) refCount_ = 0;
    return;
  }
  if (refCount_ == 0) delete this;
}

std::stringstream &CDataSet<IDataSet>::StreamFor(const std::string &key) {
  auto it = values_.find(key);
  if (it == values_.end()) {
    std::unique_ptr<std::stringstream> stream;
    if (!spare_.empty()) {
      stream = std::move(spare_.back());
      spare_.pop_back();
    } else {
      stream = std::make_unique<std::stringstream>(std::ios::in | std::ios::out);
      // Numbers are written and read the same whatever locale the host installed.
      stream->imbue(std::locale::classic());
    }
    it = values_.emplace(key, std::move(stream)).first;
  }
  std::stringstream &s = *it->second;
  s.str(std::string());
  s.clear();
  return s;
}

void CDataSet<IDataSet>::SetBool(const std::string &key, bool value) { StreamFor(key) << value; }
void CDataSet<IDataSet>::SetDouble(const std::string &key, double value) { StreamFor(key) << value; }
void CDataSet<IDataSet>::SetInt(const std::string &key, int value) { StreamFor(key) << value; }
void CDataSet<IDataSet>::SetString(const std::string &key, const std::string &value) {
  StreamFor(key) << value;
}

template <class T> int CDataSet<IDataSet>::Read(const std::string &key, T *out) {
  auto it = values_.find(key);
  if (it == values_.end()) return -1;
  std::stringstream &s = *it->second;
  s.clear();
  auto pos = s.tellg();
  T value{};
  if ((s >> value) && out) *out = value;
  s.clear();
  s.seekg(pos);
  return 0;
}

int CDataSet<IDataSet>::GetBool(const std::string &key, bool *out) { return Read(key, out); }
int CDataSet<IDataSet>::GetDouble(const std::string &key, double *out) { return Read(key, out); }
int CDataSet<IDataSet>::GetInt(const std::string &key, int *out) { return Read(key, out); }

int CDataSet<IDataSet>::GetString(const std::string &key, std::string &inout) {
  auto it = values_.find(key);
  if (it == values_.end()) return -1;
  if (inout == "erase") {
    constexpr size_t kMostSpare = 64;
    if (spare_.size() < kMostSpare) spare_.push_back(std::move(it->second));
    values_.erase(it);
    return 0;
  }
  inout = it->second->str();
  return 0;
}

void CDataSet<IDataSet>::AddChild(IDataSet *child) {
  // Only data sets of our own kind can carry the reference this set takes on its children.
  auto *own = dynamic_cast<CDataSet<IDataSet> *>(child);
  if (!own) return;
  own->AddRef();
  children_.push_back(own);
}

} // namespace qrx
