#include "engine/field/power_table.h"

#include <cstring>

#include "engine/errors.h"
#include "engine/field/gf_expo.h"
#include "engine/keys/vrx_header.h"

namespace nimbra::engine {

TAbstractPowerTable::TAbstractPowerTable(int n, int m) : n_(n), m_(m) {}

std::uint32_t TAbstractPowerTable::ByteSize() const {
  return static_cast<std::uint32_t>(EntryCount()) * static_cast<std::uint32_t>(EntryWords()) * 4;
}

void TAbstractPowerTable::Allocate() const {
  if (!entries_) {
    const std::size_t words = static_cast<std::size_t>(EntryCount()) * EntryWords();
    entries_ = std::make_unique<std::uint32_t[]>(words);
  }
}

std::uint32_t* TAbstractPowerTable::Entry(int i) {
  Allocate();
  return entries_.get() + static_cast<std::size_t>(i) * EntryWords();
}

const std::uint32_t* TAbstractPowerTable::Entry(int i) const {
  Allocate();
  return entries_.get() + static_cast<std::size_t>(i) * EntryWords();
}

void TAbstractPowerTable::LoadFromStream(Stream& s) {
  try {
    TVRXPowerTableHeader header;
    header.LoadFromStream(s);
    if (header.TableByteSize != ByteSize())
      throw EPowerTableStreamLoadFailure(msg::kPowerTableLoad);
    s.ReadBuffer(Entry(0), ByteSize());
  } catch (const nimbra::Exception&) {
    throw EPowerTableStreamLoadFailure(msg::kPowerTableLoad);
  }
  built_ = true;
  loaded_ = true;
}

void TAbstractPowerTable::SaveToStream(Stream& s) const {
  try {
    TVRXPowerTableHeader header;
    header.TableByteSize = ByteSize();
    header.SaveToStream(s);
    s.WriteBuffer(Entry(0), ByteSize());
  } catch (const nimbra::Exception&) {
    throw EPowerTableStreamSaveFailure(msg::kPowerTableSave);
  }
}

void TAbstractPowerTable::Release() {
  entries_.reset();
  built_ = false;
  loaded_ = false;
}

TPowerTableAccQ::TPowerTableAccQ(int n, const std::uint32_t* base, int w, int m)
    : TAbstractPowerTable(n, m), w_(w) {
  std::memcpy(Entry(0), base, static_cast<std::size_t>(EntryWords()) * 4);
  Build();
}

void TPowerTableAccQ::Build() {
  if (Built()) return;
  const auto& f = field::GFField::For(N(), M());
  for (int j = 1; j < EntryCount(); ++j) field::MultiplyWords(f, Entry(j), Entry(j - 1), Entry(0));
  MarkBuilt();
}

}  // namespace nimbra::engine
