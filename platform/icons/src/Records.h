// The on-disk records the reader meets, laid out as their documentation lays them out and read
// whole: every field little-endian, as the files store them, whatever the machine's own order.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace quorvane::icons::records {

// Little-endian fields of 2, 4 and 8 bytes, byte-aligned: a record has no padding, so its size
// is the documented one.
template <typename T> struct Le {
    std::array<std::uint8_t, sizeof(T)> bytes;
    constexpr operator T() const {
        std::make_unsigned_t<T> value = 0;
        for (std::size_t i = sizeof(T); i-- > 0;)
            value = static_cast<decltype(value)>((value << 8) | bytes[i]);
        return static_cast<T>(value);
    }
};
using Le16 = Le<std::uint16_t>;
using Le32 = Le<std::uint32_t>;
using Le64 = Le<std::uint64_t>;
using Byte = std::uint8_t;

// IMAGE_DOS_HEADER.
struct ImageDosHeader {
    Le16 e_magic, e_cblp, e_cp, e_crlc, e_cparhdr, e_minalloc, e_maxalloc, e_ss, e_sp, e_csum;
    Le16 e_ip, e_cs, e_lfarlc, e_ovno;
    std::array<Le16, 4> e_res;
    Le16 e_oemid, e_oeminfo;
    std::array<Le16, 10> e_res2;
    Le32 e_lfanew;
};
static_assert(sizeof(ImageDosHeader) == 64 && offsetof(ImageDosHeader, e_lfanew) == 0x3C);
inline constexpr std::uint16_t kDosMagic = 0x5A4D; // "MZ"

// The signature at e_lfanew: "PE\0\0", or "NE" for a 16-bit module.
inline constexpr std::uint32_t kPeSignature = 0x00004550u;
inline constexpr std::uint16_t kNeSignature = 0x454E;

// IMAGE_FILE_HEADER, after the PE signature.
struct ImageFileHeader {
    Le16 Machine, NumberOfSections;
    Le32 TimeDateStamp, PointerToSymbolTable, NumberOfSymbols;
    Le16 SizeOfOptionalHeader, Characteristics;
};
static_assert(sizeof(ImageFileHeader) == 20);

// IMAGE_OPTIONAL_HEADER32 and IMAGE_OPTIONAL_HEADER64, up to the data directories that follow.
struct ImageOptionalHeader32 {
    Le16 Magic;
    Byte MajorLinkerVersion, MinorLinkerVersion;
    Le32 SizeOfCode, SizeOfInitializedData, SizeOfUninitializedData, AddressOfEntryPoint;
    Le32 BaseOfCode, BaseOfData, ImageBase, SectionAlignment, FileAlignment;
    Le16 MajorOperatingSystemVersion, MinorOperatingSystemVersion, MajorImageVersion;
    Le16 MinorImageVersion, MajorSubsystemVersion, MinorSubsystemVersion;
    Le32 Win32VersionValue, SizeOfImage, SizeOfHeaders, CheckSum;
    Le16 Subsystem, DllCharacteristics;
    Le32 SizeOfStackReserve, SizeOfStackCommit, SizeOfHeapReserve, SizeOfHeapCommit;
    Le32 LoaderFlags, NumberOfRvaAndSizes;
    static constexpr std::uint16_t kMagic = 0x10B;
};
static_assert(sizeof(ImageOptionalHeader32) == 96);
struct ImageOptionalHeader64 {
    Le16 Magic;
    Byte MajorLinkerVersion, MinorLinkerVersion;
    Le32 SizeOfCode, SizeOfInitializedData, SizeOfUninitializedData, AddressOfEntryPoint;
    Le32 BaseOfCode;
    Le64 ImageBase;
    Le32 SectionAlignment, FileAlignment;
    Le16 MajorOperatingSystemVersion, MinorOperatingSystemVersion, MajorImageVersion;
    Le16 MinorImageVersion, MajorSubsystemVersion, MinorSubsystemVersion;
    Le32 Win32VersionValue, SizeOfImage, SizeOfHeaders, CheckSum;
    Le16 Subsystem, DllCharacteristics;
    Le64 SizeOfStackReserve, SizeOfStackCommit, SizeOfHeapReserve, SizeOfHeapCommit;
    Le32 LoaderFlags, NumberOfRvaAndSizes;
    static constexpr std::uint16_t kMagic = 0x20B;
};
static_assert(sizeof(ImageOptionalHeader64) == 112);

// IMAGE_DATA_DIRECTORY, one of the optional header's table.
struct ImageDataDirectory {
    Le32 VirtualAddress, Size;
};
static_assert(sizeof(ImageDataDirectory) == 8);
inline constexpr std::uint32_t IMAGE_DIRECTORY_ENTRY_RESOURCE = 2;

// IMAGE_SECTION_HEADER.
struct ImageSectionHeader {
    std::array<Byte, 8> Name;
    Le32 VirtualSize, VirtualAddress, SizeOfRawData, PointerToRawData, PointerToRelocations;
    Le32 PointerToLinenumbers;
    Le16 NumberOfRelocations, NumberOfLinenumbers;
    Le32 Characteristics;
};
static_assert(sizeof(ImageSectionHeader) == 40);

// IMAGE_RESOURCE_DIRECTORY, followed by its named entries, then its id entries.
struct ImageResourceDirectory {
    Le32 Characteristics, TimeDateStamp;
    Le16 MajorVersion, MinorVersion, NumberOfNamedEntries, NumberOfIdEntries;
};
static_assert(sizeof(ImageResourceDirectory) == 16);

// IMAGE_RESOURCE_DIRECTORY_ENTRY. The high bit of Name marks a name string, that of
// OffsetToData a subdirectory; both offsets count from the start of the resource section.
struct ImageResourceDirectoryEntry {
    Le32 Name, OffsetToData;
    static constexpr std::uint32_t kHighBit = 0x80000000u;
};
static_assert(sizeof(ImageResourceDirectoryEntry) == 8);

// IMAGE_RESOURCE_DATA_ENTRY: OffsetToData is an RVA.
struct ImageResourceDataEntry {
    Le32 OffsetToData, Size, CodePage, Reserved;
};
static_assert(sizeof(ImageResourceDataEntry) == 16);

// IMAGE_RESOURCE_DIR_STRING_U: a count of UTF-16 units, then the units.
struct ImageResourceDirStringU {
    Le16 Length;
};

inline constexpr std::uint16_t RT_ICON = 3;
inline constexpr std::uint16_t RT_GROUP_ICON = 14;

// The resource configuration of a module whose resources lie in another file, and of that
// file: resource type "MUI", name 1. Its fixed header, which the offset and length pairs of its
// type lists end; two files belong together when their checksums are the same.
struct MuiConfiguration {
    Le32 dwSignature, dwSize, dwVersion, dwPathType, dwFileType, dwSystemAttributes;
    Le32 dwFallbackLocation;
    std::array<Byte, 16> serviceChecksum, checksum;
    std::array<Le32, 18> typeLists;
};
static_assert(sizeof(MuiConfiguration) == 132 && offsetof(MuiConfiguration, checksum) == 44);
inline constexpr std::uint32_t kMuiSignature = 0xFECDFECDu;

// GRPICONDIR (in an RT_GROUP_ICON resource) and ICONDIR (at the start of an .ico file).
struct IconDir {
    Le16 idReserved, idType, idCount;
    static constexpr std::uint16_t kIconType = 1; // 2 is a cursor
};
static_assert(sizeof(IconDir) == 6);

// GRPICONDIRENTRY names its image by RT_ICON id; ICONDIRENTRY (IcoDirEntry) by its place in
// the file.
struct GrpIconDirEntry {
    Byte bWidth, bHeight, bColorCount, bReserved;
    Le16 wPlanes, wBitCount;
    Le32 dwBytesInRes;
    Le16 nId;
};
static_assert(sizeof(GrpIconDirEntry) == 14);
struct IcoDirEntry {
    Byte bWidth, bHeight, bColorCount, bReserved;
    Le16 wPlanes, wBitCount;
    Le32 dwBytesInRes, dwImageOffset;
};
static_assert(sizeof(IcoDirEntry) == 16);

// IMAGE_OS2_HEADER, the NE header.
struct ImageOs2Header {
    Le16 ne_magic;
    Byte ne_ver, ne_rev;
    Le16 ne_enttab, ne_cbenttab;
    Le32 ne_crc;
    Le16 ne_flags, ne_autodata, ne_heap, ne_stack;
    Le32 ne_csip, ne_sssp;
    Le16 ne_cseg, ne_cmod, ne_cbnrestab, ne_segtab, ne_rsrctab, ne_restab, ne_modtab, ne_imptab;
    Le32 ne_nrestab;
    Le16 ne_cmovent, ne_align, ne_cres;
    Byte ne_exetyp, ne_flagsothers;
    Le16 ne_pretthunks, ne_psegrefbytes, ne_swaparea, ne_expver;
};
static_assert(sizeof(ImageOs2Header) == 64 && offsetof(ImageOs2Header, ne_rsrctab) == 0x24);

// The NE resource table: rscAlignShift, then TYPEINFOs each followed by its NAMEINFOs, ended
// by a type id of 0; offsets and lengths count in units of 1 << rscAlignShift bytes.
struct TypeInfo {
    Le16 rtTypeID, rtResourceCount;
    Le32 rtReserved;
};
static_assert(sizeof(TypeInfo) == 8);
struct NameInfo {
    Le16 rnOffset, rnLength, rnFlags, rnID, rnHandle, rnUsage;
    static constexpr std::uint16_t kIntegerId = 0x8000; // in rnID: a number, not a name
};
static_assert(sizeof(NameInfo) == 12);
inline constexpr std::uint16_t kNeRtIcon = 0x8003;
inline constexpr std::uint16_t kNeRtGroupIcon = 0x800E;

// BITMAPCOREHEADER.
struct BitmapCoreHeader {
    Le32 bcSize;
    Le16 bcWidth, bcHeight, bcPlanes, bcBitCount;
};
static_assert(sizeof(BitmapCoreHeader) == 12);

// BITMAPINFOHEADER; the later BITMAPV4HEADER and BITMAPV5HEADER begin the same way, with the
// bit-field masks where BI_BITFIELDS puts them after the 40-byte form.
struct BitmapInfoHeader {
    Le32 biSize;
    Le<std::int32_t> biWidth, biHeight;
    Le16 biPlanes, biBitCount;
    Le32 biCompression, biSizeImage;
    Le<std::int32_t> biXPelsPerMeter, biYPelsPerMeter;
    Le32 biClrUsed, biClrImportant;
    static constexpr std::uint32_t BI_RGB = 0;
    static constexpr std::uint32_t BI_BITFIELDS = 3;
};
static_assert(sizeof(BitmapInfoHeader) == 40);
struct BitfieldMasks {
    Le32 red, green, blue;
};
static_assert(sizeof(BitfieldMasks) == 12);

} // namespace quorvane::icons::records
