#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/stream.h"

namespace nimbra::engine {

// A table of field elements of one register length (n, m), stored as one
// block of EntryCount() entries of EntryWords() words each, and its stream
// form: a power-table header with the byte size, then the entries.
class TAbstractPowerTable {
 public:
  TAbstractPowerTable(int n, int m);
  virtual ~TAbstractPowerTable() = default;
  TAbstractPowerTable(const TAbstractPowerTable&) = delete;
  TAbstractPowerTable& operator=(const TAbstractPowerTable&) = delete;

  // Fills the entries unless the table is already built or loaded.
  virtual void Build() = 0;
  virtual std::string TableName() const = 0;
  virtual int EntryCount() const = 0;
  std::uint32_t ByteSize() const;
  int EntryWords() const { return (n_ - 1) / 32 + 1; }
  // Entry i (0-based); the block is allocated on first need.
  std::uint32_t* Entry(int i);
  const std::uint32_t* Entry(int i) const;

  // Raises EPowerTableStreamLoadFailure / EPowerTableStreamSaveFailure.
  virtual void LoadFromStream(Stream& s);
  virtual void SaveToStream(Stream& s) const;
  // Frees the entries; the table must be built or loaded again.
  virtual void Release();

  // Texts placed before and after TableName in FileName.
  virtual std::string FileNamePrefix() const { return {}; }
  virtual std::string FileNameSuffix() const { return {}; }
  std::string FileName() const { return FileNamePrefix() + TableName() + FileNameSuffix(); }

  int N() const { return n_; }
  int M() const { return m_; }
  bool Built() const { return built_; }
  bool Loaded() const { return loaded_; }

 protected:
  void Allocate() const;
  void MarkBuilt() { built_ = true; }

 private:
  int n_, m_;
  bool built_ = false;
  bool loaded_ = false;
  mutable std::unique_ptr<std::uint32_t[]> entries_;
};

// Entries B^1 .. B^(2^w) of a base B, built at construction.
class TPowerTableAccQ : public TAbstractPowerTable {
 public:
  TPowerTableAccQ(int n, const std::uint32_t* base, int w, int m);

  void Build() override;
  std::string TableName() const override { return {}; }
  int EntryCount() const override { return 1 << w_; }
  int Width() const { return w_; }

 private:
  int w_;
};

}  // namespace nimbra::engine
