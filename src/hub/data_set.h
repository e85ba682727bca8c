// A named bag of text values with typed access: every value lives as text in its own string
// stream, typed writes format into it and typed reads parse it without consuming it.
#pragma once

#include <qrx/data_set.h>

#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace qrx {

template <class Interface = IDataSet> class CDataSet;

template <> class CDataSet<IDataSet> final : public IDataSet {
public:
  explicit CDataSet(std::string name = std::string());
  ~CDataSet();
  CDataSet(const CDataSet &) = delete;
  CDataSet &operator=(const CDataSet &) = delete;

  // A data set that is a member of another object lives as long as its owner: Release never
  // destroys it, whatever a test library's AddRef/Release pairs do to the count.
  void MakeMember() { member_ = true; }
  // Releases the attached children now. An owner of several data sets calls it on each before
  // destroying any, so that one attached to another is never released after its end.
  void ReleaseChildren();

  void *Reserved0() override { return nullptr; }
  void Release() override;
  std::string GetName() override { return name_; }
  void SetBool(const std::string &key, bool value) override;
  void SetDouble(const std::string &key, double value) override;
  void SetInt(const std::string &key, int value) override;
  void SetString(const std::string &key, const std::string &value) override;
  int GetBool(const std::string &key, bool *out) override;
  int GetDouble(const std::string &key, double *out) override;
  int GetInt(const std::string &key, int *out) override;
  int GetString(const std::string &key, std::string &inout) override;
  void AddChild(IDataSet *child) override;
  int AddRef() override { return ++refCount_; }

  bool Contains(const std::string &key) const { return values_.count(key) != 0; }
  size_t Size() const { return values_.size(); }

private:
  std::stringstream &StreamFor(const std::string &key);
  template <class T> int Read(const std::string &key, T *out);

  std::string name_;
  int refCount_ = 0;
  std::map<std::string, std::unique_ptr<std::stringstream>> values_;
  std::vector<IDataSet *> children_;
  // Streams of erased entries, reused by the next new entry: building a stream costs more than
  // the rest of an export's staging, and staging creates and erases entries on every call.
  std::vector<std::unique_ptr<std::stringstream>> spare_;
  bool member_ = false;
};

using DataSet = CDataSet<IDataSet>;

} // namespace qrx
