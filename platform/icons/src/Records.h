// The on-disk records the reader meets, as offsets of their fields under the names that their
// documentation gives them; each record's size is checked against its last field here.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quorvane::icons::records {

// IMAGE_DOS_HEADER: only the fields the reader uses.
struct ImageDosHeader {
    static constexpr std::size_t e_magic = 0x00;
    static constexpr std::size_t e_lfanew = 0x3C;
    static constexpr std::size_t kSize = 64;
    static constexpr std::uint16_t kMagic = 0x5A4D; // "MZ"
};
static_assert(ImageDosHeader::e_lfanew + 4 == ImageDosHeader::kSize);

// The 4-byte signature at e_lfanew: "PE\0\0", or "NE" for a 16-bit module.
inline constexpr std::uint32_t kPeSignature = 0x00004550u;
inline constexpr std::uint16_t kNeSignature = 0x454E;
inline constexpr std::size_t kPeSignatureSize = 4;

// IMAGE_FILE_HEADER, after the PE signature.
struct ImageFileHeader {
    static constexpr std::size_t Machine = 0;
    static constexpr std::size_t NumberOfSections = 2;
    static constexpr std::size_t TimeDateStamp = 4;
    static constexpr std::size_t PointerToSymbolTable = 8;
    static constexpr std::size_t NumberOfSymbols = 12;
    static constexpr std::size_t SizeOfOptionalHeader = 16;
    static constexpr std::size_t Characteristics = 18;
    static constexpr std::size_t kSize = 20;
};
static_assert(ImageFileHeader::Characteristics + 2 == ImageFileHeader::kSize);

// IMAGE_OPTIONAL_HEADER32 and IMAGE_OPTIONAL_HEADER64: where the data directories start.
struct ImageOptionalHeader {
    static constexpr std::size_t Magic = 0;
    static constexpr std::uint16_t kPe32Magic = 0x10B;
    static constexpr std::uint16_t kPe32PlusMagic = 0x20B;
    static constexpr std::size_t NumberOfRvaAndSizes32 = 92;
    static constexpr std::size_t DataDirectory32 = 96;
    static constexpr std::size_t NumberOfRvaAndSizes64 = 108;
    static constexpr std::size_t DataDirectory64 = 112;
};
static_assert(ImageOptionalHeader::NumberOfRvaAndSizes32 + 4 ==
              ImageOptionalHeader::DataDirectory32);
static_assert(ImageOptionalHeader::NumberOfRvaAndSizes64 + 4 ==
              ImageOptionalHeader::DataDirectory64);

// IMAGE_DATA_DIRECTORY, one of the optional header's table.
struct ImageDataDirectory {
    static constexpr std::size_t VirtualAddress = 0;
    static constexpr std::size_t Size = 4;
    static constexpr std::size_t kSize = 8;
};
static_assert(ImageDataDirectory::Size + 4 == ImageDataDirectory::kSize);
inline constexpr std::uint32_t IMAGE_DIRECTORY_ENTRY_RESOURCE = 2;

// IMAGE_SECTION_HEADER.
struct ImageSectionHeader {
    static constexpr std::size_t Name = 0;
    static constexpr std::size_t VirtualSize = 8;
    static constexpr std::size_t VirtualAddress = 12;
    static constexpr std::size_t SizeOfRawData = 16;
    static constexpr std::size_t PointerToRawData = 20;
    static constexpr std::size_t PointerToRelocations = 24;
    static constexpr std::size_t PointerToLinenumbers = 28;
    static constexpr std::size_t NumberOfRelocations = 32;
    static constexpr std::size_t NumberOfLinenumbers = 34;
    static constexpr std::size_t Characteristics = 36;
    static constexpr std::size_t kSize = 40;
};
static_assert(ImageSectionHeader::Characteristics + 4 == ImageSectionHeader::kSize);

// IMAGE_RESOURCE_DIRECTORY, followed by its named entries, then its id entries.
struct ImageResourceDirectory {
    static constexpr std::size_t Characteristics = 0;
    static constexpr std::size_t TimeDateStamp = 4;
    static constexpr std::size_t MajorVersion = 8;
    static constexpr std::size_t MinorVersion = 10;
    static constexpr std::size_t NumberOfNamedEntries = 12;
    static constexpr std::size_t NumberOfIdEntries = 14;
    static constexpr std::size_t kSize = 16;
};
static_assert(ImageResourceDirectory::NumberOfIdEntries + 2 == ImageResourceDirectory::kSize);

// IMAGE_RESOURCE_DIRECTORY_ENTRY. The high bit of Name marks a name string, that of
// OffsetToData a subdirectory; both offsets count from the start of the resource section.
struct ImageResourceDirectoryEntry {
    static constexpr std::size_t Name = 0;
    static constexpr std::size_t OffsetToData = 4;
    static constexpr std::size_t kSize = 8;
    static constexpr std::uint32_t kHighBit = 0x80000000u;
};
static_assert(ImageResourceDirectoryEntry::OffsetToData + 4 == ImageResourceDirectoryEntry::kSize);

// IMAGE_RESOURCE_DATA_ENTRY: OffsetToData is an RVA.
struct ImageResourceDataEntry {
    static constexpr std::size_t OffsetToData = 0;
    static constexpr std::size_t Size = 4;
    static constexpr std::size_t CodePage = 8;
    static constexpr std::size_t Reserved = 12;
    static constexpr std::size_t kSize = 16;
};
static_assert(ImageResourceDataEntry::Reserved + 4 == ImageResourceDataEntry::kSize);

// IMAGE_RESOURCE_DIR_STRING_U: a count of UTF-16 units, then the units.
struct ImageResourceDirStringU {
    static constexpr std::size_t Length = 0;
    static constexpr std::size_t NameString = 2;
};

inline constexpr std::uint16_t RT_ICON = 3;
inline constexpr std::uint16_t RT_GROUP_ICON = 14;

// GRPICONDIR (in an RT_GROUP_ICON resource) and ICONDIR (at the start of an .ico file).
struct IconDir {
    static constexpr std::size_t idReserved = 0;
    static constexpr std::size_t idType = 2;
    static constexpr std::size_t idCount = 4;
    static constexpr std::size_t kSize = 6;
    static constexpr std::uint16_t kIconType = 1; // 2 is a cursor
};
static_assert(IconDir::idCount + 2 == IconDir::kSize);

// The fields that GRPICONDIRENTRY and ICONDIRENTRY share, and where the two differ.
struct IconDirEntryFields {
    static constexpr std::size_t bWidth = 0;
    static constexpr std::size_t bHeight = 1;
    static constexpr std::size_t bColorCount = 2;
    static constexpr std::size_t bReserved = 3;
    static constexpr std::size_t wPlanes = 4;
    static constexpr std::size_t wBitCount = 6;
    static constexpr std::size_t dwBytesInRes = 8;
};
struct GrpIconDirEntry : IconDirEntryFields {
    static constexpr std::size_t nId = 12;
    static constexpr std::size_t kSize = 14;
};
static_assert(GrpIconDirEntry::nId + 2 == GrpIconDirEntry::kSize);
struct IconDirEntryRecord : IconDirEntryFields {
    static constexpr std::size_t dwImageOffset = 12;
    static constexpr std::size_t kSize = 16;
};
static_assert(IconDirEntryRecord::dwImageOffset + 4 == IconDirEntryRecord::kSize);

// IMAGE_OS2_HEADER, the NE header: only the fields the reader uses.
struct ImageOs2Header {
    static constexpr std::size_t ne_magic = 0x00;
    static constexpr std::size_t ne_rsrctab = 0x24;
    static constexpr std::size_t ne_restab = 0x26;
    static constexpr std::size_t kSize = 0x40;
};
static_assert(ImageOs2Header::ne_restab + 2 <= ImageOs2Header::kSize);

// The NE resource table: rscAlignShift, then TYPEINFOs each followed by its NAMEINFOs, ended
// by a type id of 0; offsets and lengths count in units of 1 << rscAlignShift bytes.
struct NeResourceTable {
    static constexpr std::size_t rscAlignShift = 0;
    static constexpr std::size_t rscTypes = 2;
};
struct TypeInfo {
    static constexpr std::size_t rtTypeID = 0;
    static constexpr std::size_t rtResourceCount = 2;
    static constexpr std::size_t rtReserved = 4;
    static constexpr std::size_t rtNameInfo = 8;
    static constexpr std::size_t kSize = 8;
};
static_assert(TypeInfo::rtReserved + 4 == TypeInfo::kSize);
struct NameInfo {
    static constexpr std::size_t rnOffset = 0;
    static constexpr std::size_t rnLength = 2;
    static constexpr std::size_t rnFlags = 4;
    static constexpr std::size_t rnID = 6;
    static constexpr std::size_t rnHandle = 8;
    static constexpr std::size_t rnUsage = 10;
    static constexpr std::size_t kSize = 12;
    static constexpr std::uint16_t kIntegerId = 0x8000; // in rnID: a number, not a name
};
static_assert(NameInfo::rnUsage + 2 == NameInfo::kSize);
inline constexpr std::uint16_t kNeRtIcon = 0x8003;
inline constexpr std::uint16_t kNeRtGroupIcon = 0x800E;

// BITMAPCOREHEADER.
struct BitmapCoreHeader {
    static constexpr std::size_t bcSize = 0;
    static constexpr std::size_t bcWidth = 4;
    static constexpr std::size_t bcHeight = 6;
    static constexpr std::size_t bcPlanes = 8;
    static constexpr std::size_t bcBitCount = 10;
    static constexpr std::size_t kSize = 12;
};
static_assert(BitmapCoreHeader::bcBitCount + 2 == BitmapCoreHeader::kSize);

// BITMAPINFOHEADER; the later BITMAPV4HEADER and BITMAPV5HEADER begin the same way.
struct BitmapInfoHeader {
    static constexpr std::size_t biSize = 0;
    static constexpr std::size_t biWidth = 4;
    static constexpr std::size_t biHeight = 8;
    static constexpr std::size_t biPlanes = 12;
    static constexpr std::size_t biBitCount = 14;
    static constexpr std::size_t biCompression = 16;
    static constexpr std::size_t biSizeImage = 20;
    static constexpr std::size_t biXPelsPerMeter = 24;
    static constexpr std::size_t biYPelsPerMeter = 28;
    static constexpr std::size_t biClrUsed = 32;
    static constexpr std::size_t biClrImportant = 36;
    static constexpr std::size_t kSize = 40;
    // BI_BITFIELDS: the red, green and blue masks, after the 40-byte header or inside a later one.
    static constexpr std::size_t kMasks = 40;
    static constexpr std::uint32_t BI_RGB = 0;
    static constexpr std::uint32_t BI_BITFIELDS = 3;
};
static_assert(BitmapInfoHeader::biClrImportant + 4 == BitmapInfoHeader::kSize);

} // namespace quorvane::icons::records
