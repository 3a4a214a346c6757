#include "platform/VolumeInfo.h"

// Placeholder until the mount-table source lands.
namespace quil {
namespace {
class NullVolumeSource : public IVolumeSource {
 public:
  std::string VolumeRootOf(const std::string&) override { return "/"; }
  bool Query(const std::string&, TVolumeInfo&, std::string& error) override {
    error = "not implemented";
    return false;
  }
};
std::shared_ptr<IVolumeSource> g_source;
}  // namespace

IVolumeSource& VolumeSource() {
  static NullVolumeSource real;
  return g_source ? *g_source : static_cast<IVolumeSource&>(real);
}
void SetVolumeSource(std::shared_ptr<IVolumeSource> source) { g_source = std::move(source); }
}  // namespace quil
