// An .ico file: one group, whose directory is the ICONDIR at the file's start, and whose
// entries give their images' places themselves.
#include "FormatReader.h"
#include "Records.h"

namespace quorvane::icons {
namespace {

using namespace records;

class IcoDirectory final : public FormatReader {
  public:
    explicit IcoDirectory(std::uint16_t idCount) : m_idCount(idCount) {}

    FileKind kind() const override { return FileKind::Ico; }
    std::uint32_t groupCount() const override { return 1; }
    Result<Extent> groupDirectory(std::uint32_t) const override {
        return Extent{0, sizeof(IconDir) + std::uint64_t{m_idCount} * sizeof(records::IcoDirEntry)};
    }
    Result<ResourceName> groupName(std::uint32_t) const override {
        return ResourceName{true, 1, {}};
    }
    Result<Extent> image(const IconDirEntry& entry) const override {
        return Extent{entry.dwImageOffset, entry.dwBytesInRes};
    }

  private:
    std::uint16_t m_idCount;
};

} // namespace

// The header alone decides the count: an .ico file holds one icon.
FormatResult openIco(const Source& source) {
    auto header = readRecord<IconDir>(source, 0);
    if (!header || header->idCount == 0)
        return fail(IconError::NotIconFile, "an .ico file of no images");
    return std::make_unique<IcoDirectory>(header->idCount);
}

} // namespace quorvane::icons
