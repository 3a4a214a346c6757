// TArcFileAttr: a DOS attribute mask (0..63) with one Boolean view per bit.
#pragma once

#include <cstdint>

namespace quil {

class TArcFileAttr {
 public:
  static constexpr int32_t faReadOnly = 0x01, faHidden = 0x02, faSysFile = 0x04, faVolumeID = 0x08,
                           faDirectory = 0x10, faArchive = 0x20, faAnyFile = 0x3F;

  int32_t ftFileAttr() const { return FMask; }
  void SetftFileAttr(int32_t v) {
    if (v >= 0 && v <= 63) FMask = v;
  }
  bool ftArchive() const { return Has(faArchive); }
  bool ftHidden() const { return Has(faHidden); }
  bool ftReadOnly() const { return Has(faReadOnly); }
  bool ftSysFile() const { return Has(faSysFile); }
  bool ftVolumeID() const { return Has(faVolumeID); }
  bool ftDirectory() const { return Has(faDirectory); }
  bool ftAnyFile() const { return FMask == faAnyFile; }
  void SetftArchive(bool on) { Set(faArchive, on); }
  void SetftHidden(bool on) { Set(faHidden, on); }
  void SetftReadOnly(bool on) { Set(faReadOnly, on); }
  void SetftSysFile(bool on) { Set(faSysFile, on); }
  void SetftVolumeID(bool on) { Set(faVolumeID, on); }
  void SetftDirectory(bool on) { Set(faDirectory, on); }
  // True sets the mask to 63; False leaves it as it is.
  void SetftAnyFile(bool on) {
    if (on) FMask = faAnyFile;
  }
  // Copies the six single-bit views.
  void Assign(const TArcFileAttr& o) { FMask = o.FMask; }

 private:
  bool Has(int32_t bit) const { return (FMask & bit) != 0; }
  void Set(int32_t bit, bool on) { FMask = on ? (FMask | bit) : (FMask & ~bit); }
  int32_t FMask = faAnyFile;
};

}  // namespace quil
