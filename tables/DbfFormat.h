// Byte positions, marks and type letters of the dBase file family, named once.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ponteva::dbf {

// The family that wrote a file; it decides where the field descriptors are and how the
// binary field types are encoded.
enum class Dialect {
    DBase, // dBase III, IV, 5 and the many programs that write their layout
    DBase7, // 68-byte header, 48-byte descriptors, big-endian binary types
    FoxPro, // FoxPro 2 / FoxBASE+: dBase layout, little-endian binary types
    VisualFoxPro, // descriptors carry the field displacement; 263-byte backlink
};

namespace format {

// Main header, common to every dialect.
constexpr std::size_t kHeaderSize = 32;
constexpr std::size_t kVersionOffset = 0;
constexpr std::size_t kDateOffset = 1; // three bytes: year - 1900, month, day
constexpr std::size_t kRecordCountOffset = 4; // 32-bit little-endian
constexpr std::size_t kHeaderLengthOffset = 8; // 16-bit little-endian
constexpr std::size_t kRecordLengthOffset = 10; // 16-bit little-endian
constexpr std::size_t kLanguageDriverOffset = 29;

// dBase 7 main header: the common 32 bytes, the language driver name, 4 reserved bytes.
constexpr std::size_t kDBase7HeaderSize = 68;

// Field descriptor of dBase III-5 and FoxPro.
constexpr std::size_t kDescriptorSize = 32;
constexpr std::size_t kNameSize = 11; // zero-filled; ten letters and a zero at most
constexpr std::size_t kTypeOffset = 11;
constexpr std::size_t kDisplacementOffset = 12; // Visual FoxPro: field offset in the record
constexpr std::size_t kWidthOffset = 16;
constexpr std::size_t kDecimalsOffset = 17;

// Field descriptor of dBase 7.
constexpr std::size_t kDBase7DescriptorSize = 48;
constexpr std::size_t kDBase7NameSize = 32;
constexpr std::size_t kDBase7TypeOffset = 32;
constexpr std::size_t kDBase7WidthOffset = 33;
constexpr std::size_t kDBase7DecimalsOffset = 34;

constexpr unsigned char kHeaderTerminator = 0x0D;
constexpr unsigned char kEndOfFile = 0x1A;
constexpr char kLiveRow = ' ';
constexpr char kDeletedRow = '*';

// Version bytes.
constexpr unsigned char kVersionDBase3 = 0x03;
constexpr unsigned char kVersionDBase7 = 0x04;
constexpr unsigned char kVersionDBase7Memo = 0x8C;
constexpr unsigned char kVersionVisualFoxPro = 0x30;
constexpr unsigned char kVersionVisualFoxProAutoIncrement = 0x31;
constexpr unsigned char kVersionVisualFoxProVarchar = 0x32;
constexpr unsigned char kVersionFoxPro2Memo = 0xF5;
constexpr unsigned char kVersionFoxBasePlus = 0xFB;

// Language driver read as Windows-1252 by GDAL, LibreOffice and dbfread.
constexpr unsigned char kLanguageDriverWindows1252 = 0x03;

// Field type letters.
constexpr char kCharacter = 'C';
constexpr char kNumeric = 'N';
constexpr char kFloat = 'F';
constexpr char kLogical = 'L';
constexpr char kDate = 'D';
constexpr char kMemo = 'M';
constexpr char kGeneral = 'G';
constexpr char kPicture = 'P';
constexpr char kLong = 'I'; // dBase 7: big-endian, sign bit flipped; FoxPro: little-endian
constexpr char kAutoIncrement = '+'; // dBase 7, encoded as kLong
constexpr char kDouble = 'O'; // dBase 7: big-endian, ordered bit pattern
constexpr char kTimestamp = '@'; // dBase 7
constexpr char kBinary = 'B'; // Visual FoxPro: little-endian double; dBase: memo block
constexpr char kCurrency = 'Y'; // Visual FoxPro: little-endian int64 of ten-thousandths
constexpr char kDateTime = 'T'; // Visual FoxPro: little-endian Julian day and milliseconds

// Widths of the fields this engine writes.
constexpr int kIntegerWidth = 11; // "-2147483648"
constexpr int kFloatWidth = 20;
constexpr int kFloatDecimals = 4;
constexpr int kMaxCharacterWidth = 254;
constexpr std::size_t kMaxFieldNameLength = 10;

} // namespace format
} // namespace ponteva::dbf
